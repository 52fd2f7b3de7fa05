#include "app/deviceSink.h"

namespace corvane {

void deviceSink::write(std::span<const std::uint8_t> bytes) {
    if (writeFailed || bytes.empty()) return;
    if (papplDeviceWrite(device, bytes.data(), bytes.size()) < 0) writeFailed = true;
}

void deviceSink::flush() {
    if (!writeFailed) papplDeviceFlush(device);
}

}  // namespace corvane
