// A connected pair of Unix stream sockets standing for a printer's
// connection, and writing all of a text to one end.
#pragma once

#include <gtest/gtest.h>

#include <string_view>
#include <sys/socket.h>
#include <unistd.h>

namespace corvane::test {

struct socketPair {
    socketPair() { EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0); }
    ~socketPair() {
        for (const int fd : fds)
            if (fd >= 0) close(fd);
    }
    socketPair(const socketPair&) = delete;
    socketPair& operator=(const socketPair&) = delete;
    // Takes one end away from the pair (it is no longer closed here).
    int release(int end) {
        const int fd = fds[end];
        fds[end] = -1;
        return fd;
    }
    int fds[2] = {-1, -1};
};

inline void writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t done = write(fd, text.data(), text.size());
        ASSERT_GT(done, 0);
        text.remove_prefix(static_cast<std::size_t>(done));
    }
}

}  // namespace corvane::test
