#include "pclinspect/jobDecoder.h"

#include <gtest/gtest.h>

#include "streams.h"

namespace {

using namespace corvane::test;
using pclinspect::decodeJob;
using Row = std::vector<std::uint8_t>;

std::string job(const std::string& pages) { return pjlHeader() + jobPreamble() + pages + jobEnd(); }

pclinspect::Job decode(const std::string& bytes) { return decodeJob(asBytes(bytes)); }

std::string problemList(const pclinspect::Job& j) {
    std::string s;
    for (const auto& p : j.problems) s += std::to_string(p.offset) + ": " + p.message + "\n";
    return s;
}

TEST(JobDecoder, ReadsTheCombinedRasterSizeAsHeightThenWidth) {
    const auto j = decode(job(pageStart(3, 2) + pageEnd()));
    ASSERT_EQ(j.pages.size(), 1u);
    EXPECT_EQ(j.pages[0].raster.height, 3u);
    EXPECT_EQ(j.pages[0].raster.width, 2u);
    EXPECT_EQ(j.pages[0].raster.rowBytes, 6u);
    EXPECT_EQ(j.pages[0].raster.rows, std::vector<Row>(3, Row(6, 0xFF))) << "rows not sent are white";
    EXPECT_TRUE(j.problems.empty()) << problemList(j);
}

TEST(JobDecoder, ACursorMoveClearsTheSeedRow) {
    // Row 0 = 01..06; after the move, "one byte at 0" lands on zeros, and a
    // repeat after another move is an all-zero row.
    const std::string rows = row(hex({0xA0, 1, 2, 3, 4, 5, 6})) + moveTo(2) + row(hex({0x00, 9})) + moveTo(4) +
                             esc("*b0W");
    const auto j = decode(job(pageStart(5, 2) + rows + pageEnd()));
    ASSERT_EQ(j.pages.size(), 1u);
    const auto& r = j.pages[0].raster.rows;
    EXPECT_EQ(r[0], (Row{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(r[1], Row(6, 0xFF));
    EXPECT_EQ(r[2], (Row{9, 0, 0, 0, 0, 0}));
    EXPECT_EQ(r[3], Row(6, 0xFF));
    EXPECT_EQ(r[4], Row(6, 0));
    EXPECT_EQ(j.pages[0].stats.rowsSent, 2u);
    EXPECT_EQ(j.pages[0].stats.rowsRepeated, 1u);
    EXPECT_EQ(j.pages[0].stats.rowsSkipped, 2u);
    EXPECT_EQ(j.pages[0].stats.cursorMoves, 2u);
    EXPECT_TRUE(j.problems.empty()) << problemList(j);
}

TEST(JobDecoder, AnUnencodedRowBecomesTheSeedForTheNextDeltaRow) {
    const std::string rows = esc("*b0M") + row(hex({1, 2, 3, 4, 5, 6})) + esc("*b3M") + row(hex({0x05, 7}));
    const auto j = decode(job(pageStart(2, 2) + rows + pageEnd()));
    ASSERT_EQ(j.pages.size(), 1u);
    EXPECT_EQ(j.pages[0].raster.rows[0], (Row{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(j.pages[0].raster.rows[1], (Row{1, 2, 3, 4, 5, 7}));
    EXPECT_TRUE(j.problems.empty()) << problemList(j);
}

TEST(JobDecoder, EveryPageStartsWithAZeroSeedRowAndItsOwnSize) {
    const std::string page1 = pageStart(1, 2) + row(hex({0xA0, 1, 2, 3, 4, 5, 6})) + pageEnd();
    const std::string page2 = pageStart(2, 1) + esc("*b0W") + row(hex({0x02, 8})) + pageEnd();
    const auto j = decode(job(page1 + page2));
    ASSERT_EQ(j.pages.size(), 2u);
    EXPECT_EQ(j.pages[1].raster.width, 1u);
    EXPECT_EQ(j.pages[1].raster.rows, (std::vector<Row>{Row{0, 0, 0}, Row{0, 0, 8}}));
    EXPECT_TRUE(j.problems.empty()) << problemList(j);
}

TEST(JobDecoder, RowDataHoldingEscapeAndFormFeedBytesStaysData) {
    const std::string rows = row(hex({0x40, 0x1B, 0x0C, 0x1B}));
    const auto j = decode(job(pageStart(1, 1) + rows + pageEnd()));
    ASSERT_EQ(j.pages.size(), 1u);
    EXPECT_EQ(j.pages[0].raster.rows[0], (Row{0x1B, 0x0C, 0x1B}));
    EXPECT_TRUE(j.problems.empty()) << problemList(j);
}

TEST(JobDecoder, ReadsJobSettingsAndTellsJobFromPageCommands) {
    const std::string header = pjlHeader("Q\"4%", "@PJL SET DENSITY = 3\n@PJL SET ECONOMODE = OFF\n");
    const std::string preamble = esc("*t600R") + esc("&u600D") + esc("&l1X") + esc("&l101A") + esc("&f8.50G") +
                                 esc("&f11.00F") + esc("&n11WdCard Stock") + esc("&l0E");
    const std::string pages = pageStart(1, 1, esc("&l4H")) + pageEnd() + pageStart(1, 1, esc("&l1H")) + pageEnd();
    const auto j = decode(header + preamble + pages + jobEnd());
    EXPECT_EQ(j.jobName, "Q\"4%");
    EXPECT_EQ(j.escapeRun, 5000u);
    ASSERT_EQ(j.pjlSettings.size(), 5u);
    EXPECT_EQ(j.pjlSettings[2], (std::pair<std::string, std::string>{"DENSITY", "3"}));
    EXPECT_EQ(j.jobCopies, 1);
    EXPECT_FALSE(j.jobSource.has_value());
    ASSERT_EQ(j.pages.size(), 2u);
    EXPECT_EQ(j.pages[0].sourceCommand, 4);
    EXPECT_EQ(j.pages[1].sourceCommand, 1);
    EXPECT_FALSE(j.pages[0].copiesCommand.has_value());
    EXPECT_EQ(j.pages[1].settings.pageSize, 101);
    EXPECT_EQ(j.pages[1].settings.customWidth, "8.50");
    EXPECT_EQ(j.pages[1].settings.mediaType, "Card Stock");
    EXPECT_TRUE(j.uelAtStart && j.uelAtEnd && j.resetAtEnd);
    EXPECT_TRUE(j.problems.empty()) << problemList(j);
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
    const auto j = decodeJob(asBytes(bytes), options);
    EXPECT_EQ(seen, 1);
    ASSERT_EQ(j.pages.size(), 1u);
    EXPECT_TRUE(j.pages[0].raster.rows.empty());
    EXPECT_EQ(j.pages[0].stats.rowsSkipped, 1u);
}

}  // namespace
