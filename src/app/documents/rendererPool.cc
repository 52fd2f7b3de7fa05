#include "app/documents/rendererPool.h"

#include <utility>

namespace corvane {

std::unique_ptr<pageRenderer> rendererPool::take(const renderRequest& request) {
    std::unique_ptr<pageRenderer> renderer;
    {
        const std::lock_guard guard(lock);
        renderer = std::exchange(prepared, nullptr);
    }
    // A prepared renderer that has ended (killed, say) is of no use.
    if (renderer && renderer->command() == pageRenderer::commandFor(request) && renderer->running())
        return renderer;
    return std::make_unique<pageRenderer>(request);
}

rendererPool::renderers rendererPool::startDocument(const renderRequest& request, unsigned cores) {
    renderers started;
    started.push_back(take(request));
    if (!started[0]->started()) return {};
    const auto pageCount = started[0]->open(request.file);
    if (!pageCount) return started;
    const auto shares = shareOut(jobPages(request), *pageCount, cores);
    if (shares.size() > 1) {
        // A copy of the first, with Ghostscript started and the document
        // open, spares the second renderer's start (40-50 ms of processor
        // time); else one of its own, started now.
        auto second = started[0]->fork();
        if (!second) {
            second = std::make_unique<pageRenderer>(request);
            if (!second->started() || !second->open(request.file)) return {};
        }
        started.push_back(std::move(second));
    }
    for (std::size_t i = 0; i < shares.size(); ++i)
        if (!started[i]->draw(shares[i], {request.widthPixels, request.heightPixels})) return {};
    return started;
}

void rendererPool::prepare(const renderRequest& request, clock::time_point now) {
    auto fresh = std::make_unique<pageRenderer>(request);
    std::unique_ptr<pageRenderer> stale;
    {
        const std::lock_guard guard(lock);
        stale = std::exchange(prepared, std::move(fresh));
        preparedAt = now;
    }
    // The replaced one is stopped here, outside the lock.
}

void rendererPool::prepareIfNone(const renderRequest& request, clock::time_point now) {
    {
        const std::lock_guard guard(lock);
        if (prepared && prepared->running()) return;
    }
    prepare(request, now);
}

void rendererPool::dropIdle(clock::time_point now) {
    std::unique_ptr<pageRenderer> stale;
    const std::lock_guard guard(lock);
    if (now - preparedAt >= idleLimit) stale = std::exchange(prepared, nullptr);
}

bool rendererPool::hasPrepared() {
    const std::lock_guard guard(lock);
    return prepared != nullptr;
}

}  // namespace corvane
