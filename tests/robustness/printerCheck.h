// Checks of a printer stream with the independent inspector (pclinspect).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "pclinspect/jobDecoder.h"

namespace corvane::test {

// Runs the built `pclinspect --check` on the stream; returns its report
// ("no problems" when well formed) followed by its exit status.
struct inspectorVerdict {
    int exitStatus = -1;
    std::string report;
};
inspectorVerdict inspectorCheck(std::string_view stream);

// Decodes the stream without materialising rasters (pages may be declared
// with billions of rows).
pclinspect::Job decodeLight(std::string_view stream);

// The problems that break the frame of the job: anything but rows that do
// not fit the declared raster (width or height), which a page whose header
// disagrees with its rows legitimately produces.
std::vector<std::string> framingProblems(const pclinspect::Job& job);

// Every page started is ended; reset and UEL close the job.
void expectWellFramed(std::string_view stream, std::size_t pages);

// Lines of a text, split at line feeds.
std::vector<std::string> lines(std::string_view text);

}  // namespace corvane::test
