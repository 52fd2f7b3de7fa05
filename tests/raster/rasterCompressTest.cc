#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "encoder/rasterCompress.h"
#include "support/bytes.h"

namespace corvane {
namespace {

using bytes = std::vector<std::uint8_t>;

std::string compress(const bytes& seed, const bytes& target, int n);

std::string compress(const bytes& seed, const bytes& target) {
    return compress(seed, target, static_cast<int>(target.size()));
}

std::string compress(const bytes& seed, const bytes& target, int n) {
    bytes out(2 * target.size() + 16, 0xEE);
    std::size_t size = 12345;
    rasterCompress().deltaCompress(seed, target, n, out, size);
    return std::string(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(size));
}

std::string oneChangeAt(std::size_t position) {
    bytes seed(600, 0), target(600, 0);
    target[position] = 0xAB;
    return compress(seed, target);
}

TEST(DeltaCompress, EqualRowsAndEmptyLengthsWriteNothing) {
    const bytes row = {1, 2, 3, 4};
    EXPECT_EQ(compress(row, row), "");
    EXPECT_EQ(compress(row, {9, 9, 9, 9}, 0), "");
    EXPECT_EQ(compress(row, {9, 9, 9, 9}, -5), "");
}

TEST(DeltaCompress, WhiteBlackBlackWhiteAgainstZeros) {
    const bytes seed(12, 0);
    const bytes target = {0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(compress(seed, target), test::hex({0x40, 0xFF, 0xFF, 0xFF, 0x46, 0xFF, 0xFF, 0xFF}));
}

TEST(DeltaCompress, OffsetExtensionBoundaries) {
    EXPECT_EQ(oneChangeAt(0), test::hex({0x00, 0xAB}));
    EXPECT_EQ(oneChangeAt(30), test::hex({0x1E, 0xAB}));
    EXPECT_EQ(oneChangeAt(31), test::hex({0x1F, 0x00, 0xAB}));
    EXPECT_EQ(oneChangeAt(32), test::hex({0x1F, 0x01, 0xAB}));
    EXPECT_EQ(oneChangeAt(285), test::hex({0x1F, 0xFE, 0xAB}));
    EXPECT_EQ(oneChangeAt(286), test::hex({0x1F, 0xFF, 0x00, 0xAB}));
    EXPECT_EQ(oneChangeAt(540), test::hex({0x1F, 0xFF, 0xFE, 0xAB}));
    EXPECT_EQ(oneChangeAt(541), test::hex({0x1F, 0xFF, 0xFF, 0x00, 0xAB}));
}

TEST(DeltaCompress, LongRunsSplitIntoGroupsOfEight) {
    bytes seed(40, 0), target(40, 0);
    for (int i = 0; i < 20; ++i) target[i] = static_cast<std::uint8_t>(i + 1);
    const std::string out = compress(seed, target);
    ASSERT_EQ(out.size(), 23u);
    EXPECT_EQ(static_cast<std::uint8_t>(out[0]), 0xE0);
    EXPECT_EQ(static_cast<std::uint8_t>(out[9]), 0xE0);
    EXPECT_EQ(static_cast<std::uint8_t>(out[18]), 0x60);
    EXPECT_EQ(out.substr(19), test::hex({17, 18, 19, 20}));

    bytes nine = seed;
    for (int i = 3; i < 12; ++i) nine[i] = 0x55;
    const std::string split = compress(seed, nine);
    ASSERT_EQ(split.size(), 11u);
    EXPECT_EQ(static_cast<std::uint8_t>(split[0]), 0xE3);
    EXPECT_EQ(split.substr(9), test::hex({0x00, 0x55}));
}

TEST(DeltaCompress, OnlyTheGivenLengthIsCompared) {
    const bytes seed(16, 0);
    bytes target(16, 0);
    target[2] = 1;
    target[12] = 1;  // beyond the length: not encoded
    EXPECT_EQ(compress(seed, target, 8), test::hex({0x02, 0x01}));
}

// Applies delta-row commands to a seed row, as a printer does.
bytes apply(bytes row, const std::string& commands) {
    std::size_t i = 0, position = 0;
    while (i < commands.size()) {
        const auto command = static_cast<std::uint8_t>(commands[i++]);
        const std::size_t count = (command >> 5) + 1;
        std::size_t offset = command & 31;
        if (offset == 31) {
            std::uint8_t more;
            do {
                more = static_cast<std::uint8_t>(commands.at(i++));
                offset += more;
            } while (more == 0xFF);
        }
        position += offset;
        for (std::size_t k = 0; k < count; ++k) row.at(position++) = commands.at(i++);
    }
    return row;
}

// The encoding rule written plainly, one byte at a time: the optimised
// encoder must produce exactly these bytes.
std::string referenceEncoding(const bytes& seed, const bytes& target) {
    std::string out;
    std::size_t p = 0;
    const std::size_t n = target.size();
    while (p < n) {
        std::size_t q = p;
        while (q < n && seed[q] == target[q]) ++q;
        if (q == n) break;
        std::size_t count = 0;
        while (count < 8 && q + count < n && seed[q + count] != target[q + count]) ++count;
        const std::size_t offset = q - p;
        out.push_back(static_cast<char>(((count - 1) << 5) | std::min<std::size_t>(offset, 31)));
        if (offset >= 31) {
            out.append((offset - 31) / 255, '\xFF');
            out.push_back(static_cast<char>((offset - 31) % 255));
        }
        out.append(target.begin() + static_cast<std::ptrdiff_t>(q),
                   target.begin() + static_cast<std::ptrdiff_t>(q + count));
        p = q + count;
    }
    return out;
}

TEST(DeltaCompress, RandomRowsDecodeToTargetWithinTheBound) {
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        const std::size_t n = random() % 1500 + 1;
        bytes seed(n), target(n);
        for (auto& b : seed) b = static_cast<std::uint8_t>(random() % 3);
        target = seed;
        // Change runs of varied lengths at varied gaps, word-boundary sizes included.
        // Gaps reach past the 31, 286 and 541 offset-extension steps and
        // across 64-byte windows.
        for (std::size_t p = random() % 40; p < n; p += random() % (round % 2 ? 20 : 700) + 1)
            for (std::size_t k = random() % 20; k > 0 && p < n; --k, ++p)
                target[p] = static_cast<std::uint8_t>(seed[p] + 1 + random() % 200);
        const std::string out = compress(seed, target);
        ASSERT_EQ(out, referenceEncoding(seed, target)) << "round " << round;
        ASSERT_LE(out.size(), rasterCompress::maxCompressedSize(n));
        ASSERT_EQ(apply(seed, out), target) << "round " << round;
    }
}

}  // namespace
}  // namespace corvane

namespace corvane {
namespace {

TEST(DeltaCompress, WorstCaseFitsABufferOfExactlyTheBound) {
    for (std::size_t n = 1; n <= 300; ++n) {
        const bytes seed(n, 0);
        bytes target(n);
        for (std::size_t i = 0; i < n; ++i) target[i] = static_cast<std::uint8_t>(i % 255 + 1);
        bytes out(rasterCompress::maxCompressedSize(n));  // no slack: ASan sees any overrun
        std::size_t size = 0;
        rasterCompress().deltaCompress(seed, target, static_cast<int>(n), out, size);
        ASSERT_EQ(size, out.size()) << n;
        ASSERT_EQ(std::string(out.begin(), out.end()), referenceEncoding(seed, target)) << n;
    }
}

}  // namespace
}  // namespace corvane
