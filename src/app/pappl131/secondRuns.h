// A job started twice. PAPPL's queued-job check starts the first pending job
// on a new thread and marks it started only once that thread runs, so a
// second check meanwhile (a job arriving while another ends, a cancel)
// starts the same job again. Both runs would print it, and PAPPL ends a job
// once per run: a second end lists the job twice among the printer's
// completed jobs, and when PAPPL later drops the job from its history it
// frees it with the second entry still listed. A second run must therefore
// never return to PAPPL while the first one is under way or has been ended
// after it started; since the thread is PAPPL's, it is neither ended nor
// signalled: it waits for good, holding nothing of PAPPL's or the job's.
// A run that PAPPL started only after the first run's end (it made the job
// "processing" again) returns the first run's outcome instead: PAPPL must
// end the job again to free the printer.
// Shown by tests/app/load.sh and tests/app/queue-race.sh ("Starting print
// job" twice for one job in the log). PAPPL 1.3.1 and 1.4.11 both have it.
#pragma once

#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <utility>

#include <pappl/pappl.h>

namespace corvane {

// The calling thread, a second run of the job, waits until the process
// ends.
[[noreturn]] void idleForGood(pappl_job_t* job);
// Logs that the calling thread is a run PAPPL started after the job's end.
void lateRun(pappl_job_t* job);

// The runs of spooled jobs, as the app's MIME filters see them: every filter
// asks at its start, before it reads the document, so that an idle second
// run holds no decoded image or renderer.
class spooledRuns {
public:
    spooledRuns() = default;
    spooledRuns(const spooledRuns&) = delete;
    spooledRuns& operator=(const spooledRuns&) = delete;

    // At a filter's start, on the run's thread: true for the job's first
    // run, which then prints and reports its end (ended). A second run of
    // the job idles here for good, or returns false with the outcome to
    // return to PAPPL when it started after the first run's end.
    bool first(pappl_job_t* job, bool& lateOutcome);
    // The first run's filter returned this outcome.
    void ended(pappl_job_t* job, bool outcome);

private:
    using jobKey = std::pair<int, int>;  // printer ID, job ID
    static jobKey keyOf(pappl_job_t* job);

    std::mutex mutex;
    // The latest jobs' first runs: their outcome once they ended.
    std::map<jobKey, std::optional<bool>> runs;
    std::deque<jobKey> order;
};

}  // namespace corvane
