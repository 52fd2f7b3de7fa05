#include "raster/rasterCompress.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstring>

namespace corvane {
namespace {

std::uint64_t load64(const std::uint8_t* bytes) {
    std::uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}

// Index of the first byte in [from, end) where the rows differ, or end.
// Compares eight bytes at a time: long unchanged stretches are the common
// case on text pages.
std::size_t firstDifference(const std::uint8_t* seed, const std::uint8_t* target,
                            std::size_t from, std::size_t end) {
    std::size_t i = from;
    for (; i + 8 <= end; i += 8) {
        const std::uint64_t diff = load64(seed + i) ^ load64(target + i);
        if (diff != 0) {
            const int bit = std::endian::native == std::endian::little ? std::countr_zero(diff)
                                                                       : std::countl_zero(diff);
            return i + static_cast<std::size_t>(bit / 8);
        }
    }
    while (i < end && seed[i] == target[i]) ++i;
    return i;
}

}  // namespace

void rasterCompress::deltaCompress(std::span<const std::uint8_t> seedData,
                                   std::span<const std::uint8_t> targetData, int dataLength,
                                   std::span<std::uint8_t> dataBuffer,
                                   std::size_t& finalDataSize) const {
    finalDataSize = 0;
    if (dataLength <= 0) return;
    const auto n = static_cast<std::size_t>(dataLength);
    assert(seedData.size() >= n && targetData.size() >= n);
    assert(dataBuffer.size() >= maxCompressedSize(n));

    const std::uint8_t* seed = seedData.data();
    const std::uint8_t* target = targetData.data();
    std::uint8_t* out = dataBuffer.data();
    std::size_t written = 0;
    std::size_t position = 0;

    // Invariant: [0, position) is encoded; the next command's offset counts
    // from position.
    while (position < n) {
        const std::size_t changeStart = firstDifference(seed, target, position, n);
        if (changeStart == n) break;  // unchanged bytes at the end need no command
        const std::size_t offset = changeStart - position;
        const std::size_t limit = std::min(changeStart + 8, n);
        std::size_t changeEnd = changeStart + 1;
        while (changeEnd < limit && seed[changeEnd] != target[changeEnd]) ++changeEnd;
        const std::size_t count = changeEnd - changeStart;

        out[written++] =
            static_cast<std::uint8_t>(((count - 1) << 5) | std::min<std::size_t>(offset, 31));
        if (offset >= 31) {
            // 31 plus the sum of the extension bytes; 0xFF means "more follow".
            const std::size_t extension = offset - 31;
            const std::size_t fullBytes = extension / 255;
            std::memset(out + written, 0xFF, fullBytes);
            written += fullBytes;
            out[written++] = static_cast<std::uint8_t>(extension % 255);
        }
        std::memcpy(out + written, target + changeStart, count);
        written += count;
        position = changeEnd;
    }
    finalDataSize = written;
}

}  // namespace corvane
