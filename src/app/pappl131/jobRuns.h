// What PAPPL's job events tell about each run of a job, for two repairs.
//
// 1. A streamed job started twice. PAPPL processes a PWG or Apple raster
//    job on the client's own thread, but a job that ends meanwhile may start
//    the queued-job check, which starts the same job once more on a thread
//    of its own (secondRuns.h). That run finds no way to print raster and
//    would abort the job under the client's run. It reaches the raster
//    filter registered here, where it stays idle for good; a run started
//    after the job's end returns the first run's outcome instead, since
//    PAPPL must then end the job again to free the printer. Shown by
//    tests/app/load.sh and tests/app/queue-race.sh.
// 2. A streamed raster job that PAPPL aborts on its first page header
//    before any driver code runs gets PAPPL's generic "Job aborted."; it
//    gets a message saying what was wrong with the document instead.
//    Shown by tests/app/hostile.sh (garbage.pwg, badrow.pwg).
// PAPPL 1.3.1 and 1.4.11 both have both.
//
// PAPPL announces a job's start and end holding the job's and the printer's
// locks, and 1.4 takes the job's lock in every job accessor, so while it
// announces them nothing here calls PAPPL. Jobs are known by their address
// (PAPPL frees a job only once it is more than a minute old and beyond its
// 100 jobs of history, so the latest ended jobs keep theirs), and an ended
// job is looked at in the printer event that its run announces right after
// the end, when only the printer is locked.
#pragma once

#include <chrono>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <pthread.h>
#include <set>
#include <utility>
#include <vector>

#include <pappl/pappl.h>

namespace corvane {

class jobRuns {
public:
    jobRuns() = default;
    jobRuns(const jobRuns&) = delete;
    jobRuns& operator=(const jobRuns&) = delete;

    // Every PAPPL event, from the thread that announces it.
    void observe(pappl_job_t* job, pappl_event_t event);

    // PAPPL's MIME filter for raster jobs, which only a second run of a
    // streamed job reaches: it stays idle for good while the client's run
    // prints or once it has ended the job (PAPPL holds no lock of its own
    // here); a run started after the job's end returns the first run's
    // outcome.
    static bool secondRun(pappl_job_t* job, pappl_device_t*, void* runs);

private:
    void runEnded(pappl_job_t* job);
    void inspect(pappl_job_t* job);

    std::mutex mutex;
    // The threads that announced each job's state changes, latest last: the
    // submitting client's, then each run's, until a run ends.
    std::map<pappl_job_t*, std::vector<pthread_t>> announcers;
    // The latest ended jobs and their outcome, known once inspected.
    std::map<pappl_job_t*, std::optional<ipp_jstate_t>> endings;
    std::deque<pappl_job_t*> endOrder;
    std::set<std::pair<pappl_job_t*, pthread_t>> lateStarts;
    // The job whose end a thread just announced: a run's end when the
    // thread's next event, within a moment, is the printer's new state.
    struct endingRun {
        pappl_job_t* job;
        std::chrono::steady_clock::time_point at;
    };
    std::map<pthread_t, endingRun> uninspected;
};

}  // namespace corvane
