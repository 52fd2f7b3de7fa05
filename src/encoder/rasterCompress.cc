#include "encoder/rasterCompress.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace corvane {
namespace {

// Bit i set: byte i of the two rows differs. Covers min(64, available)
// bytes from the given pointers; higher bits are zero.
std::uint64_t changeMask(const std::uint8_t* seed, const std::uint8_t* target,
                         std::size_t available) {
#if defined(__SSE2__)
    if (available >= 64) {
        std::uint64_t equal = 0;
        for (int block = 0; block < 4; ++block) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(seed + 16 * block));
            const __m128i b =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(target + 16 * block));
            const auto bits = static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(a, b)));
            equal |= static_cast<std::uint64_t>(bits) << (16 * block);
        }
        return ~equal;
    }
#endif
    const std::size_t count = std::min<std::size_t>(available, 64);
    std::uint64_t mask = 0;
    for (std::size_t i = 0; i < count; ++i)
        mask |= static_cast<std::uint64_t>(seed[i] != target[i]) << i;
    return mask;
}

}  // namespace

std::size_t rasterCompress::deltaCompress(std::span<const std::uint8_t> seedData,
                                          std::span<const std::uint8_t> targetData,
                                          int dataLength,
                                          std::span<std::uint8_t> dataBuffer) const {
    if (dataLength <= 0) return 0;
    const auto n = static_cast<std::size_t>(dataLength);
    assert(seedData.size() >= n && targetData.size() >= n);
    assert(dataBuffer.size() >= maxCompressedSize(n));

    const std::uint8_t* seed = seedData.data();
    const std::uint8_t* target = targetData.data();
    std::uint8_t* out = dataBuffer.data();
    const std::size_t capacity = dataBuffer.size();
    std::size_t written = 0;

    // The rows are scanned through a 64-bit window of change bits: bit 0 of
    // `window` is byte `scan`, and `valid` bits of it are known. Commands are
    // found with bit counts instead of byte-by-byte branches, which keeps
    // busy (photo) rows fast. [0, encodedEnd) is encoded; the next command's
    // offset counts from encodedEnd.
    std::size_t encodedEnd = 0;
    std::size_t scan = 0;
    std::uint64_t window = 0;
    std::size_t valid = 0;
    const auto refill = [&] {
        window = changeMask(seed + scan, target + scan, n - scan);
        valid = std::min<std::size_t>(64, n - scan);
    };
    const auto emit = [&](std::size_t changeStart, std::size_t count, bool roomForWideCopy) {
        const std::size_t offset = changeStart - encodedEnd;
        out[written++] =
            static_cast<std::uint8_t>(((count - 1) << 5) | std::min<std::size_t>(offset, 31));
        if (offset >= 31) [[unlikely]] {
            // 31 plus the sum of the extension bytes; 0xFF means "more follow".
            const std::size_t extension = offset - 31;
            const std::size_t fullBytes = extension / 255;
            std::memset(out + written, 0xFF, fullBytes);
            written += fullBytes;
            out[written++] = static_cast<std::uint8_t>(extension % 255);
        }
        // A fixed-size copy is cheaper than a variable one; the bytes past
        // `count` are overwritten by the next command or lie beyond the result.
        if (roomForWideCopy)
            std::memcpy(out + written, target + changeStart, 8);
        else
            std::memcpy(out + written, target + changeStart, count);
        written += count;
        encodedEnd = changeStart + count;
    };

    // One step: skips a window without changes or encodes one command;
    // false once nothing changes any more. `nearEnd` adds the bound checks
    // that only the last bytes of the row need.
    const auto step = [&](bool nearEnd) {
        if (window == 0) {
            scan += valid;
            if (scan >= n) return false;  // unchanged bytes at the end need no command
            refill();
            return true;
        }
        const auto skip = static_cast<std::size_t>(std::countr_zero(window));
        scan += skip;
        window >>= skip;
        valid -= skip;
        // A run is measured on at least 8 known bits unless the row ends first.
        if (valid < 8 && scan + valid < n) refill();
        // Run length, at most 8: the 0x100 bit stops the count without a branch.
        const auto count = static_cast<std::size_t>(std::countr_zero(~window | 0x100));
        emit(scan, count, !nearEnd || (scan + 8 <= n && written + 8 <= capacity));
        scan += count;
        window >>= count;
        valid -= count;
        return scan < n;
    };

    // While 72 bytes or more remain at the start of a step, its 8-byte copy
    // stays inside the row and inside the output, which keeps room for one
    // byte per 8 still to come.
    refill();
    while (scan + 72 <= n && step(false)) {
    }
    while (step(true)) {
    }
    return written;
}

}  // namespace corvane
