#include "app/devices/uniqueFile.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace corvane {
namespace {

// Enough for thousands of jobs of one name; beyond it the folder wants
// clearing, and the job waits for the printer like any unwritable device.
constexpr unsigned maxAttempts = 100000;

}  // namespace

std::string outputFileName(std::string_view jobName, std::string_view extension, unsigned attempt) {
    jobName = jobName.substr(0, 200);
    std::string name;
    if (jobName.empty()) name = "Untitled";
    else if (jobName.front() == '.') name += '_';
    for (const char c : jobName) {
        const auto byte = static_cast<unsigned char>(c);
        name += (byte < ' ' || byte >= 0x7F || c == '/') ? '_' : c;
    }
    if (attempt > 1) {
        name += '-';
        name += std::to_string(attempt);
    }
    if (!extension.empty()) {
        name += '.';
        name.append(extension);
    }
    return name;
}

int createUniqueFile(const std::string& folder, std::string_view jobName, std::string_view extension,
                     std::string& path) {
    for (unsigned attempt = 1; attempt <= maxAttempts; ++attempt) {
        path = folder + "/" + outputFileName(jobName, extension, attempt);
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

}  // namespace corvane
