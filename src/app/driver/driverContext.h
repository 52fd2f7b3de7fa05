// What the driver's callbacks reach through PAPPL's driver data (its
// extension pointer): the server's services that jobs and printers use.
#pragma once

#include <pappl/pappl.h>

namespace corvane {

class papplRepairs;
class statusWatch;

struct driverContext {
    papplRepairs* repairs = nullptr;  // PAPPL's faults repaired (server only)
    statusWatch* status = nullptr;    // the printers' status (server only)
};

// The context of the printer's driver, or null.
driverContext* driverContextOf(pappl_printer_t* printer);
// Its status watch, or null (a client subcommand has none).
statusWatch* statusWatchOf(pappl_printer_t* printer);

}  // namespace corvane
