#include "app/pappl131/printerGate.h"

#include <string>

namespace corvane {
namespace {

bool isFileUri(const std::string& uri) { return uri.starts_with("file:"); }

}  // namespace

pappl_device_t* printerGates::enter(pappl_job_t* job, pappl_device_t* papplDevice) {
    pappl_printer_t* printer = papplJobGetPrinter(job);
    const int jobId = papplJobGetID(job);
    std::unique_lock lock(mutex);
    std::optional<holder>& current = holders[papplPrinterGetID(printer)];

    const auto deadline = std::chrono::steady_clock::now() + longestWait;
    bool told = false;
    while (current) {
        if (!told) {
            papplLogJob(job, PAPPL_LOGLEVEL_INFO, "Waiting for job %d to end first.", current->jobId);
            told = true;
        }
        if (papplJobIsCanceled(job)) return nullptr;
        if (std::chrono::steady_clock::now() >= deadline) {
            papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Job %d still holds the printer.", current->jobId);
            papplJobSetMessage(job, "The printer stayed busy with job %d.", current->jobId);
            papplJobSetReasons(job, PAPPL_JREASON_ABORTED_BY_SYSTEM, PAPPL_JREASON_NONE);
            return nullptr;
        }
        // Woken when a job leaves; the timeout is for a cancel of this one.
        left.wait_for(lock, std::chrono::milliseconds(200));
    }

    holder entering{jobId, nullptr};
    const std::string uri = papplPrinterGetDeviceURI(printer);
    if (isFileUri(uri)) {
        entering.device.reset(papplDeviceOpen(uri.c_str(), papplJobGetName(job), papplLogDevice,
                                              papplPrinterGetSystem(printer)));
        if (!entering.device) {
            papplJobSetMessage(job, "Cannot open the device %s.", uri.c_str());
            papplJobSetReasons(job, PAPPL_JREASON_ABORTED_BY_SYSTEM, PAPPL_JREASON_NONE);
            return nullptr;
        }
    }
    pappl_device_t* output = entering.device ? entering.device.get() : papplDevice;
    current = std::move(entering);
    return output;
}

void printerGates::leave(pappl_job_t* job) {
    const int printerId = papplPrinterGetID(papplJobGetPrinter(job));
    const int jobId = papplJobGetID(job);
    {
        const std::lock_guard lock(mutex);
        const auto found = holders.find(printerId);
        if (found == holders.end() || !found->second || found->second->jobId != jobId) return;
        found->second.reset();  // closes the job's own device
    }
    left.notify_all();
}

}  // namespace corvane
