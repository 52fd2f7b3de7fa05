#include "app/pappl131/jobRuns.h"

#include <cstring>

#include "app/pappl131/rasterStartCheck.h"
#include "app/pappl131/requestRaster.h"

namespace corvane {
namespace {

// Enough to recognise a late second start: PAPPL starts it within moments.
constexpr std::size_t rememberedEnds = 64;

bool isStreamedRaster(pappl_job_t* job) {
    const char* format = papplJobGetFormat(job);
    return format != nullptr && (!std::strcmp(format, "image/pwg-raster") || !std::strcmp(format, "image/urf"));
}

}  // namespace

jobRuns::jobKey jobRuns::keyOf(pappl_job_t* job) {
    return {papplPrinterGetID(papplJobGetPrinter(job)), papplJobGetID(job)};
}

// PAPPL holds the job's lock while it announces the job's start and end,
// and only the printer's in the printer event that follows the end, so a
// message is set there. Only accessors without locks are used on the job.
void jobRuns::observe(pappl_job_t* job, pappl_event_t event) {
    const pthread_t self = pthread_self();
    std::unique_lock lock(mutex);
    if (job == nullptr) {
        const auto waiting = waitingMessages.find(self);
        if (waiting == waitingMessages.end()) return;
        const auto [endedJob, message] = std::move(waiting->second);
        waitingMessages.erase(waiting);
        // Events of other threads take the job's lock before this mutex.
        lock.unlock();
        papplJobSetMessage(endedJob, "%s", message.c_str());
        return;
    }
    const jobKey key = keyOf(job);
    const ipp_jstate_t state = papplJobGetState(job);
    if ((event & PAPPL_EVENT_JOB_STATE_CHANGED) && state == IPP_JSTATE_PROCESSING) {
        if (ended.contains(key)) lateStarts.insert({key, self});
        return;
    }
    if (!(event & PAPPL_EVENT_JOB_COMPLETED)) return;
    const bool firstEnd = !ended.contains(key);
    if (firstEnd) {
        endOrder.push_back(key);
        if (endOrder.size() > rememberedEnds) {
            ended.erase(endOrder.front());
            endOrder.pop_front();
        }
    }
    ended[key] = state;
    if (firstEnd && state == IPP_JSTATE_ABORTED && papplJobGetMessage(job) == nullptr && isStreamedRaster(job))
        explainAbort(job);
}

void jobRuns::explainAbort(pappl_job_t* job) {
    std::string reason = rasterStartProblem(requestRasterStart());
    if (reason.empty()) reason = "The raster document could not be read.";
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "%s", reason.c_str());
    waitingMessages[pthread_self()] = {job, std::move(reason)};
}

bool jobRuns::secondRun(pappl_job_t* job, pappl_device_t*, void* context) {
    auto& runs = *static_cast<jobRuns*>(context);
    std::unique_lock lock(runs.mutex);
    const auto late = runs.lateStarts.find({keyOf(job), pthread_self()});
    if (late == runs.lateStarts.end()) {
        lock.unlock();
        papplLogJob(job, PAPPL_LOGLEVEL_DEBUG, "Second run of a streamed job; the client's run prints it.");
        if (runs.threadEnds) runs.threadEnds(job);
        pthread_exit(nullptr);
    }
    runs.lateStarts.erase(late);
    const auto outcome = runs.ended.find(keyOf(job));
    return outcome != runs.ended.end() && outcome->second == IPP_JSTATE_COMPLETED;
}

}  // namespace corvane
