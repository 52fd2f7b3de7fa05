#include "app/driver/statusCallbacks.h"

#include "app/driver/corvaneDriver.h"
#include "app/driver/driverContext.h"

namespace corvane {

bool refreshStatus(pappl_printer_t* printer) {
    if (printerStatus* watch = printerStatusOf(printer)) watch->refresh(printer);
    return true;
}

void identifyPrinter(pappl_printer_t* printer, pappl_identify_actions_t actions, const char* message) {
    printerStatus* watch = printerStatusOf(printer);
    if (watch == nullptr || !(actions & PAPPL_IDENTIFY_ACTIONS_DISPLAY) || !readsBack(printer)) return;
    watch->identify(printer, message != nullptr && *message ? message : papplPrinterGetName(printer));
}

}  // namespace corvane
