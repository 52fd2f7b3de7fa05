#include "app/driver/deviceSink.h"

namespace corvane {

void deviceSink::send(std::span<const std::uint8_t> bytes) {
    if (writeFailed || bytes.empty()) return;
    if (!anythingSent && !prologue.empty() && papplDeviceWrite(device, prologue.data(), prologue.size()) < 0)
        writeFailed = true;
    anythingSent = true;
    if (!writeFailed && papplDeviceWrite(device, bytes.data(), bytes.size()) < 0) writeFailed = true;
}

void deviceSink::write(std::span<const std::uint8_t> bytes) {
    if (!writeFailed) buffer.write(bytes, sender());
}

std::span<std::uint8_t> deviceSink::reserve(std::size_t size) {
    const auto room = buffer.reserve(size, sender());
    // Once the printer is gone, bytes are dropped before they are made.
    return writeFailed ? std::span<std::uint8_t>() : room;
}

void deviceSink::commit(std::size_t size) { buffer.commit(size); }

void deviceSink::flush() {
    buffer.drain(sender());
    if (!writeFailed) papplDeviceFlush(device);
}

}  // namespace corvane
