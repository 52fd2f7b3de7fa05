// Messages for the print system on standard error: "ERROR: " lines and, when
// the print system runs the filter, status lines.
#pragma once

#include <string_view>

namespace corvane {

class errorLog {
public:
    // fd < 0 discards every message (in-process runs of the job logic).
    explicit errorLog(int fd) : fd(fd) {}

    // Writes the text whole and at once; messages are never buffered, so a
    // line reaches the print system even if the process is killed next.
    void write(std::string_view text) const;

private:
    int fd;
};

}  // namespace corvane
