#include "app/driver/pageCopies.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace corvane {

pageSpool::pageSpool(const std::string& folder) {
    fd = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR)) {
        // A file system without unnamed files: a named one, unlinked at once.
        std::string path = folder + "/copies-XXXXXX";
        fd = mkostemp(path.data(), O_CLOEXEC);
        if (fd >= 0) unlink(path.c_str());
    }
    if (fd < 0) fail("cannot be made in the spool folder", errno);
}

pageSpool::~pageSpool() {
    if (fd >= 0) close(fd);
}

void pageSpool::fail(const char* what, int error) {
    if (failure.empty()) failure = std::string("The file for the copies ") + what + ": " + std::strerror(error) + ".";
}

void pageSpool::writeOut(std::span<const std::uint8_t> bytes) {
    while (failure.empty() && !bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return fail("cannot be written", written < 0 ? errno : ENOSPC);
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
}

void pageSpool::append(std::span<const std::uint8_t> bytes) {
    if (failure.empty()) buffer.write(bytes, writer());
}

bool pageSpool::sendTo(byteSink& sink) {
    buffer.drain(writer());
    std::vector<std::uint8_t> chunk(256 * 1024);
    for (off_t at = 0; failure.empty();) {
        const ssize_t got = pread(fd, chunk.data(), chunk.size(), at);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) fail("cannot be read", errno);
        if (got <= 0) break;
        sink.write(std::span(chunk).first(static_cast<std::size_t>(got)));
        at += got;
    }
    return failure.empty();
}

void recordingSink::write(std::span<const std::uint8_t> bytes) {
    if (recording) recording->append(bytes);
    printer.write(bytes);
}

void recordingSink::writePrinterOnly(std::span<const std::uint8_t> bytes) {
    if (recording) recording->append(bytes);
    printer.writePrinterOnly(bytes);
}

std::span<std::uint8_t> recordingSink::reserve(std::size_t size) {
    room = printer.reserve(size);
    return room;
}

void recordingSink::commit(std::size_t size) {
    if (recording) recording->append(room.first(size));
    printer.commit(size);
}

}  // namespace corvane
