// The streamed raster request a thread read last (rasterBodyEnd.cc).
#pragma once

#include <span>

namespace corvane {

// The first bytes (up to rasterStartSize) of the last PWG or Apple raster
// stream this thread opened from a client's request.
std::span<const unsigned char> requestRasterStart();

}  // namespace corvane
