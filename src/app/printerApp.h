// What the program hands PAPPL's main loop: its drivers and the way it
// builds the system object for the server.
#pragma once

#include <array>
#include <memory>

#include <pappl/pappl.h>

#include "app/server/accessPolicy.h"
#include "app/devices/deviceMonitor.h"
#include "app/devices/statusWatch.h"
#include "app/driver/driverContext.h"
#include "app/pappl131/jobRuns.h"
#include "app/pappl131/printerGate.h"
#include "app/documents/rendererPool.h"
#include "app/server/serverKeeper.h"

namespace corvane {

struct printerApp {
    std::array<pappl_pr_driver_t, 2> drivers;
    // True for the "server" subcommand; other subcommands only build a
    // system to list drivers and must not take the server's port.
    bool listens = false;
    // The server's state keeping and device watch (server only).
    std::unique_ptr<serverKeeper> keeper;
    std::unique_ptr<deviceMonitor> monitor;
    std::unique_ptr<jobRuns> runs;
    // One job at a time on each printer.
    printerGates gates;
    // The printers' status, from what they say (server only).
    std::unique_ptr<statusWatch> status;
    // What the driver's callbacks reach (the driver data's extension).
    driverContext context{&gates, nullptr};
    // PDF renderers started ahead of the next job (server only).
    std::unique_ptr<rendererPool> renderers;
};

// PAPPL's system callback: the system with PAPPL's standard server options
// (-o server-port=, spool-directory=, log-file=, log-level=, server-options=,
// listen-hostname=, auth-service=, admin-group=, server-hostname=), the
// driver, the PDF filter and the web pages.
pappl_system_t* createSystem(int num_options, cups_option_t* options, void* app);

}  // namespace corvane
