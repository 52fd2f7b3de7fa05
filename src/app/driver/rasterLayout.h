// Which page rasters the driver takes: 600 dpi, 8 bits per colour, chunky
// sRGB (3 bytes a pixel) or gray (1 byte a pixel), no larger than the
// largest paper. Anything else is refused before its first row, so that no
// page is printed at the wrong size.
#pragma once

#include <cstdint>
#include <string>
#include <variant>

#include <cups/raster.h>

namespace corvane {

enum class pixelLayout { rgb24, gray8 };

struct acceptedRaster {
    pixelLayout layout;
    std::uint32_t width;
    std::uint32_t height;
};

// The page's layout, or the reason it is refused (a sentence for the job's
// state message).
std::variant<acceptedRaster, std::string> checkRaster(const cups_page_header2_t& header);

}  // namespace corvane
