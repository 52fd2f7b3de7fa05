#include "filter/rasterInput.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <unistd.h>

#include "filter/jobControl.h"

namespace corvane {

rasterInput::rasterInput(int fd) : fd(fd), buffer(bufferSize) {
    stream = cupsRasterOpenIO(readBytes, this, CUPS_RASTER_READ);
}

rasterInput::~rasterInput() {
    // Closes the reader only; the descriptor stays the caller's.
    if (stream) cupsRasterClose(stream);
}

ssize_t rasterInput::readBytes(void* context, unsigned char* buffer, std::size_t length) {
    return static_cast<rasterInput*>(context)->read(buffer, length);
}

ssize_t rasterInput::read(unsigned char* destination, std::size_t length) {
    if (begin == end) {
        // Large requests go straight to the caller; small ones refill the buffer.
        if (length >= buffer.size()) return readDescriptor(destination, length);
        const ssize_t got = readDescriptor(buffer.data(), buffer.size());
        if (got <= 0) return got;
        begin = 0;
        end = static_cast<std::size_t>(got);
    }
    const std::size_t served = std::min(length, end - begin);
    std::memcpy(destination, buffer.data() + begin, served);
    begin += served;
    return static_cast<ssize_t>(served);
}

// libcups's own reader retries a read that a signal interrupted, so a
// cancelled job would sit waiting for input that may never come; this one
// gives up once SIGTERM has been raised. A descriptor in non-blocking mode
// is waited on instead of spun on.
ssize_t rasterInput::readDescriptor(unsigned char* destination, std::size_t length) {
    while (!cancelSignal::raised()) {
        const ssize_t got = ::read(fd, destination, length);
        if (got >= 0) return got;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            pollfd readable{fd, POLLIN, 0};
            ::poll(&readable, 1, -1);
        } else if (errno != EINTR) {
            return -1;
        }
    }
    return -1;
}

}  // namespace corvane
