#include "app/server/deviceMonitor.h"

#include "app/server/htmlText.h"
#include "app/server/printerList.h"

#include <ctime>
#include <optional>
#include <utility>

namespace corvane {
namespace {

void findProcessing(pappl_job_t* job, void* found) {
    if (papplJobGetState(job) == IPP_JSTATE_PROCESSING) *static_cast<pappl_job_t**>(found) = job;
}

// The job PAPPL holds while it retries the device: a job in progress on a
// stopped printer.
pappl_job_t* jobWaitingForDevice(pappl_printer_t* printer) {
    if (papplPrinterGetState(printer) != IPP_PSTATE_STOPPED) return nullptr;
    pappl_job_t* job = nullptr;
    papplPrinterIterateActiveJobs(printer, findProcessing, &job, 1, 0);
    return job;
}

// What to tell the user about a device of PAPPL's that does not open.
std::string unreachableDeviceText(const std::string& deviceUri) { return "Cannot open the device " + deviceUri; }

}  // namespace

deviceMonitor::deviceMonitor(pappl_system_t* system)
    : system(system), worker([this](std::stop_token stop) { work(stop); }) {
    papplSystemAddTimerCallback(system, std::time(nullptr), 1, tick, this);
}

bool deviceMonitor::tick(pappl_system_t* system, void* context) {
    auto& monitor = *static_cast<deviceMonitor*>(context);
    if (papplSystemIsShutdown(system)) {
        // No look may start once the system is going away.
        monitor.worker.request_stop();
        return false;
    }
    {
        const std::lock_guard lock(monitor.mutex);
        monitor.lookAsked = true;
    }
    monitor.asked.notify_one();
    return true;
}

// Looks only when the main loop asked, so only while the system runs. A look
// blocked on a printer's lock means PAPPL is opening its device for a job,
// and PAPPL does not leave its main loop while a job is active.
void deviceMonitor::work(std::stop_token stop) {
    for (;;) {
        {
            std::unique_lock lock(mutex);
            if (!asked.wait(lock, stop, [this] { return lookAsked; })) return;
            lookAsked = false;
        }
        forEachPrinter(system, [this](pappl_printer_t* printer) { check(printer); });
    }
}

void deviceMonitor::check(pappl_printer_t* printer) {
    std::optional<shownProblem> marked;
    {
        const std::lock_guard lock(shownMutex);
        if (const auto found = shown.find(papplPrinterGetID(printer)); found != shown.end()) marked = found->second;
    }
    if (marked && marked->byJob) return;
    pappl_job_t* waiting = jobWaitingForDevice(printer);
    if (waiting == nullptr) {
        if (!marked) return;
        pappl_job_t* job = papplPrinterFindJob(printer, marked->jobId);
        withdraw(printer, job, job != nullptr && papplJobGetState(job) == IPP_JSTATE_PROCESSING);
        return;
    }
    // PAPPL sees a cancel at its next try.
    if (papplJobIsCanceled(waiting)) return;
    show(printer, waiting, unreachableDeviceText(papplPrinterGetDeviceURI(printer)), false);
}

void deviceMonitor::unreachable(pappl_printer_t* printer, pappl_job_t* job, const std::string& why) {
    show(printer, job, why, true);
}

// The job's message last: once it is there, so is everything else.
void deviceMonitor::show(pappl_printer_t* printer, pappl_job_t* job, const std::string& text, bool byJob) {
    const std::string label = htmlSafe(text) + "; printing resumes when it answers.";
    std::string replaced;
    bool changed = true;
    {
        const std::lock_guard lock(shownMutex);
        auto [entry, added] = shown.try_emplace(papplPrinterGetID(printer), shownProblem{label, 0, byJob});
        entry->second.jobId = papplJobGetID(job);
        entry->second.byJob = byJob;
        if (!added && entry->second.label == label) changed = false;
        else if (!added) replaced = std::exchange(entry->second.label, label);
    }
    if (changed) {
        papplLogJob(job, PAPPL_LOGLEVEL_WARN, "%s.", text.c_str());
        if (replaced.empty()) papplPrinterSetReasons(printer, PAPPL_PREASON_OFFLINE, PAPPL_PREASON_NONE);
        else papplPrinterRemoveLink(printer, replaced.c_str());
        char path[256];
        papplPrinterGetPath(printer, nullptr, path, sizeof path);
        papplPrinterAddLink(printer, label.c_str(), path, PAPPL_LOPTIONS_STATUS);
    }
    const char* message = papplJobGetMessage(job);
    if (message == nullptr || text != message) papplJobSetMessage(job, "%s", text.c_str());
}

void deviceMonitor::withdraw(pappl_printer_t* printer, pappl_job_t* job, bool answered) {
    shownProblem marked;
    {
        const std::lock_guard lock(shownMutex);
        const auto found = shown.find(papplPrinterGetID(printer));
        if (found == shown.end()) return;
        marked = std::move(found->second);
        shown.erase(found);
    }
    papplPrinterSetReasons(printer, PAPPL_PREASON_NONE, PAPPL_PREASON_OFFLINE);
    papplPrinterRemoveLink(printer, marked.label.c_str());
    if (job != nullptr && answered) papplJobSetMessage(job, "The printer answered; the job went on.");
}

}  // namespace corvane
