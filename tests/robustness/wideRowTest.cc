// Rows whose delta-row data would not fit the 16-bit count of a transfer.
// Decoded by the independent inspector, every row that went out equals the
// input; a row is only left out when even its raw bytes are too long.
#include <gtest/gtest.h>

#include <random>

#include "support/bytes.h"
#include "support/filterRunner.h"
#include "support/inspect.h"
#include "support/rasterWriter.h"

namespace corvane {
namespace {

using row = std::vector<std::uint8_t>;
using test::patternRow;

// Black with a few short white runs: close to the zero seed row that a page
// starts with, so its delta form is short however wide the row is.
row darkRow(std::size_t bytes, std::size_t step) {
    row r(bytes, 0);
    for (std::size_t i = step; i + 6 < bytes; i += step) std::fill_n(r.begin() + i, 6, 0xFF);
    return r;
}

test::FilterResult print(const std::vector<test::RasterPage>& pages) {
    const auto result = test::runFilterOn(test::writeRaster(pages, test::RasterMode::compressed));
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(test::problems(result.out), std::vector<std::string>{});
    return result;
}

TEST(WideRows, RowsThatFitRawGoUncompressedAndDecodeExactly) {
    // 10500 pixels: 31500 bytes fit one transfer, their delta form does not.
    const std::size_t bytes = 31500;
    const std::vector<row> rows = {patternRow(bytes, 1), patternRow(bytes, 2), darkRow(bytes, 1000),
                                   patternRow(bytes, 2), patternRow(bytes, 2), test::whiteRow(bytes),
                                   darkRow(bytes, 999),  patternRow(bytes, 9)};
    const auto result = print({{10500, static_cast<unsigned>(rows.size()), 0, rows}});
    EXPECT_EQ(result.err, "");
    const auto pages = test::decodedPages(result.out);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_TRUE(pages[0].rows == rows);
    // Back in delta-row mode after each raw row: the repeat stays a repeat.
    EXPECT_EQ(test::decodeLight(result.out).pages.at(0).stats.rowsRepeated, 1u);
}

TEST(WideRows, RowsTooLongEvenRawAreLeftOutWithOneLinePerPage) {
    // 12000 pixels: 36000 bytes. Dark rows still compress well below the limit.
    const std::size_t bytes = 36000;
    const row white = test::whiteRow(bytes);
    const std::vector<row> first = {darkRow(bytes, 500), patternRow(bytes, 1), darkRow(bytes, 333),
                                    patternRow(bytes, 3), darkRow(bytes, 333)};
    const std::vector<row> second = {patternRow(bytes, 5), darkRow(bytes, 40)};
    const auto result = print({{12000, 5, 0, first}, {12000, 2, 0, second}});
    const auto errorLines = test::lines(result.err);
    ASSERT_EQ(errorLines.size(), 2u) << result.err;
    for (const auto& line : errorLines) EXPECT_TRUE(line.starts_with("ERROR: ")) << line;
    const auto decoded = test::decodedPages(result.out);
    ASSERT_EQ(decoded.size(), 2u);
    EXPECT_TRUE(decoded[0].rows == (std::vector<row>{first[0], white, first[2], white, first[4]}));
    EXPECT_TRUE(decoded[1].rows == (std::vector<row>{white, second[1]}));
}

TEST(WideRows, RandomWidePagesDecodeToTheirInput) {
    std::mt19937 random(7);
    for (const unsigned width : {9000u, 9709u, 10922u, 10923u, 11500u}) {
        SCOPED_TRACE(width);
        const std::size_t bytes = 3 * width;
        std::vector<row> rows;
        for (int y = 0; y < 12; ++y) {
            row r = test::whiteRow(bytes);
            // From a few changed bytes to nearly all of them.
            const std::size_t changes = bytes * (random() % 101) / 100;
            for (std::size_t k = 0; k < changes; ++k) r[random() % bytes] = static_cast<std::uint8_t>(random());
            rows.push_back(random() % 4 == 0 && !rows.empty() ? rows.back() : r);
        }
        const auto result = print({{width, 12, 0, rows}});
        const auto decoded = test::decodedPages(result.out);
        ASSERT_EQ(decoded.size(), 1u);
        std::size_t leftOut = 0;
        for (std::size_t y = 0; y < rows.size(); ++y) {
            if (decoded[0].rows.at(y) == rows[y]) continue;
            // Only a row longer than a transfer can carry may be missing.
            EXPECT_GT(bytes, 32767u) << "row " << y;
            EXPECT_TRUE(decoded[0].rows[y] == test::whiteRow(bytes)) << "row " << y;
            ++leftOut;
        }
        EXPECT_EQ(test::lines(result.err).size(), leftOut > 0 ? 1u : 0u);
    }
}

}  // namespace
}  // namespace corvane
