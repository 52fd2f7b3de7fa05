// What a printer said on one open connection, kept as the job and the status
// watch need it: the latest device status, and for the job in progress its
// echoes, its start and end reports and the pages printed. Fed with raw bytes
// by the reader of the connection; read by others. Memory stays bounded whatever the printer sends.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>

#include "app/devices/pjlReplies.h"

namespace corvane {

class backChannel {
public:
    using clock = std::chrono::steady_clock;

    struct state {
        std::optional<deviceStatus> status;  // the latest status report
        std::uint64_t statusReports = 0;
        bool heard = false;                  // any reply since the connection opened
        bool closed = false;                 // the printer closed its side, or reading failed
        clock::time_point lastReply{};
        std::optional<long> pageCount;       // the latest INFO PAGECOUNT

        // The job begun with beginJob, from the echo of its opening block on.
        bool jobEchoed = false;
        bool jobStarted = false;             // USTATUS JOB START
        long pagesPrinted = 0;               // the highest USTATUS PAGE number
        bool closingEchoed = false;
        bool jobEnded = false;               // USTATUS JOB END under the job's name
        long endPages = -1;                  // its PAGES, when given
        std::string endResult;
    };

    // Bytes as they arrive.
    void take(std::span<const std::uint8_t> bytes);
    // No more bytes will come.
    void close();
    // The job whose opening block carries this token: its reports count from
    // the echo of that block on.
    void beginJob(const std::string& token);

    state snapshot() const;
    // A count that grows with every change.
    std::uint64_t changes() const;
    // Waits until the count grows past `seen`, or the deadline; the count.
    std::uint64_t waitForChange(std::uint64_t seen, clock::time_point deadline) const;

private:
    void apply(const printerReport& report);

    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    pjlReplySplitter splitter;
    state current;
    std::string jobToken;
    std::uint64_t changeCount = 0;
};

// Reads a printer's back channel in a thread of its own and hands every
// byte to the channel, until the printer closes it, reading fails, or the
// reader is destroyed. The connection stays open for writing meanwhile:
// reading never holds up a writer.
class backChannelReader {
public:
    // Waits a tenth of a second at most: the bytes received, 0 when none
    // came, negative once nothing more can come.
    using receiveFunction = std::function<long(std::span<std::uint8_t>)>;

    backChannelReader(receiveFunction receive, std::shared_ptr<backChannel> channel);
    ~backChannelReader() = default;  // stops and joins
    backChannelReader(const backChannelReader&) = delete;
    backChannelReader& operator=(const backChannelReader&) = delete;

    // Receiving from a descriptor.
    static receiveFunction fromDescriptor(int fd);

private:
    std::jthread thread;
};

}  // namespace corvane
