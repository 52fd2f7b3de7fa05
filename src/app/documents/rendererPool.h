// A renderer started ahead of the job that uses it. Starting Ghostscript
// takes about 45 ms, as long as rendering a short document's pages; a job
// whose settings match the previous one's finds its renderer already
// started, and Ghostscript's start happens between the jobs. A renderer left
// unused for `idleLimit` is stopped: its memory is worth more than 45 ms to
// a job that comes much later.
#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <vector>

#include "app/documents/ghostscriptCommand.h"
#include "app/documents/pageRenderer.h"

namespace corvane {

class rendererPool {
public:
    using renderers = std::vector<std::unique_ptr<pageRenderer>>;
    using clock = std::chrono::steady_clock;
    static constexpr auto idleLimit = std::chrono::minutes(5);

    // The renderers of the request's document, each told its pages, in the
    // order the job's pages come from them (page n from renderer n % count):
    // two on a machine of two `cores` or more for a job of
    // `pagesWorthTwoRenderers` pages or more, else one. The first is the
    // prepared one when its settings match; the second a fork of the first. Empty when a renderer could not
    // be started; one renderer alone when it could not open the document
    // (its end says why).
    renderers startDocument(const renderRequest& request, unsigned cores);

    // Starts a renderer for a next job with these settings, in place of the
    // one prepared before.
    void prepare(const renderRequest& request, clock::time_point now = clock::now());
    // The same when no prepared renderer is waiting: a printer's first job
    // must not cost the renderer another printer's jobs left started.
    void prepareIfNone(const renderRequest& request, clock::time_point now = clock::now());

    // Stops the prepared renderer once it has waited `idleLimit`.
    void dropIdle(clock::time_point now = clock::now());
    bool hasPrepared();

private:
    // The prepared renderer when it was started for these settings and
    // still runs, else a new one.
    std::unique_ptr<pageRenderer> take(const renderRequest& request);

    std::mutex lock;
    std::unique_ptr<pageRenderer> prepared;
    clock::time_point preparedAt;
};

}  // namespace corvane
