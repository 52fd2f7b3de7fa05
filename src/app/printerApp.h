// What the program hands PAPPL's main loop: its drivers and the way it
// builds the system object for the server.
#pragma once

#include <array>
#include <memory>

#include <pappl/pappl.h>

#include "app/server/deviceMonitor.h"
#include "app/server/statusWatch.h"
#include "app/driver/driverContext.h"
#include "app/documents/rendererPool.h"
#include "app/pappl131/papplRepairs.h"
#include "app/server/serverKeeper.h"

namespace corvane {

struct printerApp {
    std::array<pappl_pr_driver_t, 2> drivers;
    // True for the "server" subcommand; other subcommands only build a
    // system to list drivers and must not take the server's port.
    bool listens = false;
    // The server's repairs of PAPPL's faults (which hold the MIME filters
    // PAPPL calls), state keeping and notices of unreachable printers
    // (server only).
    std::unique_ptr<papplRepairs> repairs;
    std::unique_ptr<serverKeeper> keeper;
    std::unique_ptr<deviceMonitor> monitor;
    // The printers' status, from what they say (server only).
    std::unique_ptr<statusWatch> status;
    // What the driver's callbacks reach (the driver data's extension).
    driverContext context;
    // PDF renderers started ahead of the next job (server only).
    std::unique_ptr<rendererPool> renderers;
};

// PAPPL's system callback: the system with PAPPL's standard server options
// (-o server-port=, spool-directory=, log-file=, log-level=, server-options=,
// listen-hostname=, auth-service=, admin-group=, server-hostname=), the
// driver, the PDF filter and the web pages.
pappl_system_t* createSystem(int num_options, cups_option_t* options, void* app);

// PAPPL's driver callback for the app: the drivers, whose printers' jobs find
// the server's services (driverContext).
bool describePrinter(pappl_system_t* system, const char* driver_name, const char* device_uri,
                     const char* device_id, pappl_pr_driver_data_t* data, ipp_t** driver_attrs, void* app);

}  // namespace corvane
