// Ghostscript's options for a PDF job, whatever device draws the pages:
// 600 dpi, every page fitted to the job's paper, the job's page range, and
// the file last.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace corvane {

struct renderRequest {
    std::string file;
    int widthPwg = 0;   // paper size in hundredths of a millimetre
    int lengthPwg = 0;
    bool gray = false;  // 8-bit gray instead of 24-bit RGB
    std::optional<unsigned> firstPage;  // page range, when the job has one
    std::optional<unsigned> lastPage;
};

std::vector<std::string> ghostscriptArguments(const renderRequest& request);

}  // namespace corvane
