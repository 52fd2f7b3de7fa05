#include <gtest/gtest.h>

#include <vector>

#include "encoder/rowTests.h"

namespace corvane {
namespace {

TEST(RowTests, BlankMeansEveryByteWhite) {
    std::vector<std::uint8_t> row(37, 0xFF);
    EXPECT_TRUE(isBlankRow(row));
    for (std::size_t i : {0u, 1u, 17u, 36u}) {
        auto changed = row;
        changed[i] = 0xFE;
        EXPECT_FALSE(isBlankRow(changed)) << i;
    }
    EXPECT_FALSE(isBlankRow(std::vector<std::uint8_t>(5, 0)));
}

TEST(RowTests, EqualComparesWholeRows) {
    std::vector<std::uint8_t> a(50, 3), b(50, 3);
    EXPECT_TRUE(rowsEqual(a, b));
    b[49] = 4;
    EXPECT_FALSE(rowsEqual(a, b));
}

}  // namespace
}  // namespace corvane
