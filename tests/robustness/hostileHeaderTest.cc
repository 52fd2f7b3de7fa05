// Page headers that libcups 2.4 accepts but no real page has: each job still
// ends quickly (the test's CTest timeout is the bound), with bounded standard
// error and memory, and a printer stream whose pages are all closed.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <sys/resource.h>

#include <cups/raster.h>

#include "robustness/printerCheck.h"
#include "support/filterRunner.h"
#include "support/rasterWriter.h"

namespace corvane {
namespace {

using row = std::vector<std::uint8_t>;

const std::string unreadableLine = "ERROR: Cannot read the line of print data.";
const row blackMiddle = {0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF};
const row grey = test::filledRow(12, 0x80);

constexpr std::size_t heightField = offsetof(cups_page_header2_t, cupsHeight);
constexpr std::size_t widthField = offsetof(cups_page_header2_t, cupsWidth);
constexpr std::size_t bytesPerLineField = offsetof(cups_page_header2_t, cupsBytesPerLine);
constexpr std::size_t bitsPerPixelField = offsetof(cups_page_header2_t, cupsBitsPerPixel);

struct patch {
    std::size_t field;
    std::uint32_t value;
};

std::string hostileStream(const std::vector<patch>& patches, test::RasterMode mode,
                          const std::vector<row>& rows = {blackMiddle, grey, blackMiddle}) {
    std::string stream = test::writeRaster(
        {{4, static_cast<unsigned>(rows.size()), 0, rows}}, mode);
    for (const auto& [field, value] : patches) test::setFirstHeaderField(stream, field, value);
    return stream;
}

test::FilterResult print(const std::string& stream) {
    test::FilterRun run;
    run.input = stream;
    return test::runFilter(run);
}

// Largest resident size of the filters this test process has waited for.
long childPeakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_maxrss / 1024;
}

bool underWrapper() { return std::getenv("CORVANE_FILTER_WRAPPER") != nullptr; }

const test::RasterMode bothModes[] = {test::RasterMode::uncompressed, test::RasterMode::compressed};

TEST(HostileHeader, FourBillionRowsStopAfterCappedErrorLines) {
    for (auto mode : bothModes) {
        const auto result = print(hostileStream({{heightField, 4'000'000'000u}}, mode));
        EXPECT_EQ(result.exitStatus, 0);
        const auto errorLines = test::lines(result.err);
        ASSERT_EQ(errorLines.size(), 60001u);
        EXPECT_EQ(errorLines.front(), unreadableLine);
        EXPECT_EQ(errorLines[59999], unreadableLine);
        // 3 rows read, 60000 reported one by one.
        EXPECT_EQ(errorLines.back(),
                  "ERROR: Cannot read the remaining 3999939997 lines of print data.");
        test::expectWellFramed(result.out, 1);
        EXPECT_EQ(test::decodeLight(result.out).pages.at(0).stats.rowsSent, 3u);
    }
}

TEST(HostileHeader, OrdinaryTruncatedPagesKeepOneLinePerMissingRow) {
    // 60000 missing rows: every one has its line. One more: the summary.
    const auto atCap = print(hostileStream({{heightField, 60'003u}}, test::RasterMode::compressed));
    const auto atCapLines = test::lines(atCap.err);
    EXPECT_EQ(atCapLines.size(), 60000u);
    EXPECT_EQ(atCapLines.back(), unreadableLine);

    const auto beyond = print(hostileStream({{heightField, 60'004u}}, test::RasterMode::compressed));
    const auto beyondLines = test::lines(beyond.err);
    ASSERT_EQ(beyondLines.size(), 60001u);
    EXPECT_EQ(beyondLines.back(), "ERROR: Cannot read the remaining 1 lines of print data.");
    test::expectWellFramed(beyond.out, 1);
}

void expectBlankPageAfterAllocationFailure(const std::string& stream) {
    const auto result = print(stream);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.err, "ERROR: Cannot allocate memory space for temporary storage.\n");
    test::expectWellFramed(result.out, 1);
    EXPECT_EQ(test::decodeLight(result.out).pages.at(0).stats.rowsSent, 0u);
    EXPECT_EQ(result.out.find("\x1b*b3M"), std::string::npos);
}

TEST(HostileHeader, RowsJustAboveSixteenMebibytesAreRefused) {
    for (auto mode : bothModes)
        expectBlankPageAfterAllocationFailure(
            hostileStream({{bytesPerLineField, 16u * 1024 * 1024 + 5}}, mode));
}

TEST(HostileHeader, TwoGigabyteRowsAreRefusedWithoutAllocating) {
    // libcups 2.4 accepts any cupsBytesPerLine that is a whole number of
    // pixels: it refuses 2,000,000,000 at 24 bits per pixel, not at 8.
    expectBlankPageAfterAllocationFailure(
        hostileStream({{bytesPerLineField, 2'000'000'001u}}, test::RasterMode::uncompressed));
    expectBlankPageAfterAllocationFailure(hostileStream(
        {{bytesPerLineField, 2'000'000'000u}, {bitsPerPixelField, 8}}, test::RasterMode::compressed));
    // libcups reserves such a row itself but leaves it untouched; a filter
    // that allocated (and cleared) its own rows would be gigabytes resident.
    if (!underWrapper()) {
        EXPECT_LT(childPeakMegabytes(), 1024);
    }
}

TEST(HostileHeader, WidthZeroStillPassesTheRowsAsRead) {
    for (auto mode : bothModes) {
        const auto result = print(hostileStream({{widthField, 0}}, mode));
        EXPECT_EQ(result.exitStatus, 0);
        EXPECT_EQ(result.err, "");
        test::expectWellFramed(result.out, 1);
        EXPECT_NE(result.out.find("\x1b*r3t0S"), std::string::npos);
        const auto job = test::decodeLight(result.out);
        const auto& stats = job.pages.at(0).stats;
        EXPECT_EQ(stats.rowsSent, 3u);
    }
}

TEST(HostileHeader, BytesPerLineUnrelatedToTheWidth) {
    // Rows of 30 bytes under a 4-pixel width, and rows of 3 bytes under a
    // width of 4 billion pixels.
    const std::vector<std::vector<patch>> cases = {
        {{bytesPerLineField, 30}},
        {{bytesPerLineField, 3}, {widthField, 4'000'000'000u}},
    };
    for (const auto& patches : cases) {
        const std::uint32_t bytesPerLine = patches.front().value;
        const row busy = test::filledRow(bytesPerLine, 0x11);
        const row other = test::filledRow(bytesPerLine, 0x22);
        std::string stream = test::writeRaster(
            {{4, 3, bytesPerLine, {busy, test::whiteRow(bytesPerLine), other}}});
        for (const auto& [field, value] : patches) test::setFirstHeaderField(stream, field, value);
        const auto result = print(stream);
        EXPECT_EQ(result.exitStatus, 0);
        EXPECT_EQ(result.err, "");
        test::expectWellFramed(result.out, 1);
        const auto job = test::decodeLight(result.out);
        const auto& stats = job.pages.at(0).stats;
        EXPECT_EQ(stats.rowsSent, 2u);
        EXPECT_EQ(stats.cursorMoves, 1u);
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
    std::string stream =
        test::writeRaster({{8, 5, 0, rows}}, test::RasterMode::compressed);
    const std::size_t header = 4 + sizeof(cups_page_header2_t);
    const std::size_t rowBytes = (stream.size() - header) / 5;
    ASSERT_EQ(stream.size(), header + 5 * rowBytes);
    stream.resize(header + 2 * rowBytes + rowBytes / 2);

    const auto result = print(stream);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(test::lines(result.err), std::vector<std::string>(3, unreadableLine));
    test::expectWellFramed(result.out, 1);
    const auto job = test::decodeLight(result.out);
    const auto& stats = job.pages.at(0).stats;
    EXPECT_EQ(stats.rowsSent, 2u);
    EXPECT_EQ(stats.rowsRepeated, 0u);
    EXPECT_EQ(stats.cursorMoves, 0u);
    const auto rasters = pclinspect::decodeRasters(
        {reinterpret_cast<const std::uint8_t*>(result.out.data()), result.out.size()});
    ASSERT_EQ(rasters.size(), 1u);
    EXPECT_EQ(rasters[0].rows.at(0), rows[0]);
    EXPECT_EQ(rasters[0].rows.at(1), rows[1]);
    EXPECT_EQ(rasters[0].rows.at(3), test::whiteRow(24));
}

// libcups reads PWG media names with dimensions of any number of digits;
// matching them against the paper sizes must not overflow.
TEST(HostileOptions, PwgMediaWithHugeDimensionsStillPrints) {
    // libcups reads these as lengths of INT_MIN and -1119879168 hundredths
    // of a millimetre.
    for (const char* media : {"media=iso_a5_148x2000000000000100000000000000000000000000000mm",
                              "PageSize=iso_a5_148x20000000000000000000mm"}) {
        test::FilterRun run;
        run.options = media;
        run.input = test::writeRaster({{4, 1, 0, {blackMiddle}}});
        const auto result = test::runFilter(run);
        EXPECT_EQ(result.exitStatus, 0) << media;
        test::expectWellFramed(result.out, 1);
    }
}

}  // namespace
}  // namespace corvane
