#include "app/documents/pageFit.h"

#include <algorithm>

namespace corvane {

void fitRow(std::span<const std::uint8_t> source, std::span<std::uint8_t> target) {
    const std::size_t kept = std::min(source.size(), target.size());
    std::copy_n(source.begin(), kept, target.begin());
    std::fill(target.begin() + static_cast<std::ptrdiff_t>(kept), target.end(), std::uint8_t{0xFF});
}

void expandGrayRow(std::span<const std::uint8_t> gray, std::span<std::uint8_t> rgb) {
    const std::size_t pixels = std::min(gray.size(), rgb.size() / 3);
    for (std::size_t x = 0; x < pixels; ++x) rgb[3 * x] = rgb[3 * x + 1] = rgb[3 * x + 2] = gray[x];
}

}  // namespace corvane
