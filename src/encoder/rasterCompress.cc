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

// Adds a command start 8, 16, ... bytes after each start in `starts` for as
// long as its run of changed bytes lasts, which puts one at every 8th byte
// of each run.
std::uint64_t repeatInRuns(std::uint64_t starts, std::uint64_t changed) {
    // runOf9: bits i-8..i all changed; runOf17 and runOf33 likewise.
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

// Bit i set: byte i starts a run of changed bytes (`changedBefore`: the
// byte before bit 0 changed).
std::uint64_t runStarts(std::uint64_t changed, bool changedBefore) {
    return changed & ~((changed << 1) | static_cast<std::uint64_t>(changedBefore));
}

// Where commands start among 64 bytes, all at once: bit i set when one
// starts at byte i. A command starts where a run of changed bytes starts
// and then every 8 bytes while the run lasts. `known` holds the starts
// already known in the low bits (a run from before continues them). A start
// depends only on the bytes before it, so every bit of the result is final.
std::uint64_t commandStarts(std::uint64_t changed, bool changedBefore, std::uint64_t known) {
    return repeatInRuns(known | runStarts(changed, changedBefore), changed);
}

#if defined(CORVANE_VECTOR_BLOCKS)
#define CORVANE_VECTOR_TARGET \
    __attribute__((target("avx512f,avx512bw,avx512vbmi,avx512vbmi2,bmi,bmi2,popcnt,lzcnt")))

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

// Byte k of every 64-bit lane: `from + k`, the first bit of an 8-bit window.
constexpr std::array<std::uint8_t, 64> windowTable(int from) {
    std::array<std::uint8_t, 64> index{};
    for (int i = 0; i < 64; ++i) index[i] = static_cast<std::uint8_t>(from + i % 8);
    return index;
}

// For a 7-bit window of change bits after a start (bit 0 next to it): the
// further changed bytes of the command, up to 7, in bits 7-5.
constexpr std::array<std::uint8_t, 128> runLengthTable() {
    std::array<std::uint8_t, 128> value{};
    for (int x = 0; x < 128; ++x)
        value[x] = static_cast<std::uint8_t>(std::countr_one(unsigned(x)) << 5);
    return value;
}

// For a 7-bit window of change bits before a byte (bit 6 next to it): the
// unchanged bytes right before it, 7 when all of them are unchanged.
constexpr std::array<std::uint8_t, 128> gapTable() {
    std::array<std::uint8_t, 128> value{};
    for (int x = 0; x < 128; ++x)
        value[x] = static_cast<std::uint8_t>(x == 0 ? 7 : std::countl_zero(unsigned(x) << 25));
    return value;
}

struct vectorTables {
    std::array<std::array<std::uint8_t, 64>, 2> interleave = {interleaveTable(0),
                                                              interleaveTable(32)};
    // Lane j of `ahead` holds the change bits from byte 8j on (the next
    // block's above the block's); lane j of `behind` those from byte
    // 8j - 56 on (the previous block's below the block's).
    std::array<std::uint64_t, 8> aheadShift = {0, 8, 16, 24, 32, 40, 48, 56};
    std::array<std::uint64_t, 8> behindShift = {56, 48, 40, 32, 24, 16, 8, 0};
    // Byte i's windows: bytes i+1..i+7 of `ahead`, bytes i-7..i-1 of `behind`.
    std::array<std::uint8_t, 64> afterWindow = windowTable(1);
    std::array<std::uint8_t, 64> beforeWindow = windowTable(49);
    std::array<std::uint8_t, 128> runLength = runLengthTable();
    std::array<std::uint8_t, 128> gap = gapTable();
};
constexpr vectorTables tables;

CORVANE_VECTOR_TARGET __m512i load(const void* bytes) { return _mm512_loadu_si512(bytes); }

// Looks each byte's low 7 bits up in a 128-byte table.
CORVANE_VECTOR_TARGET __m512i lookUp(const std::array<std::uint8_t, 128>& table, __m512i index) {
    return _mm512_permutex2var_epi8(load(table.data()), index, load(table.data() + 64));
}

// Byte i of the result: the 8 bits of `bits`' 64-bit lane from bit
// `control` byte i on. (The masked form with every lane selected is the
// same instruction; GCC 12's unmasked form warns of an uninitialized value.)
CORVANE_VECTOR_TARGET __m512i windows(__m512i control, __m512i bits) {
    return _mm512_mask_multishift_epi64_epi8(bits, ~__mmask64{0}, control, bits);
}

// Change bits as a vector, each 64-bit lane holding the same 64.
CORVANE_VECTOR_TARGET __m512i spread(std::uint64_t changed) {
    return _mm512_set1_epi64(static_cast<long long>(changed));
}

// The command byte each byte of a 64-byte block would have if a command
// started there: the run length from the change bits after it (`next`: the
// next block's), the offset from those before it (`history`: the previous
// block's, ones before the row). `longGaps` gets the bytes whose offset is
// 7 or more, which this does not give.
CORVANE_VECTOR_TARGET inline __m512i commandBytes(__m512i history, __m512i changed, __m512i next,
                                                  std::uint64_t& longGaps) {
    const __m512i ahead = _mm512_shrdv_epi64(changed, next, load(tables.aheadShift.data()));
    const __m512i behind = _mm512_shldv_epi64(changed, history, load(tables.behindShift.data()));
    const __m512i runLength =
        lookUp(tables.runLength, windows(load(tables.afterWindow.data()), ahead));
    const __m512i gap =
        lookUp(tables.gap, windows(load(tables.beforeWindow.data()), behind));
    longGaps = _mm512_cmpeq_epi8_mask(gap, _mm512_set1_epi8(7));
    return _mm512_or_si512(runLength, gap);
}

// changeMask with one 64-byte compare.
CORVANE_VECTOR_TARGET inline std::uint64_t changeMaskWide(const std::uint8_t* seed,
                                                          const std::uint8_t* target,
                                                          std::size_t available) {
    if (available < 64) return changeMask(seed, target, available);
    return _mm512_cmpneq_epi8_mask(load(seed), load(target));
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
                writeLongOffset<nearEnd>(count, offset);
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

#if defined(CORVANE_VECTOR_BLOCKS)
    // All commands of a 64-byte block at once, their bytes in `commands`:
    // command bytes and changed bytes are interleaved and packed into the
    // output. A command may run on into the next block; the bytes it has
    // there are left to that block. Each half stores 64 bytes, of which up
    // to 64 count.
    CORVANE_VECTOR_TARGET void writeWide(const std::uint8_t* block, __m512i commands,
                                         std::uint64_t changed, std::uint64_t starts) {
        const __m512i data = load(block);
        for (int half = 0; half < 2; ++half) {
            const unsigned from = 32 * static_cast<unsigned>(half);
            const std::uint64_t keep =
                _pdep_u64((starts >> from) & 0xFFFFFFFF, 0x5555555555555555) |
                _pdep_u64((changed >> from) & 0xFFFFFFFF, 0xAAAAAAAAAAAAAAAA);
            const __m512i pairs =
                _mm512_permutex2var_epi8(commands, load(tables.interleave[half].data()), data);
            _mm512_storeu_si512(out, _mm512_maskz_compress_epi8(keep, pairs));
            out += std::popcount(keep);
        }
    }

    // Back to step-by-step writing after writeWide's blocks, at `block`:
    // writes the `carry` bytes there that end the last command, and sets
    // where the next offset counts from. `history` holds the change bits of
    // the block before, which writeWide wrote.
    void resumeAfterWide(const std::uint8_t* block, std::uint64_t history, unsigned carry) {
        std::memcpy(out, block, 8);
        out += carry;
        encodedEnd = carry != 0 ? block + carry : block - std::countl_zero(history);
    }
#endif

    std::uint8_t* end() const { return out; }

private:
    // A command byte with offset 31, then the rest of the offset as bytes
    // that add up to it; 0xFF means "more follow".
    template <bool nearEnd>
    void writeLongOffset(unsigned count, std::size_t offset) {
        *out++ = static_cast<std::uint8_t>(((count - 1) << 5) | 31);
        const std::size_t extension = offset - 31;
        const std::size_t fullBytes = extension / 255;
        if constexpr (nearEnd) {
            std::memset(out, 0xFF, fullBytes);
        } else {
            // 8 bytes at a time, which keeps calls (and with them vectors
            // sent to memory) out of the vector loop; what goes past the
            // 0xFF bytes lies inside the command's 8-byte copy.
            constexpr std::uint64_t allOnes = ~std::uint64_t{0};
            for (std::size_t i = 0; i < fullBytes; i += 8) std::memcpy(out + i, &allOnes, 8);
        }
        out += fullBytes;
        *out++ = static_cast<std::uint8_t>(extension % 255);
    }

    const std::uint8_t* targetEnd;
    std::uint8_t* out;
    std::uint8_t* outEnd;
    // Bytes before this are encoded; the next command's offset counts from it.
    const std::uint8_t* encodedEnd;
};

// The commands of the row's bytes from `base` on, step by step. `carried`
// holds the command starts of a run going on at `base` in its low 8 bits,
// `changedBefore` whether the byte before `base` changed. Inlined into each
// caller so that the vector variant is compiled for the vector instructions
// as a whole.
template <bool withVectors>
[[gnu::always_inline]] inline void encodeSteps(const std::uint8_t* seed,
                                               const std::uint8_t* target, std::size_t n,
                                               std::size_t base, std::uint64_t carried,
                                               bool changedBefore, commandWriter& writer) {
    // Blocks of 56 bytes, each seen through the change bits of 64: a command
    // starting in the block has its 8 possible bytes in view. The starts in
    // the 8 bytes beyond the block are the next block's first ones.
    constexpr std::size_t step = 56;
    // While 72 bytes or more remain after a command's start, its 8-byte
    // copy stays inside the row and inside the output, which keeps room for
    // one byte per 8 still to come.
    constexpr std::size_t reserve = step + 72;
    for (; base < n; base += step) {
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
        const std::uint64_t starts = commandStarts(changed, changedBefore, carried);
        carried = starts >> step;
        changedBefore = (changed >> (step - 1)) & 1;
        const std::uint64_t blockStarts = starts & ((std::uint64_t{1} << step) - 1);
        if (base + reserve <= n)
            writer.write<false>(target + base, changed, blockStarts);
        else
            writer.write<true>(target + base, changed, blockStarts);
    }
}

#if defined(CORVANE_VECTOR_BLOCKS)
// Blocks of 64 bytes through the vector unit, the last 64 to 127 bytes step
// by step. Blocks with few commands, or with an offset of 14 or more, are
// also written step by step.
// Blocks of 64 bytes through the vector unit, the last 64 to 127 bytes step
// by step. Blocks with fewer than 4 commands, or with an offset of 7 or
// more, are also written step by step.
CORVANE_VECTOR_TARGET std::size_t encodeRowWithVectors(const std::uint8_t* seed,
                                                       const std::uint8_t* target, std::size_t n,
                                                       std::span<std::uint8_t> output) {
    commandWriter writer(target, n, output);
    constexpr std::uint64_t everyEighth = 0x0101010101010101;
    std::uint64_t changed = changeMaskWide(seed, target, n);
    // The change bits are found a block before they are needed, which keeps
    // the compare out of each block's chain of dependent steps.
    std::uint64_t next = n >= 128 ? changeMaskWide(seed + 64, target + 64, 64) : 0;
    // The offsets at the row's start count from there, as after a change.
    std::uint64_t history = ~std::uint64_t{0};
    __m512i historyBits = spread(history);
    __m512i changedBits = spread(changed);
    __m512i nextBits = spread(next);
    bool changedBefore = false;
    // Where the run going on at the block's start began, modulo 8: its
    // commands start there and every 8 bytes on.
    unsigned runPhase = 0;
    // The block before went through writeWide, which leaves the bytes of
    // its last command beyond that block unwritten.
    bool afterWide = false;
    // The output bound leaves room for writeWide's stores while 128 bytes
    // or more remain: a command takes at most one byte more than its bytes
    // and the unchanged ones before it, and one with an offset of 0 (a run
    // going on) follows a command of 8 bytes.
    std::size_t base = 0;
    for (; base + 128 <= n; base += 64) {
        const std::uint64_t afterNext =
            base + 192 <= n
                ? _mm512_cmpneq_epi8_mask(load(seed + base + 128), load(target + base + 128))
                : 0;
        // The run from the block's start, if it goes on from before.
        const std::uint64_t continued = changed & ~(changed + changedBefore);
        const std::uint64_t starts = repeatInRuns(runStarts(changed, changedBefore), changed) |
                                     ((everyEighth << runPhase) & continued);
        // The last start belongs to the run that may go on into the next block.
        runPhase = static_cast<unsigned>(~std::countl_zero(starts)) & 7;
        std::uint64_t longGaps;
        const __m512i commands = commandBytes(historyBits, changedBits, nextBits, longGaps);
        // Blocks with fewer than 4 commands are quicker step by step.
        const bool wide =
            dropLowest(dropLowest(dropLowest(starts))) != 0 && (longGaps & starts) == 0;
        std::uint64_t unwritten = changed;
        if (wide != afterWide) {
            // The bytes before the block's first command that belong to the last one.
            const auto carry = static_cast<unsigned>(std::countr_zero(starts | ~continued));
            if (wide)
                unwritten &= ~std::uint64_t{0} << carry;  // written step by step
            else
                writer.resumeAfterWide(target + base, history, carry);
        }
        if (wide) {
            writer.writeWide(target + base, commands, unwritten, starts);
        } else {
            writer.write<false>(target + base, changed, starts & ((std::uint64_t{1} << 56) - 1));
            writer.write<false>(target + base + 56, (changed >> 56) | (next << 8), starts >> 56);
        }
        afterWide = wide;
        history = changed;
        historyBits = changedBits;
        changedBefore = changed >> 63;
        changed = next;
        changedBits = nextBits;
        next = afterNext;
        nextBits = spread(afterNext);
    }
    const std::uint64_t continued = changed & ~(changed + changedBefore);
    const std::uint64_t carried = (everyEighth << runPhase) & continued & 0xFF;
    if (afterWide)
        writer.resumeAfterWide(target + base, history,
                               static_cast<unsigned>(std::countr_zero(carried | ~continued)));
    encodeSteps<true>(seed, target, n, base, carried, changedBefore, writer);
    return static_cast<std::size_t>(writer.end() - output.data());
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
    commandWriter writer(targetData.data(), n, dataBuffer);
    encodeSteps<false>(seedData.data(), targetData.data(), n, 0, 0, false, writer);
    return static_cast<std::size_t>(writer.end() - dataBuffer.data());
}

}  // namespace corvane
