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

// Where commands start among 64 bytes, all at once: bit i set when one
// starts at byte i. A command starts where a run of changed bytes starts
// and then every 8 bytes while the run lasts. `changedBefore` tells whether
// the byte before bit 0 changed; `known` holds the starts already known in
// the low bits (a run from before continues them). A start depends only on
// the bytes before it, so every bit of the result is final.
std::uint64_t commandStarts(std::uint64_t changed, bool changedBefore, std::uint64_t known) {
    std::uint64_t starts =
        known | (changed & ~((changed << 1) | static_cast<std::uint64_t>(changedBefore)));
    // runOf9: bits i-8..i all changed; runOf17 and runOf33 likewise. Each
    // start repeats 8, 16 and 32 bytes further on where the run lasts, which
    // puts one at every 8th byte of each run.
    const std::uint64_t runOf2 = changed & (changed << 1);
    const std::uint64_t runOf4 = runOf2 & (runOf2 << 2);
    const std::uint64_t runOf8 = runOf4 & (runOf4 << 4);
    const std::uint64_t runOf9 = runOf8 & (runOf8 << 1);
    const std::uint64_t runOf17 = runOf9 & (runOf9 << 8);
    const std::uint64_t runOf33 = runOf17 & (runOf17 << 16);
    starts |= (starts << 8) & runOf9;
    starts |= (starts << 16) & runOf17;
    starts |= (starts << 32) & runOf33;
    return starts;
}

// Writes the commands of one row, a block of bytes at a time.
class commandWriter {
public:
    commandWriter(const std::uint8_t* target, std::size_t length, std::span<std::uint8_t> output)
        : target(target), targetEnd(target + length), out(output.data()),
          outEnd(output.data() + output.size()), encodedEnd(target) {}

    // The commands starting at the set bits of `starts` (all below bit 56),
    // for the bytes from `block` on; `changed` covers 64 bytes from there,
    // so every command finds its length in it. Commands depend on each
    // other only through where they are written: no data-dependent branch
    // on busy (photo) rows. `nearEnd` adds the checks that only the last
    // bytes of the row need.
    template <bool nearEnd>
    void write(const std::uint8_t* block, std::uint64_t changed, std::uint64_t starts) {
        while (starts != 0) {
            const auto bit = static_cast<unsigned>(std::countr_zero(starts));
            starts &= starts - 1;
            const std::uint8_t* changeStart = block + bit;
            // Run length, at most 8: the 0x100 bit stops the count without a branch.
            const auto count =
                static_cast<unsigned>(std::countr_zero(~(changed >> bit) | 0x100));
            const auto offset = static_cast<std::size_t>(changeStart - encodedEnd);
            if (offset < 31) [[likely]]
                *out++ = static_cast<std::uint8_t>(((count - 1) << 5) | offset);
            else
                writeLongOffset(count, offset);
            // A fixed-size copy is cheaper than a variable one; the bytes
            // past `count` are overwritten by the next command or lie beyond
            // the result.
            if (!nearEnd || (changeStart + 8 <= targetEnd && out + 8 <= outEnd))
                std::memcpy(out, changeStart, 8);
            else
                std::memcpy(out, changeStart, count);
            out += count;
            encodedEnd = changeStart + count;
        }
    }

    std::uint8_t* end() const { return out; }

private:
    // A command byte with offset 31, then the rest of the offset as bytes
    // that add up to it; 0xFF means "more follow".
    void writeLongOffset(unsigned count, std::size_t offset) {
        *out++ = static_cast<std::uint8_t>(((count - 1) << 5) | 31);
        const std::size_t extension = offset - 31;
        const std::size_t fullBytes = extension / 255;
        std::memset(out, 0xFF, fullBytes);
        out += fullBytes;
        *out++ = static_cast<std::uint8_t>(extension % 255);
    }

    const std::uint8_t* target;
    const std::uint8_t* targetEnd;
    std::uint8_t* out;
    std::uint8_t* outEnd;
    // Bytes before this are encoded; the next command's offset counts from it.
    const std::uint8_t* encodedEnd;
};

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
    commandWriter writer(target, n, dataBuffer);

    // Blocks of 56 bytes, each seen through the change bits of 64: a command
    // starting in the block has its 8 possible bytes in view. The starts in
    // the 8 bytes beyond the block are the next block's first ones.
    constexpr std::size_t step = 56;
    // While 72 bytes or more remain after a command's start, its 8-byte
    // copy stays inside the row and inside the output, which keeps room for
    // one byte per 8 still to come.
    constexpr std::size_t reserve = step + 72;
    std::uint64_t carried = 0;
    bool changedBefore = false;
    for (std::size_t base = 0; base < n; base += step) {
        const std::uint64_t changed = changeMask(seed + base, target + base, n - base);
        if (changed == 0) {
            changedBefore = false;
            continue;
        }
        const std::uint64_t starts = commandStarts(changed, changedBefore, carried);
        carried = starts >> step;
        changedBefore = (changed >> (step - 1)) & 1;
        const std::uint64_t blockStarts = starts & ((std::uint64_t{1} << step) - 1);
        if (base + reserve <= n)
            writer.write<false>(target + base, changed, blockStarts);
        else
            writer.write<true>(target + base, changed, blockStarts);
    }
    return static_cast<std::size_t>(writer.end() - dataBuffer.data());
}

}  // namespace corvane
