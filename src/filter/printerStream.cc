#include "filter/printerStream.h"

#include "filter/diagnosticDirectory.h"
#include "filter/supportFunctions.h"

namespace corvane {

printerStream::printerStream(int fd, const supportFunctions* copy)
    : fd(fd), copy(copy) {
    if (copy) pendingCopy.reserve(flushThreshold);
}

printerStream::~printerStream() { flush(); }

void printerStream::writePrinterOnly(std::span<const std::uint8_t> bytes) {
    if (!outputFailed) pending.write(bytes, printerSender());
}

void printerStream::write(std::span<const std::uint8_t> bytes) {
    writePrinterOnly(bytes);
    copyBytes(bytes);
}

std::span<std::uint8_t> printerStream::reserve(std::size_t size) {
    const auto room = pending.reserve(size, printerSender());
    // Once the printer is gone, bytes are dropped before they are made.
    return outputFailed ? std::span<std::uint8_t>() : room;
}

void printerStream::commit(std::size_t size) { copyBytes(pending.commit(size)); }

void printerStream::flush() {
    pending.drain(printerSender());
    pushCopyBytes();
}

void printerStream::copyBytes(std::span<const std::uint8_t> bytes) {
    if (!copy) return;
    if (pendingCopy.size() + bytes.size() > flushThreshold) pushCopyBytes();
    if (bytes.size() >= flushThreshold) {
        copy->copyToPrintFile(bytes);
        return;
    }
    pendingCopy.insert(pendingCopy.end(), bytes.begin(), bytes.end());
}

void printerStream::sendPrinterBytes(std::span<const std::uint8_t> bytes) {
    if (!outputFailed && !writeAll(fd, bytes)) outputFailed = true;
}

void printerStream::pushCopyBytes() {
    if (copy && !pendingCopy.empty()) copy->copyToPrintFile(pendingCopy);
    pendingCopy.clear();
}

}  // namespace corvane
