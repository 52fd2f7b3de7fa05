// Page headers that libcups 2.4 accepts but no real page has, a stream cut
// inside a row, and PWG names with absurd sizes: each job still ends quickly
// (the CTest timeout is the bound), with bounded standard error and memory,
// and a printer stream whose pages are all closed.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <sstream>
#include <sys/resource.h>

#include <cups/raster.h>

#include "support/filterRunner.h"
#include "support/inspect.h"
#include "support/printerBytes.h"
#include "support/rasterWriter.h"

namespace corvane {
namespace {

using namespace test;

const std::string unreadable = "ERROR: Cannot read the line of print data.";

// Standard error as runs of equal lines, "N x line" each: 60000 lines compare in one go.
std::string lineRuns(const std::string& text) {
    std::istringstream lines(text);
    std::string runs, last, line;
    std::size_t count = 0;
    const auto endRun = [&] { runs += count ? std::to_string(count) + " x " + last + "\n" : ""; };
    for (; std::getline(lines, line); ++count)
        if (line != last || count == 0) endRun(), last = line, count = 0;
    endRun();
    return runs;
}

TEST(HostileHeader, PagesEndWithBoundedErrorsAndMemory) {
    constexpr std::size_t height = offsetof(cups_page_header2_t, cupsHeight), width = offsetof(cups_page_header2_t, cupsWidth),
                          bytesPerLine = offsetof(cups_page_header2_t, cupsBytesPerLine),
                          bitsPerPixel = offsetof(cups_page_header2_t, cupsBitsPerPixel);
    const std::string noMemory = "1 x ERROR: Cannot allocate memory space for temporary storage.\n";
    struct hostileCase {
        const char* what;
        std::vector<std::pair<std::size_t, std::uint32_t>> patches;
        RasterMode mode;
        std::string errors;  // as lineRuns
        bool rowsGoOut;      // the two inked rows, and a move past the white one
        unsigned rowBytes = 12;
    };
    const std::vector<hostileCase> cases = {
        // 3 rows read, 60000 reported one by one, the rest in one line.
        {"four billion rows", {{height, 4'000'000'000u}}, RasterMode::uncompressed,
         "60000 x " + unreadable + "\n1 x ERROR: Cannot read the remaining 3999939997 lines of print data.\n", true},
        {"60001 rows missing", {{height, 60'004u}}, RasterMode::compressed,
         "60000 x " + unreadable + "\n1 x ERROR: Cannot read the remaining 1 lines of print data.\n", true},
        {"rows just above 16 MiB", {{bytesPerLine, 16u * 1024 * 1024 + 5}}, RasterMode::compressed, noMemory, false},
        // libcups 2.4 accepts any cupsBytesPerLine that is a whole number of
        // pixels: it refuses 2,000,000,000 at 24 bits per pixel, not at 8.
        {"2 GB rows", {{bytesPerLine, 2'000'000'001u}}, RasterMode::uncompressed, noMemory, false},
        {"2 GB rows, 8 bits", {{bytesPerLine, 2'000'000'000u}, {bitsPerPixel, 8}}, RasterMode::compressed, noMemory, false},
        {"width zero", {{width, 0}}, RasterMode::compressed, "", true},
        {"30-byte rows, 4 pixels wide", {{bytesPerLine, 30}}, RasterMode::uncompressed, "", true, 30},
        {"3-byte rows, 4 billion pixels wide", {{bytesPerLine, 3}, {width, 4'000'000'000u}}, RasterMode::uncompressed, "",
         true, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string stream = writeRaster({{4, 3, c.rowBytes, {row(c.rowBytes, 0x11), whiteRow(c.rowBytes), row(c.rowBytes, 0x22)}}},
                                         c.mode);
        for (const auto& [field, value] : c.patches) setFirstHeaderField(stream, field, value);
        const auto result = runFilter({.input = stream});
        EXPECT_EQ(result.exitStatus, 0);
        EXPECT_EQ(lineRuns(result.err), c.errors);
        expectWellFramed(result.out, 1);
        const auto stats = decodeLight(result.out).pages.at(0).stats;
        EXPECT_EQ(stats.rowsSent, c.rowsGoOut ? 2u : 0u);
        EXPECT_EQ(stats.cursorMoves, c.rowsGoOut ? 1u : 0u);
        EXPECT_TRUE(c.rowsGoOut || result.out.find(esc("*b3M")) == std::string::npos);
    }
    // libcups reserves a 2 GB row itself but leaves it untouched; a filter
    // that allocated (and cleared) its own rows would be gigabytes resident.
    if (!std::getenv("CORVANE_FILTER_WRAPPER")) {
        rusage usage{};
        getrusage(RUSAGE_CHILDREN, &usage);
        EXPECT_LT(usage.ru_maxrss / 1024, 1024);
    }
}

TEST(HostileHeader, StreamCutInsideARowGivesNoPhantomRow) {
    // Rows whose pixels all differ compress alike, so the stream can be cut in
    // the middle of row 2. libcups then hands back an all-zero row for row 3
    // if asked; the filter must not ask.
    std::vector<row> rows(5, row(24));
    for (std::size_t y = 0; y < 5; ++y)
        for (std::size_t i = 0; i < 24; ++i) rows[y][i] = static_cast<std::uint8_t>(1 + 40 * y + 7 * i);
    std::string stream = writeRaster({{8, 5, 0, rows}}, RasterMode::compressed);
    const std::size_t header = 4 + sizeof(cups_page_header2_t), rowBytes = (stream.size() - header) / 5;
    ASSERT_EQ(stream.size(), header + 5 * rowBytes);
    stream.resize(header + 2 * rowBytes + rowBytes / 2);

    const auto result = runFilter({.input = stream});
    EXPECT_EQ(lineRuns(result.err), "3 x " + unreadable + "\n");
    expectWellFramed(result.out, 1);
    EXPECT_EQ(decodeLight(result.out).pages.at(0).stats.rowsRepeated, 0u);
    EXPECT_EQ(decodedPages(result.out).at(0).rows, (std::vector<row>{rows[0], rows[1], whiteRow(24), whiteRow(24), whiteRow(24)}));
}

// PWG names whose dimensions libcups reads as INT_MIN or a wrapped value.
TEST(HostileOptions, PwgMediaWithHugeDimensionsStillPrints) {
    for (const char* media : {"media=iso_a5_148x2000000000000100000000000000000000000000000mm",
                              "PageSize=iso_a5_148x20000000000000000000mm"}) {
        const auto result = runFilter({.options = media, .input = writeRaster({{4, 1, 0, {row(12, 0)}}})});
        EXPECT_EQ(result.exitStatus, 0) << media;
        expectWellFramed(result.out, 1);
    }
}

// Job names typed by hand or passed on by another spooler, quoted as
// libcups reads them. Each stays one PJL string on its line (the comparison
// leaves out the escape run, so that a failure shows the lines).
TEST(HostileOptions, JobNamesCannotAddPrinterCommands) {
    const std::string key = "com.apple.print.JobInfo.PMJobName=";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"'a\n@PJL SET COPIES = 99'", "a @PJL SET COPIES = 99"},
        {"'b\r\n@PJL FSDELETE NAME = \"0:\\\\pcl\"'", "b  @PJL FSDELETE NAME = '0:\\pcl'"},
        {"\"c\x1b%-12345X@PJL ENTER LANGUAGE = POSTSCRIPT\"", "c %-12345X@PJL ENTER LANGUAGE = POSTSCRIPT"},
        {"'say<20>\"hi\"\x7f'", "say 'hi' "},
    };
    for (const auto& [value, written] : cases) {
        const auto result = runFilter({.options = key + value, .input = writeRaster({})});
        ASSERT_GT(result.out.size(), 5000u);
        EXPECT_EQ(result.out.substr(5000), (pjlHeader(written) + jobEnd()).substr(5000)) << value;
    }
}

}  // namespace
}  // namespace corvane
