// Page headers that libcups 2.4 accepts but no real page has: each job still
// ends quickly (the test's CTest timeout is the bound), with bounded standard
// error and memory, and a printer stream whose pages are all closed.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <sys/resource.h>

#include <cups/raster.h>

#include "support/filterRunner.h"
#include "support/inspect.h"
#include "support/rasterWriter.h"

namespace corvane {
namespace {

using row = std::vector<std::uint8_t>;
using test::RasterMode;

const std::string unreadable = "ERROR: Cannot read the line of print data.";
const std::string noMemory = "ERROR: Cannot allocate memory space for temporary storage.";

constexpr std::size_t heightField = offsetof(cups_page_header2_t, cupsHeight);
constexpr std::size_t widthField = offsetof(cups_page_header2_t, cupsWidth);
constexpr std::size_t bytesPerLineField = offsetof(cups_page_header2_t, cupsBytesPerLine);
constexpr std::size_t bitsPerPixelField = offsetof(cups_page_header2_t, cupsBitsPerPixel);

// Standard error as runs of equal lines, "N x line" each: 60000 lines compare in one go.
std::string lineRuns(const std::string& text) {
    std::string runs, last;
    std::size_t count = 0;
    for (std::size_t start = 0, end; start < text.size(); start = end + 1) {
        end = text.find('\n', start);
        const std::string line = text.substr(start, end - start);
        if (line != last && count > 0) runs += std::to_string(count) + " x " + last + "\n", count = 0;
        last = line;
        ++count;
    }
    return count > 0 ? runs + std::to_string(count) + " x " + last + "\n" : runs;
}

TEST(HostileHeader, PagesEndWithBoundedErrorsAndMemory) {
    struct patch {
        std::size_t field;
        std::uint32_t value;
    };
    struct hostileCase {
        const char* what;
        std::vector<patch> patches;
        std::vector<RasterMode> modes;
        std::string errors;  // as lineRuns
        bool rowsGoOut;      // the two inked rows, and a move past the white one
        unsigned bytesPerLine = 12;
        std::string declares = "";  // the raster size command sent
    };
    const std::vector<RasterMode> both = {RasterMode::uncompressed, RasterMode::compressed};
    const std::string memoryLine = "1 x " + noMemory + "\n";
    const std::vector<hostileCase> cases = {
        // 3 rows read, 60000 reported one by one, the rest in one line.
        {"four billion rows", {{heightField, 4'000'000'000u}}, both,
         "60000 x " + unreadable + "\n1 x ERROR: Cannot read the remaining 3999939997 lines of print data.\n", true},
        {"60000 rows missing", {{heightField, 60'003u}}, {RasterMode::compressed}, "60000 x " + unreadable + "\n", true},
        {"60001 rows missing", {{heightField, 60'004u}}, {RasterMode::compressed},
         "60000 x " + unreadable + "\n1 x ERROR: Cannot read the remaining 1 lines of print data.\n", true},
        {"rows just above 16 MiB", {{bytesPerLineField, 16u * 1024 * 1024 + 5}}, {RasterMode::compressed}, memoryLine, false},
        // libcups 2.4 accepts any cupsBytesPerLine that is a whole number of
        // pixels: it refuses 2,000,000,000 at 24 bits per pixel, not at 8.
        {"2 GB rows", {{bytesPerLineField, 2'000'000'001u}}, {RasterMode::uncompressed}, memoryLine, false},
        {"2 GB rows, 8 bits", {{bytesPerLineField, 2'000'000'000u}, {bitsPerPixelField, 8}}, {RasterMode::compressed},
         memoryLine, false},
        {"width zero", {{widthField, 0}}, both, "", true, 12, "\x1b*r3t0S"},
        {"30-byte rows, 4 pixels wide", {{bytesPerLineField, 30}}, {RasterMode::uncompressed}, "", true, 30},
        {"3-byte rows, 4 billion pixels wide", {{bytesPerLineField, 3}, {widthField, 4'000'000'000u}},
         {RasterMode::uncompressed}, "", true, 3},
    };
    for (const auto& c : cases) {
        for (const auto mode : c.modes) {
            SCOPED_TRACE(std::string(c.what) + (mode == RasterMode::compressed ? ", compressed" : ""));
            const unsigned bytes = c.bytesPerLine;
            const std::vector<row> rows = {row(bytes, 0x11), test::whiteRow(bytes), row(bytes, 0x22)};
            std::string stream = test::writeRaster({{4, 3, bytes, rows}}, mode);
            for (const auto& [field, value] : c.patches) test::setFirstHeaderField(stream, field, value);
            const auto result = test::runFilter({.input = stream});
            EXPECT_EQ(result.exitStatus, 0);
            EXPECT_EQ(lineRuns(result.err), c.errors);
            test::expectWellFramed(result.out, 1);
            const auto stats = test::decodeLight(result.out).pages.at(0).stats;
            EXPECT_EQ(stats.rowsSent, c.rowsGoOut ? 2u : 0u);
            EXPECT_EQ(stats.cursorMoves, c.rowsGoOut ? 1u : 0u);
            EXPECT_TRUE(c.rowsGoOut || result.out.find("\x1b*b3M") == std::string::npos);
            EXPECT_NE(result.out.find(c.declares), std::string::npos);
        }
    }
    // libcups reserves a 2 GB row itself but leaves it untouched; a filter
    // that allocated (and cleared) its own rows would be gigabytes resident.
    if (!std::getenv("CORVANE_FILTER_WRAPPER")) {
        rusage usage{};
        getrusage(RUSAGE_CHILDREN, &usage);
        EXPECT_LT(usage.ru_maxrss / 1024, 1024);
    }
}

TEST(HostileHeader, TruncatedCompressedStreamGivesNoPhantomRow) {
    // Eight pixels that all differ: libcups encodes each row alike, so the
    // stream can be cut in the middle of row 2. libcups then hands back an
    // all-zero row for row 3 if asked; the filter must not ask.
    std::vector<row> rows;
    for (int y = 0; y < 5; ++y) {
        row r(24);
        for (std::size_t i = 0; i < r.size(); ++i) r[i] = static_cast<std::uint8_t>(1 + 40 * y + 7 * i);
        rows.push_back(r);
    }
    std::string stream = test::writeRaster({{8, 5, 0, rows}}, RasterMode::compressed);
    const std::size_t header = 4 + sizeof(cups_page_header2_t);
    const std::size_t rowBytes = (stream.size() - header) / 5;
    ASSERT_EQ(stream.size(), header + 5 * rowBytes);
    stream.resize(header + 2 * rowBytes + rowBytes / 2);

    const auto result = test::runFilter({.input = stream});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(lineRuns(result.err), "3 x " + unreadable + "\n");
    test::expectWellFramed(result.out, 1);
    const auto stats = test::decodeLight(result.out).pages.at(0).stats;
    EXPECT_EQ(stats.rowsSent, 2u);
    EXPECT_EQ(stats.rowsRepeated + stats.cursorMoves, 0u);
    const auto rasters = test::decodedPages(result.out);
    ASSERT_EQ(rasters.size(), 1u);
    EXPECT_EQ(rasters[0].rows, (std::vector<row>{rows[0], rows[1], test::whiteRow(24), test::whiteRow(24),
                                                 test::whiteRow(24)}));
}

// libcups reads PWG media names with dimensions of any number of digits (these
// as INT_MIN and -1119879168 hundredths of a millimetre); matching them
// against the paper sizes must not overflow.
TEST(HostileOptions, PwgMediaWithHugeDimensionsStillPrints) {
    for (const char* media : {"media=iso_a5_148x2000000000000100000000000000000000000000000mm",
                              "PageSize=iso_a5_148x20000000000000000000mm"}) {
        const auto result = test::runFilter({.options = media, .input = test::writeRaster({{4, 1, 0, {row(12, 0)}}})});
        EXPECT_EQ(result.exitStatus, 0) << media;
        test::expectWellFramed(result.out, 1);
    }
}

}  // namespace
}  // namespace corvane
