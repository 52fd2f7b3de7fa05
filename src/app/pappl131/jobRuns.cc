#include "app/pappl131/jobRuns.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "app/pappl131/rasterStartCheck.h"
#include "app/pappl131/requestRaster.h"
#include "app/pappl131/secondRuns.h"

namespace corvane {
namespace {

// Enough to recognise a late second start: PAPPL starts it within moments.
constexpr std::size_t rememberedEnds = 64;

// PAPPL announces the printer's new state right after a job's end.
constexpr auto inspectionWindow = std::chrono::seconds(1);

bool isStreamedRaster(pappl_job_t* job) {
    const char* format = papplJobGetFormat(job);
    return format != nullptr && (!std::strcmp(format, "image/pwg-raster") || !std::strcmp(format, "image/urf"));
}

}  // namespace

void jobRuns::observe(pappl_job_t* job, pappl_event_t event) {
    const pthread_t self = pthread_self();
    std::unique_lock lock(mutex);
    if (const auto candidate = uninspected.find(self); candidate != uninspected.end()) {
        const endingRun end = candidate->second;
        uninspected.erase(candidate);
        // A run's end is followed at once by the printer's new state; a
        // cancel's announcement from a client's thread is not.
        if (job == nullptr && std::chrono::steady_clock::now() - end.at < inspectionWindow) {
            runEnded(end.job);
            lock.unlock();
            inspect(end.job);
            return;
        }
    }
    if (job == nullptr) return;
    if (event & PAPPL_EVENT_JOB_STATE_CHANGED) {
        // A change announced after the job's end can only be a late run's start.
        if (endings.contains(job)) lateStarts.insert({job, self});
        announcers[job].push_back(self);
    } else if (event & PAPPL_EVENT_JOB_COMPLETED) {
        const auto found = announcers.find(job);
        if (found != announcers.end() && std::ranges::any_of(found->second, [&](pthread_t announcer) {
                return pthread_equal(announcer, self);
            }))
            uninspected[self] = {job, std::chrono::steady_clock::now()};
    }
}

void jobRuns::runEnded(pappl_job_t* job) {
    announcers.erase(job);
    if (endings.contains(job)) return;
    endings.emplace(job, std::nullopt);
    endOrder.push_back(job);
    if (endOrder.size() > rememberedEnds) {
        endings.erase(endOrder.front());
        endOrder.pop_front();
    }
}

// PAPPL holds only the printer's lock here, so the job's accessors work.
void jobRuns::inspect(pappl_job_t* job) {
    const ipp_jstate_t state = papplJobGetState(job);
    bool firstLook = false;
    {
        const std::lock_guard lock(mutex);
        const auto found = endings.find(job);
        if (found != endings.end() && !found->second) {
            found->second = state;
            firstLook = true;
        }
    }
    if (!firstLook || state != IPP_JSTATE_ABORTED || papplJobGetMessage(job) != nullptr || !isStreamedRaster(job))
        return;
    std::string reason = rasterStartProblem(requestRasterStart());
    if (reason.empty()) reason = "The raster document could not be read.";
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "%s", reason.c_str());
    papplJobSetMessage(job, "%s", reason.c_str());
}

bool jobRuns::secondRun(pappl_job_t* job, pappl_device_t*, void* context) {
    auto& runs = *static_cast<jobRuns*>(context);
    std::unique_lock lock(runs.mutex);
    if (runs.lateStarts.erase({job, pthread_self()}) == 0) {
        lock.unlock();
        idleForGood(job);
    }
    lateRun(job);
    const auto outcome = runs.endings.find(job);
    return outcome != runs.endings.end() && outcome->second == IPP_JSTATE_COMPLETED;
}

}  // namespace corvane
