#include "app/driver/driverContext.h"

namespace corvane {

driverContext* driverContextOf(pappl_printer_t* printer) {
    pappl_pr_driver_data_t data{};
    papplPrinterGetDriverData(printer, &data);
    return static_cast<driverContext*>(data.extension);
}

printerStatus* printerStatusOf(pappl_printer_t* printer) {
    const driverContext* context = driverContextOf(printer);
    return context ? context->status : nullptr;
}

}  // namespace corvane
