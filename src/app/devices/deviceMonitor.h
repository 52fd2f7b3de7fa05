// Shows why a printer cannot be reached. PAPPL 1.3.1 stops the printer and
// retries the device every 5 seconds while a job waits, but says why only in
// the log. The monitor looks once a second: a printer stopped with a job in
// progress is waiting for its device, so it gets the "offline" state reason,
// a line of text on its web page, and the job a job-state-message such as
// "Cannot connect to 192.0.2.7:9100"; all of it goes when the device opens.
// The looking is done by a thread of its own: PAPPL holds a printer's lock
// while it tries to connect (up to 30 s for an address that does not
// answer), and the main loop, which accepts every client, must not wait.
// A job cancelled while waiting would end only at PAPPL's next try, 5 s
// later; the monitor wakes the job's thread from that sleep instead.
#pragma once

#include <condition_variable>
#include <map>
#include <mutex>
#include <pthread.h>
#include <string>
#include <thread>

#include <pappl/pappl.h>

namespace corvane {

// What to tell the user about a device URI that does not open.
std::string unreachableDeviceText(const std::string& deviceUri);

class deviceMonitor {
public:
    explicit deviceMonitor(pappl_system_t* system);
    deviceMonitor(const deviceMonitor&) = delete;
    deviceMonitor& operator=(const deviceMonitor&) = delete;

    // Every PAPPL event: notes which thread runs each job.
    void jobEvent(pappl_job_t* job, pappl_event_t event);
    // The calling thread, which ran the job, ends without PAPPL's end of job.
    void threadEnds(pappl_job_t* job);

private:
    // The main loop's timer asks for a look each second; it never waits.
    static bool tick(pappl_system_t* system, void* monitor);
    void work(std::stop_token stop);
    void check(pappl_printer_t* printer);
    void wakeJobThread(pappl_job_t* job);

    pappl_system_t* system;
    std::mutex mutex;
    std::condition_variable_any asked;
    bool lookAsked = false;

    struct shownProblem {
        std::string label;  // the text on the printer's web page
        int jobId;          // the job told about it
    };
    // Printers now marked unreachable, by printer ID.
    std::map<int, shownProblem> shown;
    // The thread processing each job, by printer and job ID, from the job's
    // start to its end (both announced by PAPPL from that thread).
    std::mutex threadsMutex;
    std::map<std::pair<int, int>, pthread_t> jobThreads;
    // Last: it stops and joins first when the monitor goes.
    std::jthread worker;
};

}  // namespace corvane
