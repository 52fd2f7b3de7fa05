// The built filter on raster written by libcups: its printer stream equals
// the encoder's, driven directly with the same rows and settings, and the
// front end's own duties (argument count, error and status lines) hold.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/filterRunner.h"
#include "support/printerBytes.h"
#include "support/rasterWriter.h"

namespace corvane {
namespace {

using namespace test;

TEST(EncoderMatchesFilter, SameRowsAndSettingsGiveTheSameBytes) {
    const std::string s = "com.apple.print.PrintSettings.";
    const row a = {1, 2, 3, 4, 5, 6}, white = whiteRow(6), zeros(6, 0);
    const row blackMiddle = {0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF};
    row nearlyBlack(36000, 0);
    nearlyBlack[20000] = 7;
    const std::vector<RasterPage> twoSmallPages = {{4, 2, 0, {whiteRow(12), blackMiddle}}, {4, 2, 0, {blackMiddle, blackMiddle}}};
    const std::string unreadable = "ERROR: Cannot read the line of print data.\n";
    struct matchCase {
        const char* what;
        optionMap options;
        std::vector<RasterPage> pages;
        std::string errors;
        std::string notSentToFilter = "";  // a key the filter's option adaptation fills itself
    };
    const std::vector<matchCase> cases = {
        {"blank rows, repeats and seed resets", {}, {{2, 7, 0, {a, a, white, a, white, zeros, zeros}}, twoSmallPages[0]}, ""},
        {"the job settings of a collated job from two trays",
         {{s + "PMCopyCollate..b.", "true"}, {s + "PMCopies..n.", "3"}, {s + "PMLastPage..n.", "2"},
          {s + "PMPrimaryPaperFeed..a.1", "Tray2"}, {"InputSlot", "Tray1"}, {"media", "Letter"}},
         {twoSmallPages[0], twoSmallPages[1], twoSmallPages[0]}, ""},
        {"toner, job name, media type and one tray",
         {{"media", "A4"}, {"MediaType", "Plain"}, {"InputSlot", "Tray2"}, {s + "PMPrimaryPaperFeed..a.1", "Tray2"},
          {"TonerDarkness", "8"}, {"com.apple.print.JobInfo.PMJobName", "Report\xA9"}},
         twoSmallPages, ""},
        {"one tray for every page, the first page's named by InputSlot too",
         {{"InputSlot", "Tray3"}, {s + "PMPrimaryPaperFeed..a.1", "Tray3"}}, twoSmallPages, "",
         s + "PMPrimaryPaperFeed..a.1"},
        {"an unusable custom size", {{"media", "Custom.300"}}, twoSmallPages, "ERROR: Custom media size value\n"},
        {"rows sent unencoded, rows too wide to send",
         {},
         {{10500, 2, 0, {patternRow(31500, 1), patternRow(31500, 1)}}, {12000, 2, 0, {patternRow(36000, 1), nearlyBlack}}},
         "ERROR: Page 2 has rows too wide to send; they were left out.\n"},
        // Uncompressed (even index): libcups's writer holds back equal rows until the page ends.
        {"a stream that ends inside a page", {}, {{4, 5, 0, {blackMiddle, blackMiddle}}}, unreadable + unreadable + unreadable},
        {"no pages", {}, {}, ""},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(c.what);
        FilterRun run{.input = writeRaster(c.pages, i % 2 ? RasterMode::compressed : RasterMode::uncompressed)};
        for (const auto& [key, value] : c.options)
            if (key != c.notSentToFilter) run.options += key + "=" + value + " ";
        const auto filter = runFilter(run);
        EXPECT_EQ(filter.exitStatus, 0);
        EXPECT_EQ(filter.err, c.errors);
        const std::string direct = encodeJob(c.options, c.pages).stream;
        const std::size_t same = static_cast<std::size_t>(
            std::mismatch(filter.out.begin(), filter.out.end(), direct.begin(), direct.end()).first - filter.out.begin());
        EXPECT_TRUE(filter.out == direct) << "from byte " << same << ": " << testing::PrintToString(filter.out.substr(same, 40))
                                          << " instead of " << testing::PrintToString(direct.substr(same, 40));
    }
}

TEST(Filter, ArgumentCountAndInputThatIsNotRaster) {
    const std::string raster = writeRaster({{1, 1, 0, {{0, 0, 0}}}});
    const std::string standard = runFilter({.input = raster}).out;
    EXPECT_EQ(standard, pjlHeader() + jobPreamble() + pageStart(1, 1) + repeatRow() + pageEnd() + jobEnd());
    // A sixth argument names a file, but the raster is read from standard input.
    EXPECT_EQ(runFilter({.input = raster, .args = std::vector<std::string>{"1", "u", "t", "1", "", "/nonexistent"}}).out,
              standard);
    EXPECT_EQ(runFilter({.input = "garbage, not raster"}).out, pjlHeader() + jobEnd());
    for (std::size_t count : {0, 4, 7}) {
        TempDir tmp;
        const auto refused = runFilter({.input = raster, .args = std::vector<std::string>(count, "x"),
                                        .env = {{"TMPDIR", tmp.path}}});
        EXPECT_EQ(refused.exitStatus, 1) << count;
        EXPECT_EQ(refused.out, "");
        EXPECT_EQ(refused.err, "ERROR: Cannot execute Corvane filter.\nERROR: Cannot execute Corvane filter.\n");
        EXPECT_EQ(readFile(tmp.file("cvn_version")), "Version = 1.0\n");
    }
}

TEST(Filter, StatusLinesOnlyUnderThePrintSystem) {
    const row black(12, 0);
    FilterRun run{.options = "com.apple.print.PrintSettings.PMCopies..n.=2",
                  .input = writeRaster({{4, 2, 0, {black, black}}, {4, 1, 0, {black}}})};
    const auto bare = runFilter(run);
    EXPECT_EQ(bare.err, "");
    run.env["CUPS_SERVERBIN"] = "/usr/lib/cups";
    const auto managed = runFilter(run);
    EXPECT_EQ(managed.out, bare.out);
    EXPECT_EQ(managed.err, "INFO: Printing page 1\nPAGE: 1 2\nINFO: Printing page 2\nPAGE: 2 2\n");
}

}  // namespace
}  // namespace corvane
