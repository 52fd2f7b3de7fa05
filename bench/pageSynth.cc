#include "pageSynth.h"

#include <algorithm>
#include <array>

namespace corvane::bench {
namespace {

// Text layout in device pixels (600 dpi): half-inch margins, 12 pt lines,
// glyph cells of about 10 pt type.
constexpr std::uint32_t margin = 300;
constexpr std::uint32_t linePitch = 100;
constexpr std::uint32_t inkTop = 20;        // first ink row inside a line
constexpr std::uint32_t ascenderRows = 12;  // rows above the x-height
constexpr std::uint32_t xHeightRows = 30;
constexpr std::uint32_t cellWidth = 34;

std::uint64_t mix(std::uint64_t v) {
    v += 0x9E3779B97F4A7C15ull;
    v = (v ^ (v >> 30)) * 0xBF58476D1CE4E5B9ull;
    v = (v ^ (v >> 27)) * 0x94D049BB133111EBull;
    return v ^ (v >> 31);
}

std::uint64_t hash3(std::uint64_t seed, std::uint64_t a, std::uint64_t b) {
    return mix(seed ^ mix(a * 0x100000001B3ull ^ mix(b)));
}

// Triangle wave of period 512, range 0..255.
std::uint32_t triangle(std::uint32_t v) {
    v &= 511;
    return v < 256 ? v : 511 - v;
}

constexpr std::array<std::uint8_t, 16> bayer4 = {0,  8,  2,  10, 12, 4, 14, 6,
                                                 3,  11, 1,  9,  15, 7, 13, 5};

}  // namespace

std::optional<pageKind> parsePageKind(std::string_view name) {
    if (name == "text") return pageKind::text;
    if (name == "photo") return pageKind::photo;
    if (name == "blank") return pageKind::blank;
    if (name == "mixed") return pageKind::mixed;
    return std::nullopt;
}

std::string_view pageKindName(pageKind kind) {
    switch (kind) {
        case pageKind::text: return "text";
        case pageKind::photo: return "photo";
        case pageKind::blank: return "blank";
        case pageKind::mixed: return "mixed";
    }
    return "?";
}

pageSynth::pageSynth(pageGeometry geometry, pageKind kind, std::uint64_t seed,
                     std::uint32_t pageIndex)
    : geometry_(geometry), kind_(kind), seed_(mix(seed) ^ mix(pageIndex + 0x51ull)) {}

bool pageSynth::textRowHasInk(std::uint32_t y) const {
    if (y < margin || y + margin >= geometry_.height) return false;
    const std::uint32_t line = (y - margin) / linePitch;
    const std::uint32_t r = (y - margin) % linePitch;
    if (r < inkTop || r >= inkTop + ascenderRows + xHeightRows) return false;
    // Every eighth line or so is the gap between paragraphs.
    return hash3(seed_, line, 0xA11) % 8 != 0;
}

// Ink of one glyph cell at column cx (0..cellWidth) and row r within the ink
// band (0..ascenderRows + xHeightRows): stems, bars and ascenders chosen by
// the glyph's code, the way a serif-less font at 600 dpi looks.
static bool glyphInk(std::uint32_t glyph, std::uint32_t cx, std::uint32_t r) {
    const bool leftStem = (glyph & 1) || !(glyph & 2);
    const bool inLeft = cx >= 4 && cx < 10;
    const bool inRight = cx >= 22 && cx < 28;
    const bool inMiddle = cx >= 13 && cx < 19;
    if (r < ascenderRows) return (glyph & 8) && leftStem && inLeft;
    const std::uint32_t xr = r - ascenderRows;
    if ((leftStem && inLeft) || ((glyph & 2) && inRight) || ((glyph & 4) && inMiddle)) return true;
    const bool inBarColumns = cx >= 4 && cx < 28;
    if (!inBarColumns) return false;
    if ((glyph & 16) && xr < 5) return true;
    if (glyph % 3 == 0 && xr >= 13 && xr < 18) return true;
    if ((glyph & 32) && xr >= 25) return true;
    return false;
}

bool pageSynth::textInk(std::uint32_t x, std::uint32_t y) const {
    if (!textRowHasInk(y) || x < margin || x + margin >= geometry_.width) return false;
    const std::uint32_t line = (y - margin) / linePitch;
    const std::uint32_t r = (y - margin) % linePitch - inkTop;
    // Ragged right edge: lines end between 0 and 1.5 inches before the margin.
    const std::uint32_t lineEnd = geometry_.width - margin - hash3(seed_, line, 0xE0D) % 900;
    if (x >= lineEnd) return false;
    const std::uint32_t cell = (x - margin) / cellWidth;
    const std::uint64_t code = hash3(seed_, line, cell);
    if (code % 6 == 0) return false;  // space between words
    return glyphInk(static_cast<std::uint32_t>(code >> 8) & 63, (x - margin) % cellWidth, r);
}

void pageSynth::fillTextRow(std::uint32_t y, std::span<std::uint8_t> row) const {
    const bool rgb = geometry_.format == pixelFormat::rgb24;
    std::fill(row.begin(), row.end(), rgb ? 0xFF : 0x00);
    if (!textRowHasInk(y)) return;
    const std::uint32_t right = geometry_.width > margin ? geometry_.width - margin : 0;
    for (std::uint32_t x = margin; x < right; ++x) {
        if (!textInk(x, y)) continue;
        if (rgb) {
            std::fill_n(row.begin() + std::size_t{x} * 3, 3, std::uint8_t{0});
        } else {
            row[x / 8] |= static_cast<std::uint8_t>(0x80u >> (x % 8));
        }
    }
}

void pageSynth::photoPixel(std::uint32_t x, std::uint32_t y, std::uint8_t rgb[3]) const {
    const auto s = static_cast<std::uint32_t>(seed_);
    const std::uint64_t grain = mix(seed_ ^ (std::uint64_t{y} << 32 | x));
    const std::uint32_t base[3] = {
        triangle(x / 3 + y / 5 + s),
        triangle(x / 7 + y / 2 + (s >> 9)),
        triangle((x + y) / 4 + (s >> 18)),
    };
    for (int c = 0; c < 3; ++c) {
        const int v = static_cast<int>(base[c] * 7 / 8 + 8) + static_cast<int>((grain >> (c * 8)) & 15) - 8;
        rgb[c] = static_cast<std::uint8_t>(std::clamp(v, 0, 254));
    }
}

void pageSynth::fillPhotoRow(std::uint32_t y, std::uint32_t left, std::uint32_t right,
                             std::span<std::uint8_t> row) const {
    const bool rgb = geometry_.format == pixelFormat::rgb24;
    std::fill(row.begin(), row.end(), rgb ? 0xFF : 0x00);
    std::uint8_t px[3];
    for (std::uint32_t x = left; x < right; ++x) {
        photoPixel(x, y, px);
        if (rgb) {
            std::copy_n(px, 3, row.begin() + std::size_t{x} * 3);
        } else {
            // Ordered dither of the luminance, as a 1-bit rasteriser would.
            const std::uint32_t luma = (px[0] * 77u + px[1] * 150u + px[2] * 29u) >> 8;
            if (luma < bayer4[(y % 4) * 4 + x % 4] * 16u + 8u) {
                row[x / 8] |= static_cast<std::uint8_t>(0x80u >> (x % 8));
            }
        }
    }
}

void pageSynth::fillRow(std::uint32_t y, std::span<std::uint8_t> row) const {
    const bool rgb = geometry_.format == pixelFormat::rgb24;
    switch (kind_) {
        case pageKind::blank:
            std::fill(row.begin(), row.end(), rgb ? 0xFF : 0x00);
            return;
        case pageKind::text:
            fillTextRow(y, row);
            return;
        case pageKind::photo:
            fillPhotoRow(y, 0, geometry_.width, row);
            return;
        case pageKind::mixed:
            // Upper half text, lower half a photo inside the margins.
            if (y < geometry_.height / 2) {
                fillTextRow(y, row);
            } else if (y + margin < geometry_.height && geometry_.width > 2 * margin) {
                fillPhotoRow(y, margin, geometry_.width - margin, row);
            } else {
                std::fill(row.begin(), row.end(), rgb ? 0xFF : 0x00);
            }
            return;
    }
}

}  // namespace corvane::bench
