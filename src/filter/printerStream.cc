#include "filter/printerStream.h"

#include "filter/diagnosticDirectory.h"
#include "filter/supportFunctions.h"

namespace corvane {

printerStream::printerStream(int fd, const supportFunctions* copy) : fd(fd), copy(copy) {
    pending.reserve(flushThreshold);
    if (copy) pendingCopy.reserve(flushThreshold);
}

printerStream::~printerStream() { flush(); }

void printerStream::writePrinterOnly(std::span<const std::uint8_t> bytes) {
    if (outputFailed) return;
    // The buffer never grows: what does not fit sends the buffer first, and
    // a piece larger than the whole buffer goes out directly.
    if (pending.size() + bytes.size() > flushThreshold) pushPrinterBytes();
    if (bytes.size() >= flushThreshold) {
        if (!outputFailed && !writeAll(fd, bytes)) outputFailed = true;
        return;
    }
    pending.insert(pending.end(), bytes.begin(), bytes.end());
}

void printerStream::write(std::span<const std::uint8_t> bytes) {
    writePrinterOnly(bytes);
    if (copy) {
        if (pendingCopy.size() + bytes.size() > flushThreshold) pushCopyBytes();
        if (bytes.size() >= flushThreshold) {
            copy->copyToPrintFile(bytes);
            return;
        }
        pendingCopy.insert(pendingCopy.end(), bytes.begin(), bytes.end());
    }
}

void printerStream::flush() {
    pushPrinterBytes();
    pushCopyBytes();
}

void printerStream::pushPrinterBytes() {
    if (!pending.empty() && !outputFailed && !writeAll(fd, pending)) outputFailed = true;
    pending.clear();
}

void printerStream::pushCopyBytes() {
    if (copy && !pendingCopy.empty()) copy->copyToPrintFile(pendingCopy);
    pendingCopy.clear();
}

}  // namespace corvane
