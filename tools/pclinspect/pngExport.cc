#include "pclinspect/pngExport.h"

#include <png.h>

#include <algorithm>
#include <cstring>

namespace pclinspect {
namespace {

std::array<unsigned, 3> pixelAt(const PageRaster& r, const std::vector<std::uint8_t>& row, unsigned x) {
    if (r.bitsPerPixel == 24) {
        const std::size_t i = std::size_t{x} * 3;
        return {row[i], row[i + 1], row[i + 2]};
    }
    if (r.bitsPerPixel == 8) return {row[x], row[x], row[x]};
    // Monochrome and anything else: the first bit of the pixel, set means ink.
    const std::size_t bit = std::size_t{x} * r.bitsPerPixel;
    const bool ink = (row[bit / 8] >> (7 - bit % 8)) & 1u;
    const unsigned v = ink ? 0 : 255;
    return {v, v, v};
}

}  // namespace

RgbImage renderPage(const PageRaster& raster, unsigned scale) {
    scale = std::max(scale, 1u);
    RgbImage image;
    image.width = (raster.width + scale - 1) / scale;
    image.height = (raster.height + scale - 1) / scale;
    image.pixels.assign(std::size_t{image.width} * image.height * 3, 0);
    std::vector<unsigned> sums(std::size_t{image.width} * 3);
    std::vector<unsigned> counts(image.width);
    for (unsigned oy = 0; oy < image.height; ++oy) {
        std::fill(sums.begin(), sums.end(), 0);
        std::fill(counts.begin(), counts.end(), 0);
        for (unsigned y = oy * scale; y < std::min(raster.height, (oy + 1) * scale); ++y) {
            const auto& row = raster.rows[y];
            for (unsigned x = 0; x < raster.width; ++x) {
                const auto px = pixelAt(raster, row, x);
                const unsigned ox = x / scale;
                for (int c = 0; c < 3; ++c) sums[std::size_t{ox} * 3 + c] += px[c];
                ++counts[ox];
            }
        }
        std::uint8_t* out = image.pixels.data() + std::size_t{oy} * image.width * 3;
        for (unsigned ox = 0; ox < image.width; ++ox)
            for (int c = 0; c < 3; ++c)
                out[std::size_t{ox} * 3 + c] =
                    static_cast<std::uint8_t>(sums[std::size_t{ox} * 3 + c] / std::max(counts[ox], 1u));
    }
    return image;
}

std::string writePng(const RgbImage& image, const std::string& path) {
    if (image.width == 0 || image.height == 0) return "the page has an empty raster";
    // The simplified libpng API: no setjmp, the library cleans up after itself.
    png_image info;
    std::memset(&info, 0, sizeof info);
    info.version = PNG_IMAGE_VERSION;
    info.width = image.width;
    info.height = image.height;
    info.format = PNG_FORMAT_RGB;
    const int ok = png_image_write_to_file(&info, path.c_str(), 0, image.pixels.data(), 0, nullptr);
    const std::string message = ok ? std::string() : std::string(info.message);
    png_image_free(&info);
    return message;
}

}  // namespace pclinspect
