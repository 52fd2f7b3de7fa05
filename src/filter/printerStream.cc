#include "filter/printerStream.h"

#include <cstring>

#include "filter/diagnosticDirectory.h"
#include "filter/supportFunctions.h"

namespace corvane {

printerStream::printerStream(int fd, const supportFunctions* copy)
    : fd(fd), copy(copy), pending(std::make_unique_for_overwrite<std::uint8_t[]>(flushThreshold)) {
    if (copy) pendingCopy.reserve(flushThreshold);
}

printerStream::~printerStream() { flush(); }

void printerStream::writePrinterOnly(std::span<const std::uint8_t> bytes) {
    if (outputFailed) return;
    // The buffer never grows: what does not fit sends the buffer first, and
    // a piece of 64 KiB or more goes out directly.
    if (pendingSize + bytes.size() > flushThreshold) pushPrinterBytes();
    if (bytes.size() >= flushThreshold) {
        if (!outputFailed && !writeAll(fd, bytes)) outputFailed = true;
        return;
    }
    if (!bytes.empty()) std::memcpy(pending.get() + pendingSize, bytes.data(), bytes.size());
    pendingSize += bytes.size();
}

void printerStream::write(std::span<const std::uint8_t> bytes) {
    writePrinterOnly(bytes);
    copyBytes(bytes);
}

std::span<std::uint8_t> printerStream::reserve(std::size_t size) {
    if (size > flushThreshold) return {};
    if (pendingSize + size > flushThreshold) pushPrinterBytes();
    // Once the printer is gone, bytes are dropped before they are made.
    if (outputFailed) return {};
    return {pending.get() + pendingSize, size};
}

void printerStream::commit(std::size_t size) {
    copyBytes({pending.get() + pendingSize, size});
    pendingSize += size;
}

void printerStream::flush() {
    pushPrinterBytes();
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

void printerStream::pushPrinterBytes() {
    if (pendingSize > 0 && !outputFailed && !writeAll(fd, {pending.get(), pendingSize}))
        outputFailed = true;
    pendingSize = 0;
}

void printerStream::pushCopyBytes() {
    if (copy && !pendingCopy.empty()) copy->copyToPrintFile(pendingCopy);
    pendingCopy.clear();
}

}  // namespace corvane
