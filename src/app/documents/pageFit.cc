#include "app/documents/pageFit.h"

#include <algorithm>

namespace corvane {

void fitRow(std::span<const std::uint8_t> source, std::span<std::uint8_t> target) {
    const std::size_t kept = std::min(source.size(), target.size());
    std::copy_n(source.begin(), kept, target.begin());
    std::fill(target.begin() + static_cast<std::ptrdiff_t>(kept), target.end(), std::uint8_t{0xFF});
}

}  // namespace corvane
