#include "app/devices/backChannel.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <poll.h>
#include <unistd.h>

#include "app/devices/statusCommands.h"

namespace corvane {

void backChannel::take(std::span<const std::uint8_t> bytes) {
    {
        const std::lock_guard lock(mutex);
        const std::vector<pjlReply> replies = splitter.take(bytes);
        if (replies.empty()) return;
        for (const pjlReply& reply : replies) apply(readReport(reply));
        ++changeCount;
    }
    changed.notify_all();
}

void backChannel::apply(const printerReport& report) {
    using kind = printerReport::kind;
    current.heard = true;
    current.lastReply = clock::now();
    switch (report.what) {
        case kind::status:
            current.status = report.status;
            ++current.statusReports;
            break;
        case kind::echo:
            if (jobToken.empty()) break;
            if (report.text == echoWords(jobToken, "start")) {
                // Reports before this echo belong to what came before the job.
                current.jobEchoed = true;
                current.jobStarted = false;
                current.pagesPrinted = 0;
            } else if (report.text == echoWords(jobToken, "end")) {
                current.closingEchoed = true;
            }
            break;
        case kind::jobStart:
            if (current.jobEchoed) current.jobStarted = true;
            break;
        case kind::page:
            if (current.jobEchoed) current.pagesPrinted = std::max(current.pagesPrinted, report.number);
            break;
        case kind::jobEnd:
            if (!jobToken.empty() && report.text == endOfJobName(jobToken)) {
                current.jobEnded = true;
                current.endPages = report.number;
                current.endResult = report.result;
            }
            break;
        case kind::pageCount:
            current.pageCount = report.number;
            break;
        case kind::other:
            break;
    }
}

void backChannel::close() {
    {
        const std::lock_guard lock(mutex);
        current.closed = true;
        ++changeCount;
    }
    changed.notify_all();
}

void backChannel::beginJob(const std::string& token) {
    const std::lock_guard lock(mutex);
    jobToken = token;
    current.jobEchoed = current.jobStarted = current.closingEchoed = current.jobEnded = false;
    current.pagesPrinted = 0;
    current.endPages = -1;
    current.endResult.clear();
    ++changeCount;
}

backChannel::state backChannel::snapshot() const {
    const std::lock_guard lock(mutex);
    return current;
}

std::uint64_t backChannel::changes() const {
    const std::lock_guard lock(mutex);
    return changeCount;
}

std::uint64_t backChannel::waitForChange(std::uint64_t seen, clock::time_point deadline) const {
    std::unique_lock lock(mutex);
    changed.wait_until(lock, deadline, [&] { return changeCount != seen; });
    return changeCount;
}

backChannelReader::backChannelReader(receiveFunction receive, std::shared_ptr<backChannel> channel)
    : thread([receive = std::move(receive), channel = std::move(channel)](std::stop_token stop) {
          std::array<std::uint8_t, 4096> buffer;
          while (!stop.stop_requested()) {
              const long got = receive(buffer);
              if (got < 0) break;
              if (got > 0) channel->take(std::span(buffer.data(), static_cast<std::size_t>(got)));
          }
          channel->close();
      }) {}

backChannelReader::receiveFunction backChannelReader::fromDescriptor(int fd) {
    return [fd](std::span<std::uint8_t> buffer) -> long {
        // A short poll, so that a stop is seen soon without a second descriptor.
        pollfd wanted{fd, POLLIN, 0};
        const int ready = poll(&wanted, 1, 100);
        if (ready < 0) return errno == EINTR ? 0 : -1;
        if (ready == 0) return 0;
        const ssize_t got = read(fd, buffer.data(), buffer.size());
        if (got < 0) return errno == EINTR || errno == EAGAIN ? 0 : -1;
        return got == 0 ? -1 : got;
    };
}

}  // namespace corvane
