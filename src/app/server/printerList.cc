#include "app/server/printerList.h"

#include <cstddef>
#include <vector>

namespace corvane {
namespace {

std::vector<int> printerIds(pappl_system_t* system) {
    std::vector<int> ids;
    papplSystemIteratePrinters(
        system, [](pappl_printer_t* printer, void* list) {
            static_cast<std::vector<int>*>(list)->push_back(papplPrinterGetID(printer));
        },
        &ids);
    return ids;
}

struct lockingWalk {
    pappl_system_t* system;
    std::vector<int> ids;
    const std::function<void()>& work;
    std::size_t next = 0;

    // Locks the next printer (inside PAPPL's job iterator, which holds its
    // lock while it calls back) and goes on from there.
    void lockNext() {
        if (next == ids.size()) {
            work();
            return;
        }
        pappl_printer_t* printer = papplSystemFindPrinter(system, nullptr, ids[next++], nullptr);
        bool locked = false;
        if (printer != nullptr) {
            struct step {
                lockingWalk* walk;
                bool* locked;
            } here{this, &locked};
            papplPrinterIterateAllJobs(
                printer, [](pappl_job_t*, void* context) {
                    auto& at = *static_cast<step*>(context);
                    *at.locked = true;
                    at.walk->lockNext();
                },
                &here, 1, 1);
        }
        if (!locked) lockNext();
    }
};

}  // namespace

void forEachPrinter(pappl_system_t* system, const std::function<void(pappl_printer_t*)>& visit) {
    for (const int id : printerIds(system))
        if (pappl_printer_t* printer = papplSystemFindPrinter(system, nullptr, id, nullptr)) visit(printer);
}

void withPrintersLocked(pappl_system_t* system, const std::function<void()>& work) {
    lockingWalk walk{system, printerIds(system), work};
    walk.lockNext();
}

}  // namespace corvane
