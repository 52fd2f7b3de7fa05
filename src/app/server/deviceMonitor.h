// Shows why a printer cannot be reached. PAPPL stops the printer and
// retries the device every 5 seconds while a job waits, but says why only in
// the log. The monitor looks once a second: a printer stopped with a job in
// progress is waiting for its device, so it gets the "offline" state reason,
// a line of text on its web page, and the job a job-state-message such as
// "Cannot connect to 192.0.2.7:9100"; all of it goes when the device opens.
// The looking is done by a thread of its own: PAPPL holds a printer's lock
// while it tries to connect (up to 30 s for an address that does not
// answer), and the main loop, which accepts every client, must not wait.
// A job cancelled while waiting would end only at PAPPL's next try, 5 s
// later; the monitor has the wait ended at once.
#pragma once

#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include <pappl/pappl.h>

namespace corvane {

// What to tell the user about a device URI that does not open.
std::string unreachableDeviceText(const std::string& deviceUri);

class deviceMonitor {
public:
    // endWait: ends PAPPL's wait for the device of a job cancelled while
    // waiting (empty: the job ends at PAPPL's next try).
    deviceMonitor(pappl_system_t* system, std::function<void(pappl_job_t*)> endWait);
    deviceMonitor(const deviceMonitor&) = delete;
    deviceMonitor& operator=(const deviceMonitor&) = delete;

private:
    // The main loop's timer asks for a look each second; it never waits.
    static bool tick(pappl_system_t* system, void* monitor);
    void work(std::stop_token stop);
    void check(pappl_printer_t* printer);

    pappl_system_t* system;
    std::function<void(pappl_job_t*)> endWait;
    std::mutex mutex;
    std::condition_variable_any asked;
    bool lookAsked = false;

    struct shownProblem {
        std::string label;  // the text on the printer's web page
        int jobId;          // the job told about it
    };
    // Printers now marked unreachable, by printer ID.
    std::map<int, shownProblem> shown;
    // Last: it stops and joins first when the monitor goes.
    std::jthread worker;
};

}  // namespace corvane
