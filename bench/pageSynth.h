// Deterministic synthetic page content for the benchmarks: rows of a Letter
// page at 600 dpi in the shapes a rasteriser produces for text, photos,
// blank sheets and a mix of text and photo.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace corvane::bench {

enum class pageKind { text, photo, blank, mixed };

std::optional<pageKind> parsePageKind(std::string_view name);
std::string_view pageKindName(pageKind kind);

// Pixel layout of the generated raster.
enum class pixelFormat {
    rgb24,  // 3 bytes per pixel, chunky, 0xFF = white
    black1  // 1 bit per pixel, most significant bit first, 1 = black
};

struct pageGeometry {
    std::uint32_t width = 5100;   // Letter at 600 dpi
    std::uint32_t height = 6600;
    pixelFormat format = pixelFormat::rgb24;

    std::size_t bytesPerLine() const {
        return format == pixelFormat::rgb24 ? std::size_t{width} * 3 : (std::size_t{width} + 7) / 8;
    }
};

// Fills rows of one page. Every row is a pure function of (seed, page index,
// kind, row index), so jobs are identical from run to run and rows can be
// produced in any order.
class pageSynth {
public:
    pageSynth(pageGeometry geometry, pageKind kind, std::uint64_t seed, std::uint32_t pageIndex);

    const pageGeometry& geometry() const { return geometry_; }

    // row.size() must be geometry().bytesPerLine().
    void fillRow(std::uint32_t y, std::span<std::uint8_t> row) const;

private:
    // Text: lines of glyph cells, black stems and bars on white.
    bool textInk(std::uint32_t x, std::uint32_t y) const;
    bool textRowHasInk(std::uint32_t y) const;
    void fillTextRow(std::uint32_t y, std::span<std::uint8_t> row) const;
    // Photo: smooth colour fields with per-pixel grain.
    void photoPixel(std::uint32_t x, std::uint32_t y, std::uint8_t rgb[3]) const;
    void fillPhotoRow(std::uint32_t y, std::uint32_t left, std::uint32_t right,
                      std::span<std::uint8_t> row) const;

    pageGeometry geometry_;
    pageKind kind_;
    std::uint64_t seed_;
};

}  // namespace corvane::bench
