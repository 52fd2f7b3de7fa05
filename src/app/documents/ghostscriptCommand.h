// Ghostscript's options for a PDF job, whatever device draws the pages:
// 600 dpi, every page fitted to the job's paper.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/documents/pageSelection.h"

namespace corvane {

struct renderRequest {
    std::string file;
    int widthPwg = 0;   // paper size in hundredths of a millimetre
    int lengthPwg = 0;
    bool gray = false;  // 8-bit gray instead of 24-bit RGB
    // The job's page in pixels: every rendered page is encoded at this size.
    std::uint32_t widthPixels = 0, heightPixels = 0;
    std::optional<unsigned> firstPage;  // page range, when the job has one
    std::optional<unsigned> lastPage;
};

// The job's pages.
pageSelection jobPages(const renderRequest& request);

// Everything but the pages and the document: what a renderer is started
// with before it is given the file.
std::vector<std::string> ghostscriptOptions(const renderRequest& request);
// Ghostscript alone on the request's whole page range and document.
std::vector<std::string> ghostscriptArguments(const renderRequest& request);

}  // namespace corvane
