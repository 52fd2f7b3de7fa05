// Cancelling a job (SIGTERM, as the print system does) while the filter
// waits for input that is still to come, and a printer side that goes away.
#include <gtest/gtest.h>

#include <csignal>

#include "support/filterRunner.h"
#include "support/inspect.h"
#include "support/rasterWriter.h"

namespace corvane {
namespace {

using test::patternRow;
using test::whiteRow;

TEST(Cancel, SigtermWhileWaitingForInputEndsThePageAndTheJob) {
    // The input stays open as if the program before the filter were still
    // busy: mid-page (of 100 rows only three arrived), or before a next page.
    const std::vector<std::vector<test::RasterPage>> jobs = {
        {{10, 2, 0, {patternRow(30, 7), patternRow(30, 8)}},
         {10, 100, 0, {patternRow(30, 1), patternRow(30, 2), patternRow(30, 3)}}},
        {{10, 1, 0, {patternRow(30, 1)}}},
    };
    for (const auto& pages : jobs) {
        SCOPED_TRACE(pages.size());
        // The uncompressed writer puts out the rows as given, and no more.
        const std::string stream = test::writeRaster(pages);
        test::filterProcess filter({});
        ASSERT_EQ(filter.send(stream), stream.size());
        filter.waitUntilBlockedReading();
        filter.signal(SIGTERM);

        const auto result = filter.wait();
        EXPECT_EQ(result.exitStatus, 0);
        EXPECT_EQ(result.err, "");  // a cancelled page reports no unreadable rows
        EXPECT_EQ(test::problems(result.out), std::vector<std::string>{});  // every page ended, reset and UEL
        const auto decoded = test::decodedPages(result.out);
        ASSERT_EQ(decoded.size(), pages.size());
        for (std::size_t p = 0; p < pages.size(); ++p) {
            auto expected = pages[p].rows;
            expected.resize(pages[p].height, whiteRow(30));
            EXPECT_EQ(decoded[p].rows, expected) << "page " << p + 1;
        }
    }
}

TEST(ClosedOutput, JobEndsWithoutReadingTheRestOfTheInput) {
    // About 40 MB of raster whose rows all go out: far more than the pipes
    // and the filter's buffers hold together.
    std::vector<test::RasterPage> pages;
    for (int p = 0; p < 4; ++p) {
        test::RasterPage page{3000, 1500, 0, {}};
        for (unsigned y = 0; y < page.height; ++y) page.rows.push_back(patternRow(9000, static_cast<std::uint8_t>(y + p)));
        pages.push_back(std::move(page));
    }
    const std::string stream = test::writeRaster(pages);

    // The printer goes away once the job has begun.
    test::filterProcess filter({}, true);
    filter.closeOutputAfter(5000);
    EXPECT_LT(filter.send(stream), stream.size() / 2);
    const auto result = filter.wait();
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.err, "ERROR: The printer stopped taking the print stream.\n");
}

}  // namespace
}  // namespace corvane
