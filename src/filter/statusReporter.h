// Status lines for the print system on standard error: INFO at each page
// start, PAGE with the copies the printer makes, and the media progress of
// long pages. Only written when the print system runs the filter, so that a
// bare run's standard error holds nothing but error lines.
#pragma once

#include <cstdint>

namespace corvane {

class errorLog;

class statusReporter {
public:
    statusReporter(const errorLog& log, bool enabled) : log(log), enabled(enabled) {}

    // Print systems put CUPS_SERVERBIN in the environment of their filters.
    static bool runByPrintSystem();

    void pageStarted(int page, int copies);
    // Reports progress in steps of 10 percent of the page's rows.
    void rowsDone(std::uint32_t rows, std::uint32_t height);

private:
    const errorLog& log;
    bool enabled;
    int lastPercent = 0;
};

}  // namespace corvane
