#include "app/deviceSink.h"

#include <algorithm>

namespace corvane {

deviceSink::deviceSink(pappl_device_t* device) : device(device), writer([this] { writeBlocks(); }) {
    filling.reserve(blockSize);
}

deviceSink::~deviceSink() {
    flush();
    {
        std::lock_guard lock(mutex);
        closing = true;
    }
    changed.notify_all();
}

void deviceSink::write(std::span<const std::uint8_t> bytes) {
    while (!bytes.empty() && !writeFailed) {
        const std::size_t taken = std::min(bytes.size(), blockSize - filling.size());
        filling.insert(filling.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(taken));
        bytes = bytes.subspan(taken);
        if (filling.size() == blockSize) handOver();
    }
}

void deviceSink::flush() {
    if (!filling.empty()) handOver();
    std::unique_lock lock(mutex);
    changed.wait(lock, [this] { return queue.empty() && !writing; });
    if (!writeFailed) papplDeviceFlush(device);
}

// Queues the block being filled (waiting while the writer is behind) and
// takes an empty one.
void deviceSink::handOver() {
    std::unique_lock lock(mutex);
    changed.wait(lock, [this] { return queue.size() < queuedBlocks; });
    queue.push_back(std::move(filling));
    if (spare.empty()) {
        filling = {};
        filling.reserve(blockSize);
    } else {
        filling = std::move(spare.back());
        spare.pop_back();
    }
    lock.unlock();
    changed.notify_all();
}

void deviceSink::writeBlocks() {
    std::unique_lock lock(mutex);
    for (;;) {
        changed.wait(lock, [this] { return !queue.empty() || closing; });
        if (queue.empty()) return;
        std::vector<std::uint8_t> block = std::move(queue.front());
        queue.pop_front();
        writing = true;
        lock.unlock();
        if (!writeFailed && papplDeviceWrite(device, block.data(), block.size()) < 0) writeFailed = true;
        block.clear();
        lock.lock();
        spare.push_back(std::move(block));
        writing = false;
        changed.notify_all();
    }
}

}  // namespace corvane
