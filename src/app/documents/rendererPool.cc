#include "app/documents/rendererPool.h"

#include <algorithm>
#include <utility>

namespace corvane {

rendererPool::renderers rendererPool::take(const std::vector<renderRequest>& shares) {
    renderers taken;
    {
        const std::lock_guard guard(lock);
        for (const renderRequest& share : shares) {
            const auto command = pageRenderer::commandFor(share);
            // A prepared renderer that has ended (killed, say) is of no use.
            const auto match = std::find_if(prepared.begin(), prepared.end(), [&](auto& renderer) {
                return renderer->command() == command && renderer->running();
            });
            if (match == prepared.end()) {
                taken.push_back(nullptr);
                continue;
            }
            taken.push_back(std::move(*match));
            prepared.erase(match);
        }
    }
    for (std::size_t i = 0; i < shares.size(); ++i) {
        if (taken[i] && taken[i]->render(shares[i].file)) continue;
        // None prepared, or the prepared one ended in the meantime.
        taken[i] = std::make_unique<pageRenderer>(shares[i]);
        if (!taken[i]->started() || !taken[i]->render(shares[i].file)) return {};
    }
    return taken;
}

void rendererPool::prepare(const std::vector<renderRequest>& shares, clock::time_point now) {
    renderers fresh;
    for (const renderRequest& share : shares) fresh.push_back(std::make_unique<pageRenderer>(share));
    renderers stale;
    {
        const std::lock_guard guard(lock);
        stale = std::exchange(prepared, std::move(fresh));
        preparedAt = now;
    }
    // The replaced ones are stopped here, outside the lock.
}

void rendererPool::prepareIfNone(const std::vector<renderRequest>& shares, clock::time_point now) {
    {
        const std::lock_guard guard(lock);
        if (std::any_of(prepared.begin(), prepared.end(), [](auto& renderer) { return renderer->running(); }))
            return;
    }
    prepare(shares, now);
}

void rendererPool::dropIdle(clock::time_point now) {
    renderers stale;
    {
        const std::lock_guard guard(lock);
        if (now - preparedAt >= idleLimit) stale = std::exchange(prepared, {});
    }
}

std::size_t rendererPool::preparedCount() {
    const std::lock_guard guard(lock);
    return prepared.size();
}

}  // namespace corvane
