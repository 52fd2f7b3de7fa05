// The benchmark pages have the shapes the measurements rely on, and pagegen's
// stream reads back through libcups as those pages.
#include <cups/raster.h>
#include <gtest/gtest.h>
#include <stdio.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "pageSynth.h"

namespace {

using namespace corvane::bench;
using row_t = std::vector<std::uint8_t>;

bool isWhite(const row_t& row) { return std::all_of(row.begin(), row.end(), [](std::uint8_t b) { return b == 0xFF; }); }

TEST(pageSynthShapes, textIsMostlyBlankWithRepeatsPhotoChangesEveryRowBlankIsWhite) {
    const pageGeometry g;
    for (const auto kind : {pageKind::text, pageKind::photo, pageKind::blank}) {
        const pageSynth synth(g, kind, 1, 0);
        row_t previous(g.bytesPerLine()), current(g.bytesPerLine());
        std::uint32_t blank = 0, repeated = 0, changed = 0;
        for (std::uint32_t y = 0; y < g.height; ++y, std::swap(previous, current)) {
            synth.fillRow(y, current);
            blank += isWhite(current);
            repeated += y > 0 && current == previous && !isWhite(current);
            changed += y > 0 && current != previous;
        }
        const bool shaped = kind == pageKind::text    ? blank > 3630 && blank < 4620 && repeated > 500 && changed > 300
                            : kind == pageKind::photo ? blank == 0 && changed == g.height - 1
                                                      : blank == g.height;
        EXPECT_TRUE(shaped) << pageKindName(kind) << ": " << blank << " blank, " << repeated << " repeated, " << changed
                            << " changed";
    }
}

TEST(pagegenStream, readsBackAsTheSynthesisedPages) {
    for (const std::string format : {"", "--compressed", "--black1"}) {
        const std::string command = std::string(PAGEGEN_BINARY) + " --kind mixed --pages 2 --seed 5 --width 700 --height 650 " + format;
        std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
        std::unique_ptr<cups_raster_t, void (*)(cups_raster_t*)> raster(cupsRasterOpen(fileno(pipe.get()), CUPS_RASTER_READ),
                                                                         cupsRasterClose);
        pageGeometry g{700, 650, format == "--black1" ? pixelFormat::black1 : pixelFormat::rgb24};
        cups_page_header2_t header;
        row_t got(g.bytesPerLine()), want(g.bytesPerLine());
        std::uint32_t pages = 0;
        for (; cupsRasterReadHeader2(raster.get(), &header); ++pages) {
            ASSERT_EQ(header.cupsBytesPerLine, g.bytesPerLine());
            const pageSynth synth(g, pageKind::mixed, 5, pages);
            for (std::uint32_t y = 0; y < header.cupsHeight; ++y) {
                ASSERT_EQ(cupsRasterReadPixels(raster.get(), got.data(), header.cupsBytesPerLine), header.cupsBytesPerLine);
                synth.fillRow(y, want);
                ASSERT_EQ(got, want) << format << " page " << pages << " row " << y;
            }
        }
        EXPECT_EQ(pages, 2u) << format;
    }
}

}  // namespace
