#include "pclinspect/deltaRow.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using Row = std::vector<std::uint8_t>;

// `bytes` zeros, with 0x5A at `at` when given.
Row zeros(std::size_t bytes, std::size_t at = SIZE_MAX) {
    Row r(bytes, 0);
    if (at < bytes) r[at] = 0x5A;
    return r;
}

TEST(DeltaRowDecoder, AppliesCommandsToTheSeedRow) {
    struct Case { const char* what; Row seed, data, expected; bool pastWidth, truncated; };
    Row counted(24, 0xAA);
    for (std::uint8_t i = 0; i < 20; ++i) counted[i] = i + 1;
    const std::vector<Case> cases{
        {"offsets count from the end of the previous command", zeros(12),
         {0x40, 0xFF, 0xFF, 0xFF, 0x46, 0xFF, 0xFF, 0xFF},
         {0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF}, false, false},
        // Every form of the offset: in the command byte, then extension bytes.
        {"offset 0", zeros(600), {0x00, 0x5A}, zeros(600, 0), false, false},
        {"offset 30", zeros(600), {0x1E, 0x5A}, zeros(600, 30), false, false},
        {"offset 31", zeros(600), {0x1F, 0x00, 0x5A}, zeros(600, 31), false, false},
        {"offset 285", zeros(600), {0x1F, 0xFE, 0x5A}, zeros(600, 285), false, false},
        {"offset 286", zeros(600), {0x1F, 0xFF, 0x00, 0x5A}, zeros(600, 286), false, false},
        {"offset 541", zeros(600), {0x1F, 0xFF, 0xFF, 0x00, 0x5A}, zeros(600, 541), false, false},
        {"long runs in commands of eight bytes", Row(24, 0xAA),
         {0xE0, 1, 2, 3, 4, 5, 6, 7, 8, 0xE0, 9, 10, 11, 12, 13, 14, 15, 16, 0x60, 17, 18, 19, 20}, counted, false, false},
        {"empty data repeats the seed", {1, 2, 3, 4, 5, 6}, {}, {1, 2, 3, 4, 5, 6}, false, false},
        {"untouched seed bytes are kept", Row(6, 9), {0x02, 0x01}, {9, 9, 1, 9, 9, 9}, false, false},
        {"exactly reaching the end", zeros(4), {0x60, 1, 2, 3, 4}, {1, 2, 3, 4}, false, false},
        {"bytes past the row are dropped", zeros(4), {0x42, 7, 8, 9}, {0, 0, 7, 8}, true, false},
        {"an offset beyond the row", zeros(4), {0x1F, 0x00, 1}, zeros(4), true, false},
        {"replacement bytes missing", zeros(8), {0x40, 1}, {}, false, true},
        {"offset extension never ends", zeros(800), {0x1F, 0xFF}, {}, false, true},
        {"command byte alone", zeros(8), {0x00}, {}, false, true},
    };
    for (const auto& c : cases) {
        const auto r = pclinspect::decodeDeltaRow(c.seed, c.data);
        EXPECT_TRUE(c.expected.empty() || r.row == c.expected) << c.what;
        EXPECT_EQ(r.pastWidth, c.pastWidth) << c.what;
        EXPECT_EQ(r.truncated, c.truncated) << c.what;
    }
}

}  // namespace
