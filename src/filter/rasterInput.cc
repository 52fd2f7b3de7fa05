#include "filter/rasterInput.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include "filter/jobControl.h"

namespace corvane {

rasterInput::rasterInput(int fd) : fd(fd), buffer(bufferSize) {
    struct stat input {};
    int ends[2];
    if (fstat(fd, &input) == 0 && S_ISFIFO(input.st_mode) && pipe2(ends, O_CLOEXEC) == 0) {
        ownPipeOut = fileHandle(ends[0]);
        ownPipeIn = fileHandle(ends[1]);
        // Room for 1 MiB in the input pipe (kernel memory, not ours): the
        // writer fills it while we work instead of waiting at every 64 KiB.
        // The system may refuse; then the pipe keeps its size.
        fcntl(fd, F_SETPIPE_SZ, 1 << 20);
    }
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
        // The request is read straight into its place and the buffer is
        // refilled behind it by the same call, which spares copying the
        // first row of every read.
        iovec pieces[2] = {{destination, length}, {buffer.data(), buffer.size()}};
        const ssize_t got =
            readDescriptor(std::span(pieces).first(length >= buffer.size() ? 1 : 2));
        if (got <= static_cast<ssize_t>(length)) return got;
        begin = 0;
        end = static_cast<std::size_t>(got) - length;
        return static_cast<ssize_t>(length);
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
ssize_t rasterInput::readDescriptor(std::span<const iovec> pieces) {
    while (!cancelSignal::raised()) {
        const ssize_t got = readOnce(pieces);
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

ssize_t rasterInput::readOnce(std::span<const iovec> pieces) {
    if (ownPipeIn.isOpen()) {
        std::size_t wanted = 0;
        for (const auto& piece : pieces) wanted += piece.iov_len;
        const ssize_t moved = splice(fd, nullptr, ownPipeIn.get(), nullptr, wanted, SPLICE_F_MOVE);
        if (moved > 0) {
            // Everything moved is in our pipe: one read takes it all.
            return ::readv(ownPipeOut.get(), pieces.data(), static_cast<int>(pieces.size()));
        }
        if (moved == 0 || errno == EAGAIN || errno == EINTR) return moved;
        // A pipe the system cannot splice from: read it directly from now on.
        ownPipeIn = fileHandle();
        ownPipeOut = fileHandle();
    }
    return ::readv(fd, pieces.data(), static_cast<int>(pieces.size()));
}

}  // namespace corvane
