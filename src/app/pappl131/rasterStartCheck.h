// Why a streamed PWG raster document cannot be printed, told from its first
// bytes. PAPPL (1.3.1 and 1.4.11 alike) reads such a stream itself and ends
// the job with its generic "Job aborted." when the stream or its first page
// header is unusable, before any of the driver's code runs; the app keeps
// the stream's first bytes and says what was wrong instead.
#pragma once

#include <cstddef>
#include <span>
#include <string>

namespace corvane {

// The sync word and a CUPS/PWG page header.
inline constexpr std::size_t rasterStartSize = 4 + 1796;

// The problem with a stream that begins with these bytes (at most
// rasterStartSize of them), or an empty string when its first page header
// looks printable.
std::string rasterStartProblem(std::span<const unsigned char> start);

}  // namespace corvane
