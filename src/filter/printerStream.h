// The one path of printer bytes to standard output, and to the diagnostic
// print file when diagnostics are on.
//
// Bytes are kept in order in a buffer and leave in large writes; flush() is
// called at the points where the printer should see everything so far (the
// PJL header, every page end, the job end).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "encoder/byteSink.h"

namespace corvane {

class supportFunctions;

class printerStream final : public byteSink {
public:
    // `copy` is the diagnostics object when its print file should receive a
    // copy of the stream, else null.
    printerStream(int fd, const supportFunctions* copy);
    ~printerStream() override;
    printerStream(const printerStream&) = delete;
    printerStream& operator=(const printerStream&) = delete;

    using byteSink::write;
    void write(std::span<const std::uint8_t> bytes) override;
    // Bytes for the printer only, never copied to the diagnostic print file.
    void writePrinterOnly(std::span<const std::uint8_t> bytes) override;
    void flush() override;

    // True once the printer side stopped taking bytes (a closed pipe); later
    // writes are dropped and the job should end.
    bool failed() const { return outputFailed; }

private:
    void pushPrinterBytes();
    void pushCopyBytes();

    static constexpr std::size_t flushThreshold = 64 * 1024;

    int fd;
    const supportFunctions* copy;
    std::vector<std::uint8_t> pending;
    std::vector<std::uint8_t> pendingCopy;
    bool outputFailed = false;
};

}  // namespace corvane
