// Round trips through the built filter: random pages go in as CUPS raster,
// the inspector decodes the printer stream, and every decoded row must equal
// the row that went in, page by page.
#include <gtest/gtest.h>

#include <random>

#include "support/filterRunner.h"
#include "support/inspect.h"
#include "support/rasterWriter.h"

namespace {

using namespace corvane::test;
using Row = std::vector<std::uint8_t>;

// Rows of the kinds that exercise blank skipping, seed handling and the
// offset encodings of delta-row compression.
Row nextRow(std::mt19937& rng, const Row& previous) {
    auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); };
    const std::size_t bytes = previous.size();
    Row r = previous;
    switch (pick(9)) {
        case 0:
        case 1: return whiteRow(bytes);
        case 2: return previous;
        case 3: return filledRow(bytes, 0);
        case 4:  // single-byte changes at the offsets where the encoding changes form
            for (std::size_t at : {0, 30, 31, 32, 285, 286, 541, 542})
                if (at < bytes && pick(2)) r[at] ^= static_cast<std::uint8_t>(1 + pick(255));
            return r;
        case 5: {  // one long changed run
            const std::size_t start = pick(bytes), end = start + 1 + pick(bytes - start);
            for (std::size_t i = start; i < end; ++i) r[i] ^= 0x5A;
            return r;
        }
        case 6:  // sparse ink on white, with gaps across the 31/286 offset limits
            r = whiteRow(bytes);
            for (std::size_t i = pick(600); i < bytes; i += 1 + pick(700)) r[i] = static_cast<std::uint8_t>(pick(256));
            return r;
        case 7: r.back() ^= 0xFF; return r;  // the seed with its last byte changed
        default:
            for (auto& b : r) b = static_cast<std::uint8_t>(pick(256));
            return r;
    }
}

TEST(FilterRoundTrip, RandomPagesComeBackExactly) {
    for (unsigned seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        auto between = [&](unsigned lo, unsigned hi) { return std::uniform_int_distribution<unsigned>(lo, hi)(rng); };
        std::vector<RasterPage> pages(between(1, 4));
        for (auto& page : pages) {
            // Mostly narrow pages, some wide enough for offsets past 541.
            page.width = between(0, 3) == 0 ? between(181, 700) : between(1, 120);
            page.height = between(1, 40);
            Row previous = whiteRow(3 * page.width);
            for (unsigned y = 0; y < page.height; ++y) page.rows.push_back(previous = nextRow(rng, previous));
        }
        const auto result = runFilterOn(writeRaster(pages, seed % 2 ? RasterMode::uncompressed : RasterMode::compressed));
        EXPECT_EQ(result.exitStatus, 0);
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(problems(result.out), std::vector<std::string>{});
        const auto job = pclinspect::decodeJob(asBytes(result.out));
        ASSERT_EQ(job.pages.size(), pages.size());
        for (std::size_t p = 0; p < pages.size(); ++p) {
            const auto& out = job.pages[p];
            EXPECT_TRUE(out.ended);
            ASSERT_EQ(out.raster.width, pages[p].width) << "page " << p + 1;
            ASSERT_EQ(out.raster.height, pages[p].height) << "page " << p + 1;
            ASSERT_EQ(out.raster.rows, pages[p].rows) << "page " << p + 1;
        }
    }
}

}  // namespace
