// The benchmark pages have the shapes the measurements rely on.
#include <gtest/gtest.h>

#include <algorithm>
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

}  // namespace
