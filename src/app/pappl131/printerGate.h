// One job at a time on each printer. PAPPL marks a job as printing only
// once its thread runs, so a job that ends while another arrives, or a
// cancel while jobs wait, can start a second job on the same printer, or
// the same job twice. The driver passes every job through its printer's
// gate at the job's start and out at its end (jobGuard): a second job
// waits, the same job's second run leaves without printing, and a job on a
// file:// device writes to a device of its own (PAPPL closes its shared one
// after each job, under any job that started on it meanwhile).
// Shown by tests/app/queue-race.sh and tests/app/load.sh (a job's file
// missing or cut short, "Unable to write raster line"). PAPPL 1.3.1 and
// 1.4.11 both have it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include <pappl/pappl.h>

namespace corvane {

class printerGates {
public:
    printerGates() = default;
    printerGates(const printerGates&) = delete;
    printerGates& operator=(const printerGates&) = delete;

    // From the job's thread, at the job's start: waits while another job
    // holds the printer, at most the longest wait, and returns the device
    // the job writes to (PAPPL's, or one of its own for a file:// device).
    // Null when the job must not print: canceled while waiting, or waited
    // too long (its state message says so). A second run of a job already
    // printed or printing ends its thread here, before PAPPL can finish the
    // job a second time.
    pappl_device_t* enter(pappl_job_t* job, pappl_device_t* papplDevice);
    // At the job's end, once its last byte is flushed: closes the job's own
    // device and lets the next job in. Does nothing for a job not holding.
    void leave(pappl_job_t* job);

    // Told before a second run's thread ends.
    std::function<void(pappl_job_t*)> threadEnds;

private:
    struct deviceCloser {
        void operator()(pappl_device_t* device) const { papplDeviceClose(device); }
    };
    using ownDevice = std::unique_ptr<pappl_device_t, deviceCloser>;

    struct holder {
        int jobId;
        ownDevice device;  // set for file:// devices
    };
    struct gate {
        std::optional<holder> current;
        std::deque<int> started;  // the latest job IDs let in, newest last
        std::deque<int> ended;    // the latest job IDs that left, newest last
    };

    // A second run of a job: ends the thread, or (when PAPPL has already
    // finished the job and this run marked it printing again) returns so
    // that PAPPL finishes it once more.
    void endSecondRun(pappl_job_t* job, bool firstRunEnded, std::unique_lock<std::mutex>& lock);

    // A job waits this long at most for the one before it.
    std::chrono::milliseconds longestWait = std::chrono::minutes(10);
    std::mutex mutex;
    std::condition_variable left;
    std::map<int, gate> gates;  // by printer ID
};

}  // namespace corvane
