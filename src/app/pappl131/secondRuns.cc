#include "app/pappl131/secondRuns.h"

#include <chrono>
#include <thread>

namespace corvane {
namespace {

// Enough to recognise a second run: PAPPL starts it right after the first.
constexpr std::size_t rememberedRuns = 256;

// PAPPL ends a job at once after its run's filter returns.
constexpr auto endOfRunWait = std::chrono::seconds(5);

bool hasEnded(pappl_job_t* job) { return papplJobGetState(job) >= IPP_JSTATE_CANCELED; }

}  // namespace

void idleForGood(pappl_job_t* job) {
    papplLogJob(job, PAPPL_LOGLEVEL_WARN,
                "PAPPL started the job a second time; this run prints nothing and stays idle.");
    for (;;) std::this_thread::sleep_for(std::chrono::hours(24));
}

void lateRun(pappl_job_t* job) {
    papplLogJob(job, PAPPL_LOGLEVEL_WARN, "PAPPL started the job again after its end; this run prints nothing.");
}

spooledRuns::jobKey spooledRuns::keyOf(pappl_job_t* job) {
    return {papplPrinterGetID(papplJobGetPrinter(job)), papplJobGetID(job)};
}

bool spooledRuns::first(pappl_job_t* job, bool& lateOutcome) {
    const jobKey key = keyOf(job);
    std::optional<bool> outcome;
    {
        const std::lock_guard lock(mutex);
        const auto [found, added] = runs.try_emplace(key);
        if (added) {
            order.push_back(key);
            if (order.size() > rememberedRuns) {
                runs.erase(order.front());
                order.pop_front();
            }
            return true;
        }
        outcome = found->second;
    }
    // The first run is under way: PAPPL ends the job after it.
    if (!outcome) idleForGood(job);
    // The first run's end made the job end, unless this run started after
    // it and made the job processing again.
    const auto deadline = std::chrono::steady_clock::now() + endOfRunWait;
    while (!hasEnded(job) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (hasEnded(job)) idleForGood(job);
    lateRun(job);
    lateOutcome = *outcome;
    return false;
}

void spooledRuns::ended(pappl_job_t* job, bool outcome) {
    const std::lock_guard lock(mutex);
    if (const auto found = runs.find(keyOf(job)); found != runs.end()) found->second = outcome;
}

}  // namespace corvane
