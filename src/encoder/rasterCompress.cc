#include "encoder/rasterCompress.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define CORVANE_VECTOR_BLOCKS 1
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

#if defined(CORVANE_VECTOR_BLOCKS)
#define CORVANE_VECTOR_TARGET \
    __attribute__((target("avx512f,avx512bw,avx512vbmi,avx512vbmi2,bmi,bmi2,popcnt,lzcnt")))

// Permutation indexes: byte i is i + shift (the instructions take it mod 64).
constexpr std::array<std::uint8_t, 64> byteIndexTable(int shift) {
    std::array<std::uint8_t, 64> index{};
    for (int i = 0; i < 64; ++i) index[i] = static_cast<std::uint8_t>(i + shift);
    return index;
}

// Byte 2i takes byte `first + i` of the first vector, byte 2i + 1 byte
// `first + i` of the second.
constexpr std::array<std::uint8_t, 64> interleaveTable(int first) {
    std::array<std::uint8_t, 64> index{};
    for (int i = 0; i < 32; ++i) {
        index[2 * i] = static_cast<std::uint8_t>(first + i);
        index[2 * i + 1] = static_cast<std::uint8_t>(64 + first + i);
    }
    return index;
}

struct vectorTables {
    std::array<std::uint8_t, 64> identity = byteIndexTable(0);
    std::array<std::uint8_t, 64> plusOne = byteIndexTable(1);
    std::array<std::uint8_t, 64> minusOne = byteIndexTable(-1);
    std::array<std::array<std::uint8_t, 64>, 2> interleave = {interleaveTable(0),
                                                              interleaveTable(32)};
};
constexpr vectorTables tables;

CORVANE_VECTOR_TARGET __m512i load(const std::array<std::uint8_t, 64>& bytes) {
    return _mm512_loadu_si512(bytes.data());
}

// Every byte moved up one place, zero below.
CORVANE_VECTOR_TARGET __m512i shiftUpOne(__m512i bytes) {
    return _mm512_maskz_permutexvar_epi8(~std::uint64_t{1}, load(tables.minusOne), bytes);
}

// All commands of one block at once with 64-byte vectors: each byte's
// command byte (offset, run length) is computed in its lane, then command
// bytes and changed bytes are interleaved and packed into the output.
// Returns false, writing nothing, when an offset needs extension bytes.
// `gapBefore` counts the unchanged bytes from the end of what is encoded to
// the block (0 when that end lies inside the block).
CORVANE_VECTOR_TARGET inline bool writeVectorBlock(const std::uint8_t* block,
                                                   std::uint64_t changed, std::uint64_t starts,
                                                   bool changedBefore,
                                                   std::size_t gapBefore, std::uint8_t*& out,
                                                   const std::uint8_t*& encodedEnd) {
    // End (index + 1) of the last changed byte before each start, 0 for
    // none. Inside a run that is the start itself; at a run's first byte it
    // is the end of the run before, found by packing the run ends in order
    // and spreading them over the run starts, one run behind (or none
    // behind when the block begins inside a run, whose end comes first).
    const std::uint64_t runStarts = starts & changed & ~(changed << 1) &
                                    ~static_cast<std::uint64_t>(changedBefore);
    const std::uint64_t runEnds = changed & ~(changed >> 1);
    __m512i previousEnds = _mm512_maskz_compress_epi8(runEnds, load(tables.plusOne));
    if (!(changedBefore && (changed & 1))) previousEnds = shiftUpOne(previousEnds);
    __m512i lastEnd = _mm512_maskz_expand_epi8(runStarts, previousEnds);
    lastEnd = _mm512_mask_mov_epi8(lastEnd, starts & ~runStarts, load(tables.identity));
    // Offset at each start: the unchanged bytes right before it.
    __m512i command = _mm512_sub_epi8(load(tables.identity), lastEnd);
    const __m512i gap = _mm512_set1_epi8(static_cast<char>(std::min<std::size_t>(gapBefore, 64)));
    command = _mm512_mask_add_epi8(
        command, _mm512_cmpeq_epi8_mask(lastEnd, _mm512_setzero_si512()), command, gap);
    if ((_mm512_cmpge_epu8_mask(command, _mm512_set1_epi8(31)) & starts) != 0) return false;
    // Run length - 1 in bits 7-5: the number of further changed bytes, up
    // to 7. ahead[k]: bytes i..i+k all changed; the count is the largest
    // such k, added bit by bit.
    std::uint64_t ahead[8];
    ahead[0] = changed;
    for (int k = 1; k < 8; ++k) ahead[k] = ahead[k - 1] & (changed >> k);
    const std::uint64_t four = ahead[4];
    const std::uint64_t two = ahead[6] | (ahead[2] & ~ahead[4]);
    const std::uint64_t one = ahead[7] | (ahead[5] & ~ahead[6]) | (ahead[3] & ~ahead[4]) |
                              (ahead[1] & ~ahead[2]);
    const __m512i bit7 = _mm512_set1_epi8(static_cast<char>(0x80));
    command = _mm512_mask_add_epi8(command, four, command, bit7);
    command = _mm512_mask_add_epi8(command, two, command, _mm512_set1_epi8(0x40));
    command = _mm512_mask_add_epi8(command, one, command, _mm512_set1_epi8(0x20));

    const auto firstStart = static_cast<unsigned>(std::countr_zero(starts));
    const auto lastStart = static_cast<unsigned>(63 - std::countl_zero(starts));
    const auto end =
        lastStart + static_cast<unsigned>(std::countr_zero(~(changed >> lastStart) | 0x100));
    const std::uint64_t covered =
        changed & (~std::uint64_t{0} << firstStart) & ((std::uint64_t{1} << end) - 1);

    const __m512i data = _mm512_loadu_si512(block);
    for (int half = 0; half < 2; ++half) {
        const unsigned from = 32 * static_cast<unsigned>(half);
        const std::uint64_t keep =
            _pdep_u64((starts >> from) & 0xFFFFFFFF, 0x5555555555555555) |
            _pdep_u64((covered >> from) & 0xFFFFFFFF, 0xAAAAAAAAAAAAAAAA);
        const __m512i pairs =
            _mm512_permutex2var_epi8(command, load(tables.interleave[half]), data);
        _mm512_storeu_si512(out, _mm512_maskz_compress_epi8(keep, pairs));
        out += std::popcount(keep);
    }
    encodedEnd = block + end;
    return true;
}

// changeMask with one 64-byte compare.
CORVANE_VECTOR_TARGET inline std::uint64_t changeMaskWide(const std::uint8_t* seed,
                                                          const std::uint8_t* target,
                                                          std::size_t available) {
    if (available < 64) return changeMask(seed, target, available);
    return _mm512_cmpneq_epi8_mask(_mm512_loadu_si512(seed), _mm512_loadu_si512(target));
}

bool vectorBlocksSupported() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512vbmi2") &&
           __builtin_cpu_supports("bmi2");
}
#else
bool vectorBlocksSupported() { return false; }
#endif

constexpr std::uint64_t dropLowest(std::uint64_t bits) { return bits & (bits - 1); }

// Writes the commands of one row, a block of bytes at a time.
class commandWriter {
public:
    commandWriter(const std::uint8_t* target, std::size_t length, std::span<std::uint8_t> output)
        : targetEnd(target + length), out(output.data()),
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

    // The block's commands through the vector unit; false when the block
    // needs the step-by-step path.
#if defined(CORVANE_VECTOR_BLOCKS)
    [[gnu::always_inline]] bool writeWide(const std::uint8_t* block, std::uint64_t changed,
                                          std::uint64_t starts, bool changedBefore) {
        // Each half of the block stores 64 bytes, of which up to 64 count.
        if (outEnd - out < 192) return false;
        const std::size_t gapBefore =
            block > encodedEnd ? static_cast<std::size_t>(block - encodedEnd) : 0;
        return writeVectorBlock(block, changed, starts, changedBefore, gapBefore, out, encodedEnd);
    }
#endif

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

    const std::uint8_t* targetEnd;
    std::uint8_t* out;
    std::uint8_t* outEnd;
    // Bytes before this are encoded; the next command's offset counts from it.
    const std::uint8_t* encodedEnd;
};

// The commands of a row of n bytes into `output`; returns their byte count.
// Inlined into each caller so that the vector variant is compiled for the
// vector instructions as a whole.
template <bool withVectors>
[[gnu::always_inline]] inline std::size_t encodeRow(const std::uint8_t* seed,
                                                    const std::uint8_t* target, std::size_t n,
                                                    std::span<std::uint8_t> dataBuffer) {
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
        std::uint64_t changed;
        if constexpr (withVectors)
            changed = changeMaskWide(seed + base, target + base, n - base);
        else
            changed = changeMask(seed + base, target + base, n - base);
        if (changed == 0) {
            carried = 0;
            changedBefore = false;
            continue;
        }
        const bool changedBeforeBlock = changedBefore;
        const std::uint64_t starts = commandStarts(changed, changedBefore, carried);
        carried = starts >> step;
        changedBefore = (changed >> (step - 1)) & 1;
        const std::uint64_t blockStarts = starts & ((std::uint64_t{1} << step) - 1);
        if (base + reserve <= n) {
            if constexpr (withVectors) {
                // Blocks with fewer than 4 commands are quicker step by step.
                const std::uint64_t threeDropped =
                    dropLowest(dropLowest(dropLowest(blockStarts)));
                if (threeDropped != 0 && writer.writeWide(target + base, changed, blockStarts,
                                                        changedBeforeBlock))
                    continue;
            }
            writer.write<false>(target + base, changed, blockStarts);
        } else {
            writer.write<true>(target + base, changed, blockStarts);
        }
    }
    return static_cast<std::size_t>(writer.end() - dataBuffer.data());
}

#if defined(CORVANE_VECTOR_BLOCKS)
CORVANE_VECTOR_TARGET std::size_t encodeRowWithVectors(const std::uint8_t* seed,
                                                       const std::uint8_t* target, std::size_t n,
                                                       std::span<std::uint8_t> output) {
    return encodeRow<true>(seed, target, n, output);
}
#endif

}  // namespace

rasterCompress::rasterCompress() : vectorBlocks(vectorBlocksSupported()) {}

rasterCompress::rasterCompress(bool vectorBlocks)
    : vectorBlocks(vectorBlocks && vectorBlocksSupported()) {}

std::size_t rasterCompress::deltaCompress(std::span<const std::uint8_t> seedData,
                                          std::span<const std::uint8_t> targetData,
                                          int dataLength,
                                          std::span<std::uint8_t> dataBuffer) const {
    if (dataLength <= 0) return 0;
    const auto n = static_cast<std::size_t>(dataLength);
    assert(seedData.size() >= n && targetData.size() >= n);
    assert(dataBuffer.size() >= maxCompressedSize(n));

#if defined(CORVANE_VECTOR_BLOCKS)
    if (vectorBlocks)
        return encodeRowWithVectors(seedData.data(), targetData.data(), n, dataBuffer);
#endif
    return encodeRow<false>(seedData.data(), targetData.data(), n, dataBuffer);
}

}  // namespace corvane
