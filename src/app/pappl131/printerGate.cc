#include "app/pappl131/printerGate.h"

#include "app/driver/driverContext.h"

#include <algorithm>
#include <pthread.h>
#include <string>
#include <thread>

namespace corvane {
namespace {

// Enough to recognise a job's second run: PAPPL starts it right after the
// first, so only the last few jobs matter.
constexpr std::size_t rememberedJobs = 64;

void remember(std::deque<int>& ids, int id) {
    ids.push_back(id);
    if (ids.size() > rememberedJobs) ids.pop_front();
}

bool contains(const std::deque<int>& ids, int id) { return std::find(ids.begin(), ids.end(), id) != ids.end(); }

bool isFileUri(const std::string& uri) { return uri.starts_with("file:"); }

bool hasEnded(pappl_job_t* job) { return papplJobGetState(job) >= IPP_JSTATE_CANCELED; }

}  // namespace

printerGates* printerGates::of(pappl_job_t* job) {
    const driverContext* context = driverContextOf(papplJobGetPrinter(job));
    return context ? context->gates : nullptr;
}

pappl_device_t* printerGates::enter(pappl_job_t* job, pappl_device_t* papplDevice) {
    pappl_printer_t* printer = papplJobGetPrinter(job);
    const int jobId = papplJobGetID(job);
    std::unique_lock lock(mutex);
    gate& printerGate = gates[papplPrinterGetID(printer)];
    if (contains(printerGate.started, jobId)) {
        endSecondRun(job, contains(printerGate.ended, jobId), lock);
        papplJobSetMessage(job, "The job was printed; PAPPL started it a second time.");
        return nullptr;
    }
    remember(printerGate.started, jobId);

    const auto deadline = std::chrono::steady_clock::now() + longestWait;
    bool told = false;
    while (printerGate.current) {
        if (!told) {
            papplLogJob(job, PAPPL_LOGLEVEL_INFO, "Waiting for job %d to end first.", printerGate.current->jobId);
            told = true;
        }
        if (papplJobIsCanceled(job)) return nullptr;
        if (std::chrono::steady_clock::now() >= deadline) {
            papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Job %d still holds the printer.", printerGate.current->jobId);
            papplJobSetMessage(job, "The printer stayed busy with job %d.", printerGate.current->jobId);
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
    printerGate.current = std::move(entering);
    return output;
}

void printerGates::endSecondRun(pappl_job_t* job, bool firstRunEnded, std::unique_lock<std::mutex>& lock) {
    lock.unlock();
    papplLogJob(job, PAPPL_LOGLEVEL_WARN, "PAPPL started the job a second time; this run prints nothing.");
    if (firstRunEnded) {
        // PAPPL finishes the first run just after it leaves the gate. If the
        // job stays "processing", this run's start came after that finish and
        // PAPPL must finish the job again (else the printer stays busy).
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!hasEnded(job) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (!hasEnded(job)) return;
    }
    // The first run is still under way or finished by PAPPL: PAPPL's finish of
    // this one would list the job twice, reset the printer's state and close
    // the device under the job printing now. The thread ends here instead;
    // it holds no lock of PAPPL's.
    if (threadEnds) threadEnds(job);
    pthread_exit(nullptr);
}

void printerGates::leave(pappl_job_t* job) {
    const int printerId = papplPrinterGetID(papplJobGetPrinter(job));
    const int jobId = papplJobGetID(job);
    {
        const std::lock_guard lock(mutex);
        const auto found = gates.find(printerId);
        if (found == gates.end() || !found->second.current || found->second.current->jobId != jobId) return;
        found->second.current.reset();  // closes the job's own device
        remember(found->second.ended, jobId);
    }
    left.notify_all();
}

}  // namespace corvane
