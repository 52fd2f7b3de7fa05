// The encoder's printer bytes, written to a PAPPL device (socket, USB or
// file). A writer thread of the job sends them, so that the encoder goes on
// with the next rows while the device takes the last ones; flush() returns
// once the device has everything so far.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include <pappl/pappl.h>

#include "encoder/byteSink.h"

namespace corvane {

class deviceSink final : public byteSink {
public:
    explicit deviceSink(pappl_device_t* device);
    // Sends what is left, then ends the writer thread.
    ~deviceSink() override;
    deviceSink(const deviceSink&) = delete;
    deviceSink& operator=(const deviceSink&) = delete;

    using byteSink::write;
    void write(std::span<const std::uint8_t> bytes) override;
    void flush() override;

    // True once a write failed (the printer went away); later bytes are
    // dropped and the job should end.
    bool failed() const { return writeFailed; }

private:
    // Bytes handed to the writer at a time, and blocks queued at most: the
    // memory of a job's output stays a few MiB however long its pages.
    static constexpr std::size_t blockSize = 1 << 20;
    static constexpr std::size_t queuedBlocks = 2;

    void handOver();
    void writeBlocks();

    pappl_device_t* device;
    std::vector<std::uint8_t> filling;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::vector<std::uint8_t>> queue;
    std::vector<std::vector<std::uint8_t>> spare;
    bool writing = false;
    bool closing = false;
    std::atomic<bool> writeFailed = false;
    // Last: started once the rest exists, joined before the rest goes.
    std::jthread writer;
};

}  // namespace corvane
