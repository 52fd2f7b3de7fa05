#include "pclinspect/jobDecoder.h"

#include <gtest/gtest.h>

#include "streams.h"

namespace {

using namespace corvane::test;
using Row = std::vector<std::uint8_t>;
using Rows = std::vector<Row>;

const std::vector<std::string> none;

std::string job(const std::string& pages, const std::string& header = pjlHeader() + jobPreamble()) {
    return header + pages + jobEnd();
}

TEST(JobDecoder, RebuildsTheRowsOfTheLastPage) {
    struct Case { const char* what; std::string pages; Rows rows; };
    const std::vector<Case> cases{
        // ESC*r3t2S: height 3, then width 2 (6 bytes).
        {"rows not sent are white", pageStart(3, 2) + pageEnd(), Rows(3, Row(6, 0xFF))},
        // After a move, "one byte at 0" lands on zeros; a repeat after another move is all zero.
        {"a cursor move clears the seed row",
         pageStart(5, 2) + row(hex({0xA0, 1, 2, 3, 4, 5, 6})) + moveTo(2) + row(hex({0x00, 9})) + moveTo(4) +
             esc("*b0W") + pageEnd(),
         {{1, 2, 3, 4, 5, 6}, Row(6, 0xFF), {9, 0, 0, 0, 0, 0}, Row(6, 0xFF), Row(6, 0)}},
        {"an unencoded row seeds the next delta row",
         pageStart(2, 2) + esc("*b0M") + row(hex({1, 2, 3, 4, 5, 6})) + esc("*b3M") + row(hex({0x05, 7})) + pageEnd(),
         {{1, 2, 3, 4, 5, 6}, {1, 2, 3, 4, 5, 7}}},
        {"every page starts with a zero seed row and its own size",
         pageStart(1, 2) + row(hex({0xA0, 1, 2, 3, 4, 5, 6})) + pageEnd() + pageStart(2, 1) + esc("*b0W") +
             row(hex({0x02, 8})) + pageEnd(),
         {{0, 0, 0}, {0, 0, 8}}},
        {"escape and form feed bytes in row data", pageStart(1, 1) + row(hex({0x40, 0x1B, 0x0C, 0x1B})) + pageEnd(),
         {{0x1B, 0x0C, 0x1B}}},
    };
    for (const auto& c : cases) {
        const auto pages = decodedPages(job(c.pages));
        ASSERT_FALSE(pages.empty()) << c.what;
        EXPECT_EQ(pages.back().rows, c.rows) << c.what;
        EXPECT_EQ(problems(job(c.pages)), none) << c.what;
    }
}

TEST(JobDecoder, ReadsJobSettingsAndTellsJobFromPageCommands) {
    const std::string header = pjlHeader("Q\"4%", "@PJL SET DENSITY = 3\n") + esc("*t600R") + esc("&u600D") +
                               esc("&l1X") + esc("&l101A") + esc("&f8.50G") + esc("&f11.00F") +
                               esc("&n11WdCard Stock") + esc("&l0E");
    const std::string bytes = job(pageStart(1, 1, esc("&l4H")) + pageEnd() + pageStart(1, 1, esc("&l1H")) + pageEnd(), header);
    const auto j = pclinspect::decodeJob(asBytes(bytes));
    EXPECT_EQ(j.jobName, "Q\"4%");
    EXPECT_EQ(j.jobCopies, 1);
    EXPECT_FALSE(j.jobSource.has_value());
    ASSERT_EQ(j.pages.size(), 2u);
    EXPECT_EQ(j.pages[0].sourceCommand, 4);
    EXPECT_EQ(j.pages[1].sourceCommand, 1);
    EXPECT_FALSE(j.pages[0].copiesCommand.has_value());
    EXPECT_EQ(j.pages[1].settings.pageSize, 101);
    EXPECT_EQ(j.pages[1].settings.customWidth, "8.50");
    EXPECT_EQ(j.pages[1].settings.mediaType, "Card Stock");
    EXPECT_EQ(problems(bytes), none);
}

TEST(JobDecoder, LeavesRowsOutWhenAskedButKeepsTheStatistics) {
    pclinspect::DecodeOptions options;
    options.keepRasters = false;
    int seen = 0;
    options.onPage = [&](const pclinspect::Page& p) {
        ++seen;
        EXPECT_EQ(p.raster.rows.size(), 2u) << "the callback sees the rows";
    };
    const std::string bytes = smallJob();
    const auto j = pclinspect::decodeJob(asBytes(bytes), options);
    EXPECT_EQ(seen, 1);
    ASSERT_EQ(j.pages.size(), 1u);
    EXPECT_TRUE(j.pages[0].raster.rows.empty());
    EXPECT_EQ(j.pages[0].stats.rowsSkipped, 1u);
}

}  // namespace
