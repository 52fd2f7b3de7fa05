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
#include "encoder/lendingBuffer.h"

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
    // Room at the end of the buffer, which is written first if the room
    // does not fit behind what it holds (none for more than it holds).
    std::span<std::uint8_t> reserve(std::size_t size) override;
    void commit(std::size_t size) override;

    // True once the printer side stopped taking bytes (a closed pipe); later
    // writes are dropped and the job should end.
    bool failed() const { return outputFailed; }

private:
    void sendPrinterBytes(std::span<const std::uint8_t> bytes);
    auto printerSender() {
        return [this](std::span<const std::uint8_t> bytes) { sendPrinterBytes(bytes); };
    }
    void pushCopyBytes();
    void copyBytes(std::span<const std::uint8_t> bytes);

    // Photo rows made in place leave three to a write. A buffer that holds
    // four (80 KiB) raised the peak memory of text jobs by about 100 KiB,
    // more than it adds itself, which the 8 MiB limit has no room for.
    static constexpr std::size_t flushThreshold = 64 * 1024;

    int fd;
    const supportFunctions* copy;
    // Bytes for the printer not yet written; its free end is what
    // reserve() lends.
    lendingBuffer pending{flushThreshold};
    std::vector<std::uint8_t> pendingCopy;
    bool outputFailed = false;
};

}  // namespace corvane
