// What keeps the server's jobs safe across crashes and stops: the saved
// state is repaired before it is loaded, saved within a second of every
// change, restored jobs start at once, paused printers stay paused, and
// SIGTERM or SIGINT stop the server in a few seconds even with jobs queued
// (they stay queued for the next start; a job cut off while printing is
// aborted on that start, with a reason, like one cut off by a crash).
#pragma once

#include <ctime>
#include <string>
#include <vector>

#include <pappl/pappl.h>

namespace corvane {

class serverKeeper {
public:
    // Repairs and loads the state of a server that is about to run. Call
    // after the drivers and filters are registered; the keeper must outlive
    // the system.
    serverKeeper(pappl_system_t* system, const std::string& spoolDirectory);
    serverKeeper(const serverKeeper&) = delete;
    serverKeeper& operator=(const serverKeeper&) = delete;

    // Where PAPPL's main loop keeps the state of this program.
    static std::string statePath();

private:
    static bool tick(pappl_system_t* system, void* keeper);
    static bool save(pappl_system_t* system, void* keeper);
    void startRestoredJobs();
    void stopWhenIdle();

    pappl_system_t* system;
    std::string stateFile;
    bool running = false;
    std::time_t stopDeadline = 0;
    // The printers a stop paused; they are saved as idle, every other
    // paused printer as paused.
    std::vector<int> pausedToStop;
};

}  // namespace corvane
