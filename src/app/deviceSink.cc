#include "app/deviceSink.h"

#include <cstring>

namespace corvane {

deviceSink::deviceSink(pappl_device_t* device)
    : device(device), buffer(std::make_unique_for_overwrite<std::uint8_t[]>(capacity)) {}

void deviceSink::send(std::span<const std::uint8_t> bytes) {
    if (writeFailed || bytes.empty()) return;
    if (papplDeviceWrite(device, bytes.data(), bytes.size()) < 0) writeFailed = true;
}

void deviceSink::push() {
    send({buffer.get(), used});
    used = 0;
}

void deviceSink::write(std::span<const std::uint8_t> bytes) {
    if (writeFailed) return;
    if (used + bytes.size() > capacity) push();
    if (bytes.size() >= capacity) {
        send(bytes);
        return;
    }
    if (!bytes.empty()) std::memcpy(buffer.get() + used, bytes.data(), bytes.size());
    used += bytes.size();
}

std::span<std::uint8_t> deviceSink::reserve(std::size_t size) {
    if (size > capacity) return {};
    if (used + size > capacity) push();
    if (writeFailed) return {};
    return {buffer.get() + used, size};
}

void deviceSink::commit(std::size_t size) { used += size; }

void deviceSink::flush() {
    push();
    if (!writeFailed) papplDeviceFlush(device);
}

}  // namespace corvane
