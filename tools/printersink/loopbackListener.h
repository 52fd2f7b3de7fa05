// The printer's side of a socket:// device: a TCP socket listening on
// 127.0.0.1. Shared by the printer stand-in (printersink) and the app
// benchmark's byte-counting printer.
#pragma once

#include <netinet/in.h>

#include <utility>

namespace printersink {

// Owns one descriptor and closes it.
class ownedDescriptor {
public:
    explicit ownedDescriptor(int fd = -1) : fd(fd) {}
    ~ownedDescriptor() { reset(); }
    ownedDescriptor(ownedDescriptor&& other) noexcept : fd(std::exchange(other.fd, -1)) {}
    ownedDescriptor& operator=(ownedDescriptor&& other) noexcept {
        if (this != &other) {
            reset();
            fd = std::exchange(other.fd, -1);
        }
        return *this;
    }
    int get() const { return fd; }
    bool valid() const { return fd >= 0; }
    void reset();

private:
    int fd;
};

// Listens on 127.0.0.1:port, where port 0 lets the system pick a free one;
// port is set to the port bound. An invalid handle when that fails.
ownedDescriptor listenOnLoopback(in_port_t& port);

}  // namespace printersink
