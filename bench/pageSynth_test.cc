// Checks that the benchmark pages have the shapes the measurements rely on,
// and that pagegen's stream reads back through libcups as those pages.
#include <cups/raster.h>
#include <gtest/gtest.h>
#include <stdio.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "pageSynth.h"

namespace {

using corvane::bench::pageGeometry;
using corvane::bench::pageKind;
using corvane::bench::pageSynth;
using corvane::bench::pixelFormat;
using row_t = std::vector<std::uint8_t>;

bool isWhite(const row_t& row) {
    return std::all_of(row.begin(), row.end(), [](std::uint8_t b) { return b == 0xFF; });
}

struct pageStats {
    std::uint32_t blankRows = 0;
    std::uint32_t duplicateRows = 0;     // non-blank and equal to the row above
    std::uint32_t changedRows = 0;       // differ from the row above
    double changedByteShare = 0;         // over consecutive row pairs
    bool onlyBlackAndWhite = true;
};

pageStats measure(pageKind kind, std::uint32_t page = 0) {
    const pageGeometry g;
    const pageSynth synth(g, kind, 1, page);
    row_t prev(g.bytesPerLine()), cur(g.bytesPerLine());
    pageStats s;
    std::uint64_t changedBytes = 0;
    for (std::uint32_t y = 0; y < g.height; ++y) {
        synth.fillRow(y, cur);
        if (isWhite(cur)) ++s.blankRows;
        if (y > 0) {
            if (cur == prev && !isWhite(cur)) ++s.duplicateRows;
            if (cur != prev) ++s.changedRows;
            for (std::size_t i = 0; i < cur.size(); ++i) changedBytes += cur[i] != prev[i];
        }
        s.onlyBlackAndWhite = s.onlyBlackAndWhite &&
            std::all_of(cur.begin(), cur.end(), [](std::uint8_t b) { return b == 0 || b == 0xFF; });
        std::swap(prev, cur);
    }
    s.changedByteShare = double(changedBytes) / (double(g.height - 1) * double(g.bytesPerLine()));
    return s;
}

TEST(pageSynthShapes, textPageIsMostlyBlankRowsWithBlackGlyphRunsAndRepeatedRows) {
    const pageStats s = measure(pageKind::text);
    const double blankShare = s.blankRows / 6600.0;
    EXPECT_GT(blankShare, 0.55);
    EXPECT_LT(blankShare, 0.70);
    EXPECT_TRUE(s.onlyBlackAndWhite);
    // Glyph stems repeat rows; bars make rows change.
    EXPECT_GT(s.duplicateRows, 500u);
    EXPECT_GT(s.changedRows, 300u);
}

TEST(pageSynthShapes, photoPageChangesEveryRowAndNearlyEveryByte) {
    const pageStats s = measure(pageKind::photo);
    EXPECT_EQ(s.blankRows, 0u);
    EXPECT_EQ(s.changedRows, 6599u);
    EXPECT_GT(s.changedByteShare, 0.85);
}

TEST(pageSynthShapes, blankPageIsAllWhiteAndMixedPageHasTextAboveAndPhotoBelow) {
    EXPECT_EQ(measure(pageKind::blank).blankRows, 6600u);
    const pageGeometry g;
    const pageSynth mixed(g, pageKind::mixed, 1, 0), text(g, pageKind::text, 1, 0);
    row_t a(g.bytesPerLine()), b(g.bytesPerLine());
    for (std::uint32_t y : {400u, 1000u, 3000u}) {
        mixed.fillRow(y, a);
        text.fillRow(y, b);
        EXPECT_EQ(a, b) << "row " << y;
    }
    for (std::uint32_t y : {3300u, 5000u, 6299u}) {
        mixed.fillRow(y, a);
        EXPECT_FALSE(isWhite(a)) << "row " << y;
        // White side margins around the photo.
        EXPECT_TRUE(std::all_of(a.begin(), a.begin() + 900, [](std::uint8_t v) { return v == 0xFF; }));
    }
    mixed.fillRow(6500, a);
    EXPECT_TRUE(isWhite(a));
}

TEST(pageSynthShapes, sameSeedGivesSameRowsAndPagesOfAJobDiffer) {
    const pageGeometry g;
    row_t a(g.bytesPerLine()), b(g.bytesPerLine());
    pageSynth(g, pageKind::photo, 7, 0).fillRow(100, a);
    pageSynth(g, pageKind::photo, 7, 0).fillRow(100, b);
    EXPECT_EQ(a, b);
    pageSynth(g, pageKind::photo, 7, 1).fillRow(100, b);
    EXPECT_NE(a, b);
    // Text pages differ in their glyphs, not just their position.
    std::uint32_t y = 300;
    for (; y < g.height; ++y) {
        pageSynth(g, pageKind::text, 7, 0).fillRow(y, a);
        if (!isWhite(a)) break;
    }
    pageSynth(g, pageKind::text, 7, 1).fillRow(y, b);
    EXPECT_NE(a, b);
}

TEST(pageSynthShapes, oneBitPagesSetABitForEveryBlackPixelOfTheColourPage) {
    pageGeometry rgb, mono;
    mono.format = pixelFormat::black1;
    ASSERT_EQ(mono.bytesPerLine(), 638u);
    ASSERT_EQ(rgb.bytesPerLine(), 15300u);
    row_t c(rgb.bytesPerLine()), k(mono.bytesPerLine());
    const pageSynth colour(rgb, pageKind::text, 3, 0), black(mono, pageKind::text, 3, 0);
    std::uint32_t inkRows = 0;
    for (std::uint32_t y = 0; y < rgb.height; y += 7) {
        colour.fillRow(y, c);
        black.fillRow(y, k);
        inkRows += !isWhite(c);
        for (std::uint32_t x = 0; x < rgb.width; ++x) {
            const bool bit = (k[x / 8] >> (7 - x % 8)) & 1;
            ASSERT_EQ(bit, c[x * 3] == 0) << "pixel " << x << " row " << y;
        }
    }
    EXPECT_GT(inkRows, 100u);
}

// pagegen's stream, read back with version 1 headers as the filter reads it.
void checkRoundTrip(const std::string& extraArgs) {
    const std::string cmd = std::string(PAGEGEN_BINARY) +
        " --kind mixed --pages 2 --seed 5 --width 700 --height 650 " + extraArgs;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(cmd.c_str(), "r"), pclose);
    ASSERT_TRUE(pipe);
    std::unique_ptr<cups_raster_t, void (*)(cups_raster_t*)> raster(
        cupsRasterOpen(fileno(pipe.get()), CUPS_RASTER_READ), cupsRasterClose);
    ASSERT_TRUE(raster);
    pageGeometry g;
    g.width = 700;
    g.height = 650;
    if (extraArgs.find("--black1") != std::string::npos) g.format = pixelFormat::black1;
    cups_page_header_t h;
    row_t got(g.bytesPerLine()), want(g.bytesPerLine());
    std::uint32_t pages = 0;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    while (cupsRasterReadHeader(raster.get(), &h)) {
#pragma GCC diagnostic pop
        EXPECT_EQ(h.cupsWidth, 700u);
        EXPECT_EQ(h.cupsHeight, 650u);
        EXPECT_EQ(h.cupsBytesPerLine, g.bytesPerLine());
        EXPECT_EQ(h.HWResolution[0], 600u);
        EXPECT_EQ(h.cupsColorOrder, CUPS_ORDER_CHUNKED);
        const pageSynth synth(g, pageKind::mixed, 5, pages);
        for (std::uint32_t y = 0; y < h.cupsHeight; ++y) {
            ASSERT_EQ(cupsRasterReadPixels(raster.get(), got.data(), h.cupsBytesPerLine), h.cupsBytesPerLine);
            synth.fillRow(y, want);
            ASSERT_EQ(got, want) << "page " << pages << " row " << y;
        }
        ++pages;
    }
    EXPECT_EQ(pages, 2u);
}

TEST(pagegenStream, readsBackAsTheSynthesisedPagesInEveryFormat) {
    checkRoundTrip("");
    checkRoundTrip("--compressed");
    checkRoundTrip("--black1");
}

}  // namespace
