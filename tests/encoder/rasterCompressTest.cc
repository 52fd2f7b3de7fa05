// The row compressor against a plain byte-by-byte encoding of the same rule,
// with the inspector's independent delta-row decoder as a second oracle.
// Random gaps reach every form of the offset (in the command byte, one and
// more extension bytes) and cross the compressor's 64-byte windows.
#include <gtest/gtest.h>

#include <random>

#include "encoder/rasterCompress.h"
#include "pclinspect/deltaRow.h"
#include "support/printerBytes.h"

namespace corvane {
namespace {

using test::bytes;
using test::row;

// Both the vector path (where the processor has it) and the step-by-step
// path run on every row and must agree.
std::string compress(const row& seed, const row& target, int length, std::size_t capacity) {
    std::string results[2];
    for (const bool vectorBlocks : {true, false}) {
        row out(capacity);  // no slack: ASan sees any write past the bound
        const std::size_t size = rasterCompress(vectorBlocks).deltaCompress(seed, target, length, out);
        EXPECT_LE(size, capacity);
        results[vectorBlocks].assign(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(size));
    }
    EXPECT_EQ(results[true], results[false]);
    return results[true];
}

// The encoding rule written plainly: skip equal bytes, then up to 8 changed bytes.
std::string referenceEncoding(const row& seed, const row& target) {
    std::string out;
    for (std::size_t p = 0, q; p < target.size(); p = q) {
        for (q = p; q < target.size() && seed[q] == target[q];) ++q;
        if (q == target.size()) break;
        std::size_t count = 0;
        while (count < 8 && q + count < target.size() && seed[q + count] != target[q + count]) ++count;
        const std::size_t offset = q - p;
        out.push_back(static_cast<char>(((count - 1) << 5) | std::min<std::size_t>(offset, 31)));
        if (offset >= 31) out += std::string((offset - 31) / 255, '\xFF') + static_cast<char>((offset - 31) % 255);
        out.append(target.begin() + static_cast<std::ptrdiff_t>(q), target.begin() + static_cast<std::ptrdiff_t>(q + count));
        q += count;
    }
    return out;
}

TEST(DeltaCompress, OnlyTheGivenLengthIsEncoded) {
    row target(16, 0);
    target[3] = 0x55;
    target[8] = 0x66;
    EXPECT_EQ(compress(row(16, 0), target, 7, 16), bytes({0x03, 0x55}));
    EXPECT_EQ(compress(row(16, 0), target, 3, 16), "");
    EXPECT_EQ(compress(row(16, 0), target, -5, 16), "");
}

// Every fifth round changes every byte: the output then fills its bound exactly.
TEST(DeltaCompress, RandomRowsMatchThePlainEncodingAndDecodeToTheTarget) {
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        const std::size_t n = random() % 1500 + 1;
        row seed(n);
        for (auto& b : seed) b = static_cast<std::uint8_t>(random() % 3);
        row target = seed;
        // Runs of varied lengths at gaps past the 31, 286 and 541 offset steps
        // and across 64-byte windows.
        for (std::size_t p = random() % 40; p < n; p += random() % (round % 2 ? 20 : 700) + 1)
            for (std::size_t k = random() % 20; k > 0 && p < n; --k, ++p)
                target[p] = static_cast<std::uint8_t>(seed[p] + 1 + random() % 200);
        if (round % 5 == 0)
            for (std::size_t i = 0; i < n; ++i) target[i] = static_cast<std::uint8_t>(seed[i] + 1);
        const std::string out = compress(seed, target, static_cast<int>(n), rasterCompress::maxCompressedSize(n));
        ASSERT_TRUE(round % 5 != 0 || out.size() == rasterCompress::maxCompressedSize(n)) << "round " << round;
        ASSERT_EQ(out, referenceEncoding(seed, target)) << "round " << round;
        const auto decoded = pclinspect::decodeDeltaRow(seed, test::asBytes(out));
        ASSERT_FALSE(decoded.pastWidth || decoded.truncated) << "round " << round;
        ASSERT_EQ(decoded.row, target) << "round " << round;
    }
}

}  // namespace
}  // namespace corvane
