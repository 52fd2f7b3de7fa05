// Renders a decoded page raster to a PNG file.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "pclinspect/jobDecoder.h"

namespace pclinspect {

// The page as 8-bit RGB, reduced by `scale` in both directions (each output
// pixel is the mean of a scale x scale block). 24-bit rasters are taken as
// RGB; 1-bit rasters as monochrome with 1 meaning black.
struct RgbImage {
    unsigned width = 0, height = 0;
    std::vector<std::uint8_t> pixels;  // width * height * 3
};
RgbImage renderPage(const PageRaster& raster, unsigned scale);

// Writes the image through libpng. Returns an empty string, or why it failed.
std::string writePng(const RgbImage& image, const std::string& path);

}  // namespace pclinspect
