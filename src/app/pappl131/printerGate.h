// One job at a time on each printer. PAPPL marks a job as printing only
// once its thread runs, so a job that ends while another arrives, or a
// cancel while jobs wait, can start a second job on the same printer (the
// same job started twice is secondRuns.h's). The driver passes every job
// through its printer's gate at the job's start and out at its end
// (jobGuard): a second job waits, and a job on a file:// device writes to a
// device of its own (PAPPL closes its shared one after each job, under any
// job that started on it meanwhile).
// Shown by tests/app/queue-race.sh and tests/app/load.sh (a job's file
// missing or cut short, "Unable to write raster line"). PAPPL 1.3.1 and
// 1.4.11 both have it.
#pragma once

#include <chrono>
#include <condition_variable>
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
    // too long (its state message says so).
    pappl_device_t* enter(pappl_job_t* job, pappl_device_t* papplDevice);
    // At the job's end, once its last byte is flushed: closes the job's own
    // device and lets the next job in. Does nothing for a job not holding.
    void leave(pappl_job_t* job);

private:
    struct deviceCloser {
        void operator()(pappl_device_t* device) const { papplDeviceClose(device); }
    };
    using ownDevice = std::unique_ptr<pappl_device_t, deviceCloser>;

    struct holder {
        int jobId;
        ownDevice device;  // set for file:// devices
    };

    // A job waits this long at most for the one before it.
    std::chrono::milliseconds longestWait = std::chrono::minutes(10);
    std::mutex mutex;
    std::condition_variable left;
    std::map<int, std::optional<holder>> holders;  // by printer ID
};

}  // namespace corvane
