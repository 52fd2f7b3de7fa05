#include "app/driver/statusCallbacks.h"

#include "app/devices/statusWatch.h"
#include "app/driver/driverContext.h"

namespace corvane {

bool refreshStatus(pappl_printer_t* printer) {
    if (statusWatch* watch = statusWatchOf(printer)) watch->refresh(printer);
    return true;
}

void identifyPrinter(pappl_printer_t* printer, pappl_identify_actions_t actions, const char* message) {
    statusWatch* watch = statusWatchOf(printer);
    if (watch == nullptr || !(actions & PAPPL_IDENTIFY_ACTIONS_DISPLAY) || !statusWatch::readsBack(printer)) return;
    watch->identify(printer, message != nullptr && *message ? message : papplPrinterGetName(printer));
}

}  // namespace corvane
