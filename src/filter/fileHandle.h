// Owning wrapper of a file descriptor.
#pragma once

#include <utility>

namespace corvane {

class fileHandle {
public:
    fileHandle() = default;
    explicit fileHandle(int fd) : fd(fd) {}
    ~fileHandle() { reset(); }
    fileHandle(fileHandle&& other) noexcept : fd(std::exchange(other.fd, -1)) {}
    fileHandle& operator=(fileHandle&& other) noexcept {
        if (this != &other) {
            reset();
            fd = std::exchange(other.fd, -1);
        }
        return *this;
    }
    fileHandle(const fileHandle&) = delete;
    fileHandle& operator=(const fileHandle&) = delete;

    bool isOpen() const { return fd >= 0; }
    int get() const { return fd; }
    // Gives up ownership without closing.
    int release() { return std::exchange(fd, -1); }
    void reset();

private:
    int fd = -1;
};

}  // namespace corvane
