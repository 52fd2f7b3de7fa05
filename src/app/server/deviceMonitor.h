// Shows why a printer cannot be reached: the printer gets the "offline"
// state reason, a line of text on its web page, and the job waiting for it
// a job-state-message such as "Cannot connect to 192.0.2.7:9100"; all of it
// goes when the printer answers.
// - The app's own devices (socket://, file://) are waited for by the job
//   itself, which tells the monitor why (deviceNotices).
// - For PAPPL's devices (usb://), PAPPL stops the printer and retries the
//   device every 5 seconds while a job waits, saying why only in the log.
//   The monitor looks once a second: a printer stopped with a job in
//   progress is waiting for its device. The looking is done by a thread of
//   its own: PAPPL holds a printer's lock while it opens its device, and
//   the main loop, which accepts every client, must not wait. A job
//   cancelled meanwhile ends at PAPPL's next try.
#pragma once

#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include <pappl/pappl.h>

#include "app/driver/driverContext.h"

namespace corvane {

class deviceMonitor final : public deviceNotices {
public:
    explicit deviceMonitor(pappl_system_t* system);
    deviceMonitor(const deviceMonitor&) = delete;
    deviceMonitor& operator=(const deviceMonitor&) = delete;

    void unreachable(pappl_printer_t* printer, pappl_job_t* job, const std::string& why) override;
    void withdraw(pappl_printer_t* printer, pappl_job_t* job, bool answered) override;

private:
    // The main loop's timer asks for a look each second; it never waits.
    static bool tick(pappl_system_t* system, void* monitor);
    void work(std::stop_token stop);
    void check(pappl_printer_t* printer);
    void show(pappl_printer_t* printer, pappl_job_t* job, const std::string& text, bool byJob);

    pappl_system_t* system;
    std::mutex mutex;
    std::condition_variable_any asked;
    bool lookAsked = false;

    struct shownProblem {
        std::string label;  // the text on the printer's web page
        int jobId;          // the job told about it
        bool byJob;         // shown for the job's own wait, which takes it back
    };
    // Printers now marked unreachable, by printer ID.
    std::mutex shownMutex;
    std::map<int, shownProblem> shown;
    // Last: it stops and joins first when the monitor goes.
    std::jthread worker;
};

}  // namespace corvane
