// The built filter on raster streams written by libcups, compared as whole
// printer streams.
#include <gtest/gtest.h>

#include <cstddef>
#include <cups/raster.h>

#include "support/bytes.h"
#include "support/filterRunner.h"
#include "support/rasterWriter.h"

namespace corvane {
namespace {

using test::RasterPage;
using test::hex;
using test::pjlHeader;
using test::printable;
using test::whiteRow;
using row = std::vector<std::uint8_t>;

const std::string jobPreamble = "\x1b*t600R\x1b&u600D\x1b&l0E";
const std::string pageEnd = "\x1b*v0O\x1b*v0N\x1b*l252O\x0c";
const std::string jobEnd = std::string("\x1b" "E") + std::string(test::uel);

std::string pagePreamble(unsigned width, unsigned height) {
    return std::string("\x1b*p0Y\x1b*p0P\x1b*v6W\x00\x03\x00\x08\x08\x08\x1b*r1A", 26) + "\x1b*r" +
           std::to_string(height) + "t" + std::to_string(width) + "S";
}

// The whole stream of a job without options whose pages produce `pages`
// (each: the bytes between the page preamble and ESC*rC).
std::string expectedJob(const std::vector<std::pair<std::pair<unsigned, unsigned>, std::string>>& pages) {
    std::string out = pjlHeader();
    if (!pages.empty()) out += jobPreamble;
    for (const auto& [size, rows] : pages)
        out += pagePreamble(size.first, size.second) + rows + "\x1b*rC" + pageEnd;
    return out + jobEnd;
}

test::FilterResult print(const std::vector<RasterPage>& pages,
                         test::RasterMode mode = test::RasterMode::uncompressed) {
    test::FilterRun run;
    run.input = test::writeRaster(pages, mode);
    return test::runFilter(run);
}

const row blackMiddle = {0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF};
const std::string blackMiddleDelta = hex({0x40, 0xFF, 0xFF, 0xFF, 0x46, 0xFF, 0xFF, 0xFF});

TEST(EndToEnd, FourByTwoPageInBothRowOrders) {
    for (auto mode : {test::RasterMode::uncompressed, test::RasterMode::compressed}) {
        const auto blankFirst = print({{4, 2, 0, {whiteRow(12), blackMiddle}}}, mode);
        EXPECT_EQ(blankFirst.exitStatus, 0);
        EXPECT_EQ(blankFirst.err, "");
        EXPECT_EQ(blankFirst.out,
                  expectedJob({{{4, 2}, "\x1b*b3M\x1b*p0X\x1b*p1Y\x1b*b8W" + blackMiddleDelta}}))
            << printable(blankFirst.out.substr(5000));

        const auto blankLast = print({{4, 2, 0, {blackMiddle, whiteRow(12)}}}, mode);
        EXPECT_EQ(blankLast.out, expectedJob({{{4, 2}, "\x1b*b3M\x1b*b8W" + blackMiddleDelta}}));
    }
}

TEST(EndToEnd, RepeatsSkipsAndSeedRowResets) {
    const row a = {1, 2, 3, 4, 5, 6};
    const row zeros(6, 0);
    const auto result = print({{2, 7, 0, {a, a, whiteRow(6), a, whiteRow(6), zeros, zeros}}});
    const std::string aFromZero = hex({0xA0, 1, 2, 3, 4, 5, 6});
    EXPECT_EQ(result.out, expectedJob({{{2, 7},
                                        "\x1b*b3M"
                                        "\x1b*b7W" + aFromZero +  // row 0
                                        "\x1b*b0W"                // row 1 repeats the seed
                                        "\x1b*p0X\x1b*p3Y\x1b*b7W" + aFromZero +  // row 3, seed reset
                                        "\x1b*p0X\x1b*p5Y\x1b*b0W"  // zero row after a blank row
                                        "\x1b*b0W"}}))
        << printable(result.out.substr(5000));
}

TEST(EndToEnd, BlankPageAndPagesOfDifferentSizes) {
    const auto result = print({{3, 2, 0, {whiteRow(9), whiteRow(9)}},
                               {1, 1, 0, {{0, 0, 0}}},
                               {4, 2, 0, {blackMiddle, blackMiddle}}});
    EXPECT_EQ(result.out, expectedJob({{{3, 2}, "\x1b*b3M"},
                                       {{1, 1}, "\x1b*b3M\x1b*b0W"},
                                       {{4, 2}, "\x1b*b3M\x1b*b8W" + blackMiddleDelta + "\x1b*b0W"}}));
}

TEST(EndToEnd, NoPagesStillFramesTheJob) {
    for (const std::string& input : {std::string(), std::string("garbage, not raster")}) {
        test::FilterRun run;
        run.input = input;
        const auto result = test::runFilter(run);
        EXPECT_EQ(result.exitStatus, 0);
        EXPECT_EQ(result.out, expectedJob({}));
    }
}

TEST(EndToEnd, WrongArgumentCountIsRefused) {
    for (int count : {0, 4, 7}) {
        test::TempDir tmp;
        test::FilterRun run;
        run.args = std::vector<std::string>(static_cast<std::size_t>(count), "x");
        run.env["TMPDIR"] = tmp.path();
        const auto result = test::runFilter(run);
        EXPECT_EQ(result.exitStatus, 1) << count;
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err,
                  "ERROR: Cannot execute Corvane filter.\nERROR: Cannot execute Corvane filter.\n");
        EXPECT_EQ(test::readFile(tmp.file("cvn_version")), "Version = 1.0\n");
        EXPECT_FALSE(test::fileExists(tmp.file("cvn_args")));
    }
}

TEST(EndToEnd, FileArgumentDoesNotReplaceStandardInput) {
    test::FilterRun run;
    run.args = std::vector<std::string>{"1", "u", "t", "1", "", "/nonexistent/file"};
    run.input = test::writeRaster({{4, 2, 0, {blackMiddle, whiteRow(12)}}});
    const auto result = test::runFilter(run);
    EXPECT_EQ(result.out, expectedJob({{{4, 2}, "\x1b*b3M\x1b*b8W" + blackMiddleDelta}}));
}

TEST(EndToEnd, StreamEndingInsideAPageReportsEachMissingRow) {
    const auto result = print({{4, 5, 0, {blackMiddle, blackMiddle}}});
    EXPECT_EQ(result.exitStatus, 0);
    std::string lines;
    for (int i = 0; i < 3; ++i) lines += "ERROR: Cannot read the line of print data.\n";
    EXPECT_EQ(result.err, lines);
    EXPECT_EQ(result.out,
              expectedJob({{{4, 5}, "\x1b*b3M\x1b*b8W" + blackMiddleDelta + "\x1b*b0W"}}));
}

TEST(EndToEnd, RowsBeyondTheSizeLimitTakeTheAllocationFailurePath) {
    std::string stream = test::writeRaster({{4, 2, 0, {blackMiddle, blackMiddle}}});
    test::setFirstHeaderField(stream, offsetof(cups_page_header2_t, cupsBytesPerLine),
                              16u * 1024 * 1024 + 2);  // a whole number of pixels
    test::FilterRun run;
    run.input = stream;
    const auto result = test::runFilter(run);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.err, "ERROR: Cannot allocate memory space for temporary storage.\n");
    EXPECT_EQ(result.out, expectedJob({{{4, 2}, ""}}));
}

TEST(EndToEnd, StatusLinesOnlyUnderThePrintSystem) {
    const auto pages =
        test::writeRaster({{4, 2, 0, {blackMiddle, blackMiddle}}, {4, 1, 0, {blackMiddle}}});
    test::FilterRun run;
    run.input = pages;
    run.options = "com.apple.print.PrintSettings.PMCopies..n.=2";
    const auto bare = test::runFilter(run);
    EXPECT_EQ(bare.err, "");

    run.env["CUPS_SERVERBIN"] = "/usr/lib/cups";
    const auto managed = test::runFilter(run);
    EXPECT_EQ(managed.out, bare.out);
    EXPECT_EQ(managed.err,
              "INFO: Printing page 1\nPAGE: 1 2\nINFO: Printing page 2\nPAGE: 2 2\n");
}

}  // namespace
}  // namespace corvane

namespace corvane {
namespace {

// Job settings through the built filter: the exact preamble after the PJL
// header, and the copies and source commands that start every page.
TEST(JobSettingsEndToEnd, PreambleAndPagePrefixesOverSixPages) {
    struct jobCase {
        const char* name;
        std::string options;
        std::string preamble;
        std::vector<std::string> pagePrefixes;  // pages 1 to 6
    };
    const std::string s = "com.apple.print.PrintSettings.";
    const std::vector<jobCase> cases = {
        {"uncollated, equal sources",
         s + "PMCopyCollate..b.=false " + s + "PMCopies..n.=2 " + s +
             "PMPrimaryPaperFeed..a.1=Tray1 InputSlot=Tray1 media=A4 MediaType=Plain",
         "\x1b*t600R\x1b&u600D\x1b&l26A\x1b&n6WdPlain\x1b&l1H\x1b&l0E",
         std::vector<std::string>(6, "\x1b&l2X\x1b&l1H")},
        {"collated, two sources",
         s + "PMCopyCollate..b.=true " + s + "PMCopies..n.=3 " + s + "PMLastPage..n.=2 " + s +
             "PMPrimaryPaperFeed..a.1=Tray2 InputSlot=Tray1 media=Letter",
         "\x1b*t600R\x1b&u600D\x1b&l1X\x1b&l2A\x1b&l0E",
         {"\x1b&l4H", "\x1b&l1H", "\x1b&l4H", "\x1b&l1H", "\x1b&l4H", "\x1b&l1H"}},
        {"only InputSlot", "InputSlot=Tray3", jobPreamble,
         {"", "\x1b&l5H", "\x1b&l5H", "\x1b&l5H", "\x1b&l5H", "\x1b&l5H"}},
        {"only the first-page source", s + "PMPrimaryPaperFeed..a.1=Tray5",
         "\x1b*t600R\x1b&u600D\x1b&l21H\x1b&l0E", {"\x1b&l21H", "", "", "", "", ""}},
        {"three copies uncollated, Tray2 then Tray4",
         s + "PMCopies..n.=3 " + s + "PMPrimaryPaperFeed..a.1=Tray2 InputSlot=Tray4",
         jobPreamble,
         {"\x1b&l3X\x1b&l4H", "\x1b&l3X\x1b&l20H", "\x1b&l3X\x1b&l20H", "\x1b&l3X\x1b&l20H",
          "\x1b&l3X\x1b&l20H", "\x1b&l3X\x1b&l20H"}},
    };
    const std::vector<RasterPage> pages(6, RasterPage{4, 2, 0, {blackMiddle, blackMiddle}});
    const std::string pageRows = "\x1b*b3M\x1b*b8W" + blackMiddleDelta + "\x1b*b0W";
    for (const auto& job : cases) {
        SCOPED_TRACE(job.name);
        test::FilterRun run;
        run.options = job.options;
        run.input = test::writeRaster(pages);
        const auto result = test::runFilter(run);
        std::string expected = result.out.substr(0, result.out.find("@PJL ENTER LANGUAGE=PCL\n") + 24);
        expected += job.preamble;
        for (const auto& prefix : job.pagePrefixes)
            expected += prefix + pagePreamble(4, 2) + pageRows + "\x1b*rC" + pageEnd;
        EXPECT_EQ(printable(result.out), printable(expected + jobEnd));
    }
}

}  // namespace
}  // namespace corvane
