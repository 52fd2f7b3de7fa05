#include "filter/diagnosticDirectory.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane {

void fileHandle::reset() {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

std::string temporaryDirectory() {
    const char* fromEnvironment = std::getenv("TMPDIR");
    std::string path = (fromEnvironment && *fromEnvironment) ? fromEnvironment : "/tmp";
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

bool writeAll(int fd, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return true;
}

diagnosticDirectory::diagnosticDirectory(const std::string& path)
    : directory(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}

bool diagnosticDirectory::exists(const char* name) const {
    struct stat status {};
    return directory.isOpen() && ::fstatat(directory.get(), name, &status, 0) == 0;
}

fileHandle diagnosticDirectory::createFresh(const char* name) const {
    if (!directory.isOpen()) return {};
    // Removing first means a planted symlink or hard link is dropped, not
    // written through; a planted directory survives and makes the create fail.
    ::unlinkat(directory.get(), name, 0);
    return fileHandle(::openat(directory.get(), name,
                               O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
}

diagnosticDirectory::identity diagnosticDirectory::identify(const fileHandle& file) {
    struct stat status {};
    if (!file.isOpen() || ::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)) return {};
    return {status.st_dev, status.st_ino, true};
}

bool diagnosticDirectory::append(const char* name, const identity& expected,
                                 std::span<const std::uint8_t> bytes) const {
    if (!directory.isOpen() || !expected.valid) return false;
    // O_NONBLOCK keeps a FIFO planted at the name from blocking the open.
    const fileHandle file(::openat(directory.get(), name,
                                   O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    const identity found = identify(file);
    if (!found.valid || found.device != expected.device || found.inode != expected.inode) return false;
    return writeAll(file.get(), bytes);
}

}  // namespace corvane
