// Renderers started ahead of the jobs that use them. Starting Ghostscript
// takes about 45 ms, as long as rendering a short document's pages; a job
// whose settings match the previous one's finds its renderers already
// started, and Ghostscript's start happens between the jobs.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "app/ghostscriptCommand.h"
#include "app/pageRenderer.h"

namespace corvane {

class rendererPool {
public:
    using renderers = std::vector<std::unique_ptr<pageRenderer>>;

    // One renderer per share, each given its share's file: a prepared one
    // started for the same settings when there is one, else a new one.
    // Empty when one could not be started or given its document.
    renderers take(const std::vector<renderRequest>& shares);

    // Starts renderers for a next job with these shares' settings, in place
    // of those prepared before.
    void prepare(const std::vector<renderRequest>& shares);

private:
    std::mutex lock;
    renderers prepared;
};

}  // namespace corvane
