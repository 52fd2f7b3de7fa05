#include "pclinspect/deltaRow.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using Row = std::vector<std::uint8_t>;
using pclinspect::decodeDeltaRow;

Row zeros(std::size_t n) { return Row(n, 0); }

TEST(DeltaRowDecoder, AppliesCommandsRelativeToTheEndOfThePreviousOne) {
    const Row data{0x40, 0xFF, 0xFF, 0xFF, 0x46, 0xFF, 0xFF, 0xFF};
    const auto r = decodeDeltaRow(zeros(12), data);
    EXPECT_EQ(r.row, (Row{0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF}));
    EXPECT_FALSE(r.pastWidth);
    EXPECT_FALSE(r.truncated);
}

TEST(DeltaRowDecoder, ReadsEveryOffsetExtensionForm) {
    // offset -> command bytes before the replacement byte
    const std::vector<std::pair<std::size_t, Row>> cases{
        {0, {0x00}},       {30, {0x1E}},          {31, {0x1F, 0x00}},          {32, {0x1F, 0x01}},
        {285, {0x1F, 0xFE}}, {286, {0x1F, 0xFF, 0x00}}, {541, {0x1F, 0xFF, 0xFF, 0x00}}};
    for (const auto& [offset, prefix] : cases) {
        Row data = prefix;
        data.push_back(0x5A);
        const auto r = decodeDeltaRow(zeros(600), data);
        Row expected = zeros(600);
        expected[offset] = 0x5A;
        EXPECT_EQ(r.row, expected) << "offset " << offset;
        EXPECT_FALSE(r.pastWidth || r.truncated) << "offset " << offset;
    }
}

TEST(DeltaRowDecoder, LongRunsAreSplitIntoCommandsOfEightBytes) {
    Row data{0xE0, 1, 2, 3, 4, 5, 6, 7, 8, 0xE0, 9, 10, 11, 12, 13, 14, 15, 16, 0x60, 17, 18, 19, 20};
    const auto r = decodeDeltaRow(Row(24, 0xAA), data);
    Row expected(24, 0xAA);
    for (int i = 0; i < 20; ++i) expected[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i + 1);
    EXPECT_EQ(r.row, expected);
}

TEST(DeltaRowDecoder, EmptyDataRepeatsTheSeedRow) {
    const Row seed{1, 2, 3, 4, 5, 6};
    EXPECT_EQ(decodeDeltaRow(seed, {}).row, seed);
}

TEST(DeltaRowDecoder, BytesOfTheSeedThatNoCommandReachesAreKept) {
    const Row seed{9, 9, 9, 9, 9, 9};
    EXPECT_EQ(decodeDeltaRow(seed, Row{0x22, 0x01}).row, (Row{9, 9, 1, 9, 9, 9}));
}

TEST(DeltaRowDecoder, FlagsWritesPastTheRowAndDropsThem) {
    // 3 bytes at offset 2 on a 4-byte row: the last one falls outside.
    const auto r = decodeDeltaRow(zeros(4), Row{0x42, 7, 8, 9});
    EXPECT_TRUE(r.pastWidth);
    EXPECT_EQ(r.row, (Row{0, 0, 7, 8}));
    // An offset alone beyond the row is also past it.
    EXPECT_TRUE(decodeDeltaRow(zeros(4), Row{0x1F, 0x00, 1}).pastWidth);
    EXPECT_FALSE(decodeDeltaRow(zeros(4), Row{0x60, 1, 2, 3, 4}).pastWidth) << "exactly reaching the end is fine";
}

TEST(DeltaRowDecoder, FlagsDataThatEndsInsideACommand) {
    EXPECT_TRUE(decodeDeltaRow(zeros(8), Row{0x40, 1}).truncated) << "replacement bytes missing";
    EXPECT_TRUE(decodeDeltaRow(zeros(800), Row{0x1F, 0xFF}).truncated) << "extension never ends";
    EXPECT_TRUE(decodeDeltaRow(zeros(8), Row{0x00}).truncated) << "command byte alone";
}

}  // namespace
