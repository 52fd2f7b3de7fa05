// Round trips through the built filter: random pages go in as CUPS raster,
// the inspector decodes the printer stream, and every decoded row must equal
// the row that went in, page by page.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "pclinspect/jobDecoder.h"
#include "streams.h"
#include "support/filterRunner.h"
#include "support/rasterWriter.h"

namespace {

using namespace corvane::test;
using Row = std::vector<std::uint8_t>;

// Rows of the kinds that exercise blank skipping, seed handling and the
// offset encodings of delta-row compression.
class PageMaker {
public:
    explicit PageMaker(unsigned seed) : rng_(seed) {}

    RasterPage page(unsigned width, unsigned height) {
        RasterPage p;
        p.width = width;
        p.height = height;
        const std::size_t bytes = std::size_t{width} * 3;
        Row previous = whiteRow(bytes);
        for (unsigned y = 0; y < height; ++y) {
            Row r = nextRow(bytes, previous);
            p.rows.push_back(r);
            previous = std::move(r);
        }
        return p;
    }

private:
    std::mt19937 rng_;

    unsigned pick(unsigned n) { return std::uniform_int_distribution<unsigned>(0, n - 1)(rng_); }
    std::uint8_t byte() { return static_cast<std::uint8_t>(pick(256)); }

    Row nextRow(std::size_t bytes, const Row& previous) {
        switch (pick(9)) {
            case 0:
            case 1: return whiteRow(bytes);
            case 2: return previous;
            case 3: return filledRow(bytes, 0);
            case 4: {  // single-byte changes at the offsets where the encoding changes form
                Row r = previous;
                for (std::size_t at : {0, 30, 31, 32, 285, 286, 541, 542})
                    if (at < bytes && pick(2) == 0) r[at] = static_cast<std::uint8_t>(r[at] ^ (1 + pick(255)));
                return r;
            }
            case 5: {  // one long changed run
                Row r = previous;
                const std::size_t start = pick(static_cast<unsigned>(bytes));
                const std::size_t length = 1 + pick(static_cast<unsigned>(bytes - start));
                for (std::size_t i = start; i < start + length; ++i) r[i] = static_cast<std::uint8_t>(r[i] ^ 0x5A);
                return r;
            }
            case 6: {  // sparse ink on white, with gaps across the 31/286 offset limits
                Row r = whiteRow(bytes);
                for (std::size_t i = pick(600); i < bytes; i += 1 + pick(700)) r[i] = byte();
                return r;
            }
            case 7: {  // the seed with its last byte changed
                Row r = previous;
                r.back() = static_cast<std::uint8_t>(r.back() ^ 0xFF);
                return r;
            }
            default: {
                Row r(bytes);
                for (auto& b : r) b = byte();
                return r;
            }
        }
    }
};

std::vector<RasterPage> roundTrip(const std::vector<RasterPage>& pages, RasterMode mode) {
    FilterRun run;
    run.input = writeRaster(pages, mode);
    const FilterResult result = runFilter(run);
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.err, "");
    const auto job = pclinspect::decodeJob(asBytes(result.out));
    for (const auto& problem : job.problems)
        ADD_FAILURE() << "inspector: offset " << problem.offset << ": " << problem.message;
    std::vector<RasterPage> decoded;
    for (const auto& page : job.pages) {
        EXPECT_TRUE(page.ended);
        RasterPage d;
        d.width = page.raster.width;
        d.height = page.raster.height;
        d.rows = page.raster.rows;
        decoded.push_back(std::move(d));
    }
    return decoded;
}

void expectSamePages(const std::vector<RasterPage>& in, const std::vector<RasterPage>& out, unsigned seed) {
    ASSERT_EQ(out.size(), in.size()) << "seed " << seed;
    for (std::size_t p = 0; p < in.size(); ++p) {
        ASSERT_EQ(out[p].width, in[p].width) << "seed " << seed << " page " << p + 1;
        ASSERT_EQ(out[p].height, in[p].height) << "seed " << seed << " page " << p + 1;
        for (std::size_t y = 0; y < in[p].rows.size(); ++y)
            ASSERT_EQ(out[p].rows[y], in[p].rows[y]) << "seed " << seed << " page " << p + 1 << " row " << y;
    }
}

TEST(FilterRoundTrip, RandomPagesComeBackExactly) {
    for (unsigned seed = 1; seed <= 40; ++seed) {
        PageMaker maker(seed);
        std::mt19937 shape(seed * 7919u);
        auto between = [&](unsigned lo, unsigned hi) {
            return std::uniform_int_distribution<unsigned>(lo, hi)(shape);
        };
        std::vector<RasterPage> pages;
        const unsigned count = between(1, 4);
        for (unsigned i = 0; i < count; ++i) {
            // Mostly narrow pages, some wide enough for offsets past 541.
            const unsigned width = between(0, 3) == 0 ? between(181, 700) : between(1, 120);
            pages.push_back(maker.page(width, between(1, 40)));
        }
        const RasterMode mode = seed % 2 ? RasterMode::uncompressed : RasterMode::compressed;
        expectSamePages(pages, roundTrip(pages, mode), seed);
    }
}

TEST(FilterRoundTrip, BlankRunsRepeatsAndZeroRowsAfterBlanks) {
    const std::size_t bytes = 300;
    Row ink = whiteRow(bytes);
    ink[31] = 0;
    ink[286] = 0x10;
    RasterPage p{100, 9, 0, {}};
    p.rows = {whiteRow(bytes), ink,           ink,  whiteRow(bytes), whiteRow(bytes),
              ink,             filledRow(bytes, 0), whiteRow(bytes), filledRow(bytes, 0)};
    expectSamePages({p, p}, roundTrip({p, p}, RasterMode::uncompressed), 0);
}

TEST(FilterRoundTrip, AllBlankPagesDecodeAsWhite) {
    // (CUPS refuses page headers of height 0, so those cannot be sent through.)
    RasterPage blank{50, 20, 0, std::vector<Row>(20, whiteRow(150))};
    RasterPage narrow{1, 3, 0, std::vector<Row>(3, whiteRow(3))};
    const auto out = roundTrip({blank, narrow, blank}, RasterMode::uncompressed);
    expectSamePages({blank, narrow, blank}, out, 0);
}

TEST(FilterRoundTrip, RowsTooWideForOneDeltaTransferStillComeBack) {
    // 30000 bytes per row: the worst-case delta form would not fit a 16-bit count.
    PageMaker maker(99);
    const std::vector<RasterPage> pages{maker.page(10000, 6)};
    expectSamePages(pages, roundTrip(pages, RasterMode::uncompressed), 99);
}

}  // namespace
