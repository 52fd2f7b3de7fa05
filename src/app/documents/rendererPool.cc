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
    // The second renderer of a long job is a copy of the first, made before
    // the first opens the document: Ghostscript's start (40-50 ms of
    // processor time) is spared. Unused, it ends at once.
    auto twin = mayShare(jobPages(request), cores) ? started[0]->twin() : nullptr;
    const auto pageCount = started[0]->open(request.file, twin.get());
    if (!pageCount) return started;
    const auto shares = shareOut(jobPages(request), *pageCount, cores);
    if (shares.size() > 1) {
        if (!twin || !twin->started() || !twin->open(request.file)) {
            // No copy: a renderer of its own, started now.
            twin = std::make_unique<pageRenderer>(request);
            if (!twin->started() || !twin->open(request.file)) return {};
        }
        started.push_back(std::move(twin));
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
