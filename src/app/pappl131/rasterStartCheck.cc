#include "app/pappl131/rasterStartCheck.h"

#include <cstdint>
#include <string_view>

namespace corvane {
namespace {

// Offsets of the header fields after the sync word.
constexpr std::size_t xResolutionAt = 276, yResolutionAt = 280, widthAt = 372, heightAt = 376,
                      bitsPerColorAt = 384, bitsPerPixelAt = 388, bytesPerLineAt = 392, colorOrderAt = 396;

std::string_view syncOf(std::span<const unsigned char> start) {
    return {reinterpret_cast<const char*>(start.data()), 4};
}

std::uint32_t field(std::span<const unsigned char> start, std::size_t offset, bool bigEndian) {
    const unsigned char* at = start.data() + 4 + offset;
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value = value << 8 | at[bigEndian ? i : 3 - i];
    return value;
}

std::string invalid(const std::string& what) { return "The raster page header is not valid: " + what + "."; }

}  // namespace

std::string rasterStartProblem(std::span<const unsigned char> start) {
    if (start.empty()) return "The document is empty.";
    if (start.size() < 4) return "The document ends before its raster data begins.";
    const std::string_view sync = syncOf(start);
    // Apple raster has a header of its own; libcups and PAPPL judge it.
    if (sync == "UNIR") return {};
    const bool bigEndian = sync == "RaS2" || sync == "RaS3" || sync == "RaSt";
    if (!bigEndian && sync != "2SaR" && sync != "3SaR" && sync != "tSaR")
        return "The document is not PWG or Apple raster (it does not begin with a raster sync word).";
    if (start.size() < rasterStartSize) return "The document ends inside its first page header.";

    const auto get = [&](std::size_t offset) { return field(start, offset, bigEndian); };
    const std::uint64_t width = get(widthAt), height = get(heightAt), bitsPerColor = get(bitsPerColorAt),
                        bitsPerPixel = get(bitsPerPixelAt), bytesPerLine = get(bytesPerLineAt);
    if (width == 0 || height == 0)
        return invalid("the page is " + std::to_string(width) + " x " + std::to_string(height) + " pixels");
    if (bitsPerColor != 1 && bitsPerColor != 8) return invalid(std::to_string(bitsPerColor) + " bits per colour");
    if (bitsPerPixel == 0 || bitsPerPixel > 240 || bitsPerPixel % bitsPerColor != 0)
        return invalid(std::to_string(bitsPerPixel) + " bits per pixel");
    if (get(colorOrderAt) != 0) return invalid("the colours are not interleaved pixel by pixel");
    if (bytesPerLine != (width * bitsPerPixel + 7) / 8)
        return invalid(std::to_string(bytesPerLine) + " bytes per line do not match " + std::to_string(width) +
                       " pixels of " + std::to_string(bitsPerPixel) + " bits");
    if (get(xResolutionAt) == 0 || get(yResolutionAt) == 0) return invalid("no resolution");
    return {};
}

}  // namespace corvane
