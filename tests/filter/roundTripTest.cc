// Round trips through the built filter: random pages go in as CUPS raster,
// the inspector decodes the printer stream, and every row must come back as
// it went in, except rows too long for any transfer, which are left out.
#include <gtest/gtest.h>

#include <random>

#include "support/filterRunner.h"
#include "support/inspect.h"
#include "support/rasterWriter.h"

namespace {

using namespace corvane::test;

// Rows that exercise blank skipping, seed handling and the offset encodings.
row nextRow(std::mt19937& rng, const row& previous) {
    const auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); };
    const std::size_t size = previous.size();
    row r = previous;
    switch (pick(8)) {
        case 0: return whiteRow(size);
        case 1: return previous;
        case 2: return row(size, 0);
        case 3:  // single-byte changes where the offset encoding changes form
            for (std::size_t at : {0, 30, 31, 32, 285, 286, 541, 542})
                if (at < size && pick(2)) r[at] ^= static_cast<std::uint8_t>(1 + pick(255));
            return r;
        case 4:  // one long changed run
            for (std::size_t i = pick(size), end = i + 1 + pick(size - i); i < end; ++i) r[i] ^= 0x5A;
            return r;
        case 5:  // sparse ink on white
            r = whiteRow(size);
            for (std::size_t i = pick(600); i < size; i += 1 + pick(700)) r[i] = static_cast<std::uint8_t>(pick(256));
            return r;
        case 6: r.back() ^= 0xFF; return r;
        default:
            for (auto& b : r) b = static_cast<std::uint8_t>(pick(256));
            return r;
    }
}

TEST(FilterRoundTrip, RandomPagesComeBackExactly) {
    for (unsigned seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        const auto between = [&](unsigned lo, unsigned hi) { return std::uniform_int_distribution<unsigned>(lo, hi)(rng); };
        std::vector<RasterPage> pages(between(1, 4));
        for (auto& page : pages) {
            // Mostly narrow pages; some with offsets past 541; a few whose
            // rows need the unencoded form or do not fit a transfer at all.
            const unsigned kind = between(0, 9);
            page.width = kind == 0 ? between(9000, 11500) : kind < 4 ? between(181, 700) : between(1, 120);
            page.height = kind == 0 ? between(1, 8) : between(1, 40);
            row previous = whiteRow(3 * page.width);
            for (unsigned y = 0; y < page.height; ++y) page.rows.push_back(previous = nextRow(rng, previous));
        }
        const auto result = runFilter({.input = writeRaster(pages, seed % 2 ? RasterMode::uncompressed : RasterMode::compressed)});
        EXPECT_EQ(result.exitStatus, 0);
        EXPECT_EQ(problems(result.out), std::vector<std::string>{});
        const auto job = pclinspect::decodeJob(asBytes(result.out));
        ASSERT_EQ(job.pages.size(), pages.size());
        std::string errors;
        for (std::size_t p = 0; p < pages.size(); ++p) {
            const auto& decoded = job.pages[p].raster;
            ASSERT_EQ(decoded.width, pages[p].width);
            ASSERT_EQ(decoded.height, pages[p].height);
            bool leftOut = false;
            for (std::size_t y = 0; y < pages[p].rows.size(); ++y) {
                if (decoded.rows[y] == pages[p].rows[y]) continue;
                ASSERT_GT(3 * decoded.width, 32767u) << "page " << p + 1 << " row " << y;
                ASSERT_TRUE(decoded.rows[y] == whiteRow(3 * decoded.width));
                leftOut = true;
            }
            if (leftOut) errors += "ERROR: Page " + std::to_string(p + 1) + " has rows too wide to send; they were left out.\n";
        }
        EXPECT_EQ(result.err, errors);
    }
}

}  // namespace
