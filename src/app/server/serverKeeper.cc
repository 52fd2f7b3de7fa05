#include "app/server/serverKeeper.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

#include "app/server/printerList.h"
#include "app/server/stateRepair.h"

namespace corvane {
namespace {

constexpr const char* appName = "corvane-printer-app";
// How long a stop waits for the job being printed to end.
constexpr std::time_t stopGrace = 2;

// Set by the signal handler, read by the main loop's timer: a signal handler
// can only set a flag, and it has no way to reach an object.
volatile std::sig_atomic_t stopRequested = 0;

void requestStop(int) { stopRequested = 1; }

bool usableFolder(const std::string& path) {
    return access(path.c_str(), X_OK) == 0 || mkdir(path.c_str(), 0700) == 0;
}

void startIfQueued(pappl_printer_t* printer) {
    if (papplPrinterGetNumberOfActiveJobs(printer) > 0 && papplPrinterGetState(printer) == IPP_PSTATE_IDLE)
        papplPrinterResume(printer);
}

}  // namespace

// The same places as PAPPL's main loop: SNAP_COMMON, /var/lib for root,
// XDG_CONFIG_HOME or ~/.config for a user, the temporary folder last.
std::string serverKeeper::statePath() {
    const std::string file = std::string(appName) + ".state";
    if (const char* snap = std::getenv("SNAP_COMMON")) {
        if (access(snap, X_OK) == 0) return std::string(snap) + "/" + file;
    } else if (getuid() == 0) {
        if (usableFolder("/var/lib")) return "/var/lib/" + file;
    } else if (const char* config = std::getenv("XDG_CONFIG_HOME")) {
        if (access(config, X_OK) == 0) return std::string(config) + "/" + file;
    } else if (const char* home = std::getenv("HOME")) {
        const std::string folder = std::string(home) + "/.config";
        if (usableFolder(folder)) return folder + "/" + file;
    }
    return std::string(papplGetTempDir()) + "/" + appName + std::to_string(getuid()) + ".state";
}

serverKeeper::serverKeeper(pappl_system_t* system, const std::string& spoolDirectory)
    : system(system), stateFile(statePath()) {
    const auto aborted = repairSavedState(stateFile, spoolDirectory, std::time(nullptr));
    const auto paused = savedStoppedPrinters(stateFile);
    papplSystemLoadState(system, stateFile.c_str());
    // PAPPL 1.4 pauses them itself, 1.3 does not.
    for (const int id : paused)
        if (pappl_printer_t* printer = papplSystemFindPrinter(system, nullptr, id, nullptr))
            papplPrinterPause(printer);
    for (const auto& interrupted : aborted) {
        pappl_printer_t* printer = papplSystemFindPrinter(system, nullptr, interrupted.printerId, nullptr);
        if (pappl_job_t* job = printer ? papplPrinterFindJob(printer, interrupted.jobId) : nullptr) {
            papplJobSetMessage(job, "The server stopped while this job was printing; print it again.");
            papplLogJob(job, PAPPL_LOGLEVEL_WARN, "Aborted: the server stopped while the job was printing.");
        }
    }
    papplSystemSetSaveCallback(system, save, this);
    // The timer also wakes PAPPL's main loop every second, which is when it
    // saves changed state.
    papplSystemAddTimerCallback(system, std::time(nullptr), 1, tick, this);
}

bool serverKeeper::save(pappl_system_t* system, void* context) {
    const auto& keeper = *static_cast<serverKeeper*>(context);
    std::vector<int> paused;
    forEachPrinter(system, [&](pappl_printer_t* printer) {
        const int id = papplPrinterGetID(printer);
        const bool pausedForStop = std::ranges::find(keeper.pausedToStop, id) != keeper.pausedToStop.end();
        if (papplPrinterGetState(printer) == IPP_PSTATE_STOPPED && !pausedForStop) paused.push_back(id);
    });
    bool saved = false;
    withPrintersLocked(system, [&] { saved = papplSystemSaveState(system, keeper.stateFile.c_str()); });
    if (saved) savePrinterStates(keeper.stateFile, paused);
    return saved;
}

bool serverKeeper::tick(pappl_system_t*, void* context) {
    auto& keeper = *static_cast<serverKeeper*>(context);
    if (!keeper.running) {
        // PAPPL installed its own handlers when it started running; its
        // handler waits up to a minute for queued jobs.
        keeper.running = true;
        std::signal(SIGTERM, requestStop);
        std::signal(SIGINT, requestStop);
        keeper.startRestoredJobs();
    }
    if (stopRequested || papplSystemIsShutdown(keeper.system)) keeper.stopWhenIdle();
    return true;
}

// PAPPL starts queued jobs only when a new job arrives or one ends.
void serverKeeper::startRestoredJobs() { forEachPrinter(system, startIfQueued); }

// Holds back queued jobs, gives the job being printed a moment to end, then
// saves the state and leaves; PAPPL itself would wait for every queued job.
void serverKeeper::stopWhenIdle() {
    if (stopDeadline == 0) {
        papplLog(system, PAPPL_LOGLEVEL_INFO, "Stopping; queued jobs are kept for the next start.");
        forEachPrinter(system, [&](pappl_printer_t* printer) {
            if (papplPrinterGetState(printer) == IPP_PSTATE_STOPPED) return;
            pausedToStop.push_back(papplPrinterGetID(printer));
            papplPrinterPause(printer);
        });
        stopDeadline = std::time(nullptr) + stopGrace;
    }
    int printing = 0, queued = 0;
    forEachPrinter(system, [&](pappl_printer_t* printer) {
        if (papplPrinterGetState(printer) == IPP_PSTATE_PROCESSING) ++printing;
        queued += papplPrinterGetNumberOfActiveJobs(printer);
    });
    if (printing > 0 && std::time(nullptr) < stopDeadline) return;

    if (queued == 0) {
        papplSystemShutdown(system);  // PAPPL's own clean stop
        return;
    }
    save(system, this);
    papplLog(system, PAPPL_LOGLEVEL_INFO, "Stopped with %d job(s) queued.", queued);
    // Other threads still hold PAPPL's objects: leave without running
    // destructors.
    std::_Exit(0);
}

}  // namespace corvane
