// Captures what the filter's objects write, for tests on their bytes.
#pragma once

#include <string>
#include <sys/mman.h>
#include <unistd.h>

#include "filter/errorLog.h"
#include "filter/supportFunctions.h"
#include "filter/printerStream.h"

namespace corvane::test {

// An in-memory file that collects bytes written to its descriptor.
class memoryFile {
public:
    memoryFile() : fd(memfd_create("capture", 0)) {}
    ~memoryFile() { close(fd); }
    memoryFile(const memoryFile&) = delete;
    memoryFile& operator=(const memoryFile&) = delete;
    int descriptor() const { return fd; }
    // Everything written so far, consumed: the next call returns only newer bytes.
    std::string take() {
        std::string bytes;
        const off_t end = lseek(fd, 0, SEEK_END);
        bytes.resize(static_cast<std::size_t>(end));
        if (end > 0) pread(fd, bytes.data(), bytes.size(), 0);
        ftruncate(fd, 0);
        lseek(fd, 0, SEEK_SET);
        return bytes;
    }

private:
    int fd;
};

// A printer stream, error log and (diagnostics off) support object whose
// output tests can read back.
struct capturedJob {
    memoryFile printer;
    memoryFile messages;
    errorLog errors{messages.descriptor()};
    supportFunctions diagnostics{"/nonexistent-corvane-dir", errors};
    printerStream output{printer.descriptor(), nullptr};

    std::string printed() {
        output.flush();
        return printer.take();
    }
    std::string errorText() { return messages.take(); }
};

}  // namespace corvane::test
