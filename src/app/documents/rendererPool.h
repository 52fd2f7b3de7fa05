// Renderers started ahead of the jobs that use them. Starting Ghostscript
// takes about 45 ms, as long as rendering a short document's pages; a job
// whose settings match the previous one's finds its renderers already
// started, and Ghostscript's start happens between the jobs. Renderers left
// unused for `idleLimit` are stopped: their memory is worth more than 45 ms
// to a job that comes much later.
#pragma once

#include <chrono>
#include <cstddef>
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

    // One renderer per share, each given its share's file: a prepared one
    // started for the same settings when there is one, else a new one.
    // Empty when one could not be started or given its document.
    renderers take(const std::vector<renderRequest>& shares);

    // Starts renderers for a next job with these shares' settings, in place
    // of those prepared before.
    void prepare(const std::vector<renderRequest>& shares, clock::time_point now = clock::now());
    // The same when no prepared renderer is waiting: a printer's first job
    // must not cost the renderers another printer's jobs left started.
    void prepareIfNone(const std::vector<renderRequest>& shares, clock::time_point now = clock::now());

    // Stops the prepared renderers once they have waited `idleLimit`.
    void dropIdle(clock::time_point now = clock::now());
    std::size_t preparedCount();

private:
    std::mutex lock;
    renderers prepared;
    clock::time_point preparedAt;
};

}  // namespace corvane
