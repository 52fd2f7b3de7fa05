// What the encoder needs to know of a page before its first row.
#pragma once

#include <cstdint>

namespace corvane {

struct pageGeometry {
    std::uint32_t width = 0;         // pixels in a row
    std::uint32_t height = 0;        // rows
    std::uint32_t bytesPerLine = 0;  // bytes in a row: 3 per pixel for 24-bit RGB
};

}  // namespace corvane
