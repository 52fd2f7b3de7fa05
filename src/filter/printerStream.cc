#include "filter/printerStream.h"

#include "diagnostics/diagnosticDirectory.h"
#include "diagnostics/supportFunctions.h"

namespace corvane {

printerStream::printerStream(int fd, const supportFunctions* copy) : fd(fd), copy(copy) {
    pending.reserve(flushThreshold);
}

printerStream::~printerStream() { flush(); }

void printerStream::writePrinterOnly(std::span<const std::uint8_t> bytes) {
    if (outputFailed) return;
    pending.insert(pending.end(), bytes.begin(), bytes.end());
    if (pending.size() >= flushThreshold) pushPrinterBytes();
}

void printerStream::write(std::span<const std::uint8_t> bytes) {
    writePrinterOnly(bytes);
    if (copy) {
        pendingCopy.insert(pendingCopy.end(), bytes.begin(), bytes.end());
        if (pendingCopy.size() >= flushThreshold) pushCopyBytes();
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
