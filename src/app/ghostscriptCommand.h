// The Ghostscript command line that renders a PDF file as a stream of
// uncompressed CUPS raster pages on standard output: 600 dpi, 8 bits per
// colour, sRGB or gray, every page fitted to the job's paper.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace corvane {

struct renderRequest {
    std::string file;
    int widthPwg = 0;   // paper size in hundredths of a millimetre
    int lengthPwg = 0;
    bool gray = false;
    std::optional<unsigned> firstPage;  // page range, when the job has one
    std::optional<unsigned> lastPage;
};

std::vector<std::string> ghostscriptCommand(const renderRequest& request);

}  // namespace corvane
