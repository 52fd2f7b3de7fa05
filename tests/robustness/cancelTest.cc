// Cancelling a job (SIGTERM, as the print system does) while the filter
// waits for rows that are still to come, and a printer side that goes away.
#include <gtest/gtest.h>

#include <csignal>

#include "robustness/filterProcess.h"
#include "robustness/printerCheck.h"
#include "support/rasterWriter.h"

namespace corvane {
namespace {

using row = std::vector<std::uint8_t>;

row patternRow(std::size_t bytes, std::uint8_t seed) {
    row r(bytes);
    for (std::size_t i = 0; i < bytes; ++i) r[i] = static_cast<std::uint8_t>(seed * 31 + i);
    return r;
}

TEST(Cancel, SigtermMidPageEndsThePageAndTheJob) {
    // Page 1 whole; of page 2 (100 rows) only three rows arrive, then the
    // input stays open as if the program before the filter were still busy.
    const std::vector<row> page2Rows = {patternRow(30, 1), patternRow(30, 2), patternRow(30, 3)};
    const std::string stream = test::writeRaster(
        {{10, 2, 0, {patternRow(30, 7), patternRow(30, 8)}}, {10, 100, 0, page2Rows}});
    // The uncompressed writer puts out the rows as given: the stream holds
    // page 1, page 2's header and its first three rows.
    test::filterProcess filter;
    ASSERT_EQ(filter.send(stream), stream.size());
    filter.waitUntilBlockedReading();
    filter.signal(SIGTERM);

    EXPECT_EQ(filter.wait(), 0);
    EXPECT_EQ(filter.err, "");  // a cancelled page reports no unreadable rows
    const auto verdict = test::inspectorCheck(filter.out);
    EXPECT_EQ(verdict.exitStatus, 0) << verdict.report;
    EXPECT_EQ(verdict.report, "no problems\n");

    const auto pages = pclinspect::decodeRasters(
        {reinterpret_cast<const std::uint8_t*>(filter.out.data()), filter.out.size()});
    ASSERT_EQ(pages.size(), 2u);
    ASSERT_EQ(pages[1].rows.size(), 100u);
    for (std::size_t y = 0; y < page2Rows.size(); ++y) EXPECT_EQ(pages[1].rows[y], page2Rows[y]);
    EXPECT_EQ(pages[1].rows[3], test::whiteRow(30));
}

TEST(Cancel, SigtermBetweenPagesClosesTheJob) {
    const std::string stream = test::writeRaster({{10, 1, 0, {patternRow(30, 1)}}});
    test::filterProcess filter;
    ASSERT_EQ(filter.send(stream), stream.size());
    filter.waitUntilBlockedReading();  // waiting for the next page header
    filter.signal(SIGTERM);
    EXPECT_EQ(filter.wait(), 0);
    EXPECT_EQ(filter.err, "");
    EXPECT_EQ(test::inspectorCheck(filter.out).report, "no problems\n");
    test::expectWellFramed(filter.out, 1);
}

TEST(ClosedOutput, JobEndsWithoutReadingTheRestOfTheInput) {
    // About 40 MB of raster whose rows all go out: far more than the pipes
    // and the filter's buffers hold together.
    std::vector<test::RasterPage> pages;
    for (int p = 0; p < 4; ++p) {
        test::RasterPage page{3000, 1500, 0, {}};
        for (unsigned y = 0; y < page.height; ++y)
            page.rows.push_back(patternRow(9000, static_cast<std::uint8_t>(y + p)));
        pages.push_back(std::move(page));
    }
    const std::string stream = test::writeRaster(pages);

    test::filterProcess filter;
    // Let the PJL header through, then the printer goes away.
    const std::size_t firstPart = filter.send(std::string_view(stream).substr(0, 100'000));
    ASSERT_EQ(firstPart, 100'000u);
    filter.closeOutput();
    const std::size_t taken = firstPart + filter.send(std::string_view(stream).substr(100'000));
    EXPECT_EQ(filter.wait(), 1);
    EXPECT_LT(taken, stream.size() / 2);
    EXPECT_EQ(filter.err, "ERROR: The printer stopped taking the print stream.\n");
}

}  // namespace
}  // namespace corvane
