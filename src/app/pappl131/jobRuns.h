// What PAPPL's job events tell about each job's runs. PAPPL 1.3.1 processes
// a streamed PWG or Apple raster job on the client's own thread, but a job
// that ends meanwhile may start the queued-job check, which starts the same
// job once more on a thread of its own; that run finds no way to print
// raster and would abort the job under the client's run. Its start is
// known from the order of the events: before or after the job's end.
// The events also give a streamed raster job that PAPPL aborts before the
// driver runs a state message saying why.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <pthread.h>
#include <set>
#include <string>
#include <utility>

#include <pappl/pappl.h>

namespace corvane {

class jobRuns {
public:
    // threadEnds: told before a second run's thread ends.
    explicit jobRuns(std::function<void(pappl_job_t*)> threadEnds) : threadEnds(std::move(threadEnds)) {}
    jobRuns(const jobRuns&) = delete;
    jobRuns& operator=(const jobRuns&) = delete;

    // Every PAPPL event, from the thread that caused it.
    void observe(pappl_job_t* job, pappl_event_t event);

    // PAPPL's MIME filter for raster jobs, which only such a second run of
    // a streamed job reaches: it ends the thread while the client's run
    // prints (PAPPL holds no lock of its own here); a run started after the
    // job's end returns the first run's outcome, since PAPPL must then
    // finish the job again to free the printer.
    static bool secondRun(pappl_job_t* job, pappl_device_t*, void* runs);

private:
    using jobKey = std::pair<int, int>;  // printer and job ID
    static jobKey keyOf(pappl_job_t* job);
    void explainAbort(pappl_job_t* job);

    std::function<void(pappl_job_t*)> threadEnds;
    std::mutex mutex;
    std::map<jobKey, ipp_jstate_t> ended;  // the latest ended jobs
    std::deque<jobKey> endOrder;
    std::set<std::pair<jobKey, pthread_t>> lateStarts;
    // Messages waiting for the job's lock to be released, by thread.
    std::map<pthread_t, std::pair<pappl_job_t*, std::string>> waitingMessages;
};

}  // namespace corvane
