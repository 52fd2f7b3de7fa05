#include "filter/statusReporter.h"

#include <cstdio>
#include <cstdlib>

#include "filter/errorLog.h"

namespace corvane {

bool statusReporter::runByPrintSystem() { return std::getenv("CUPS_SERVERBIN") != nullptr; }

void statusReporter::pageStarted(int page, int copies) {
    lastPercent = 0;
    if (!enabled) return;
    char line[96];
    std::snprintf(line, sizeof line, "INFO: Printing page %d\n", page);
    log.write(line);
    std::snprintf(line, sizeof line, "PAGE: %d %d\n", page, copies);
    log.write(line);
}

void statusReporter::rowsDone(std::uint32_t rows, std::uint32_t height) {
    if (!enabled || height == 0) return;
    const int percent = static_cast<int>(static_cast<std::uint64_t>(rows) * 100 / height);
    if (percent < lastPercent + 10) return;
    lastPercent = percent - percent % 10;
    char line[64];
    std::snprintf(line, sizeof line, "ATTR: job-media-progress=%d\n", lastPercent);
    log.write(line);
}

}  // namespace corvane
