#include "app/driver/rasterLayout.h"

#include <cstdio>
#include <cstring>

namespace corvane {
namespace {

constexpr unsigned resolution = 600;
// The custom size range ends at 12 x 18 inches; a rasterizer may round a
// page up by a pixel or two.
constexpr std::uint32_t maxWidth = 12 * resolution + 8;
constexpr std::uint32_t maxHeight = 18 * resolution + 8;

std::string sentence(const char* format, unsigned a, unsigned b) {
    char text[160];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

// An enum field as the stream carries it: any number, which the enum type
// itself may not hold (loading such a value is undefined).
template <typename Enum>
unsigned rawValue(const Enum& field) {
    static_assert(sizeof(Enum) == sizeof(unsigned));
    unsigned value;
    std::memcpy(&value, &field, sizeof value);
    return value;
}

}  // namespace

std::variant<acceptedRaster, std::string> checkRaster(const cups_page_header2_t& header) {
    if (header.HWResolution[0] != resolution || header.HWResolution[1] != resolution)
        return sentence("Unsupported raster resolution %ux%u dpi: the printer takes 600 dpi only.",
                        header.HWResolution[0], header.HWResolution[1]);

    pixelLayout layout;
    const unsigned colourSpace = rawValue(header.cupsColorSpace);
    const bool chunky8 = header.cupsBitsPerColor == 8 && rawValue(header.cupsColorOrder) == CUPS_ORDER_CHUNKED;
    if (chunky8 && header.cupsBitsPerPixel == 24 && (colourSpace == CUPS_CSPACE_SRGB || colourSpace == CUPS_CSPACE_RGB))
        layout = pixelLayout::rgb24;
    else if (chunky8 && header.cupsBitsPerPixel == 8 && (colourSpace == CUPS_CSPACE_SW || colourSpace == CUPS_CSPACE_W))
        layout = pixelLayout::gray8;
    else
        return sentence("Unsupported raster colour layout (colour space %u, %u bits a pixel): "
                        "the printer takes 8-bit sRGB or gray.",
                        colourSpace, header.cupsBitsPerPixel);

    const std::uint32_t bytesPerPixel = layout == pixelLayout::rgb24 ? 3 : 1;
    if (header.cupsWidth == 0 || header.cupsHeight == 0 || header.cupsWidth > maxWidth ||
        header.cupsHeight > maxHeight)
        return sentence("Unsupported raster page size %ux%u pixels.", header.cupsWidth,
                        header.cupsHeight);
    if (header.cupsBytesPerLine != header.cupsWidth * bytesPerPixel)
        return sentence("Bad raster page: %u bytes a row for %u pixels.", header.cupsBytesPerLine,
                        header.cupsWidth);
    return acceptedRaster{layout, header.cupsWidth, header.cupsHeight};
}

}  // namespace corvane
