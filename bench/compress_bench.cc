// Micro-benchmarks of the per-row work of the page transfer: the delta-row
// compressor and the two whole-row tests (blank row, row equal to the seed
// row), on rows of the synthetic text and photo pages at Letter 600 dpi.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

#include "pageSynth.h"
#include "encoder/rasterCompress.h"
#include "encoder/rowTests.h"

namespace {

using corvane::bench::pageGeometry;
using corvane::bench::pageKind;
using corvane::bench::pageSynth;
using row_t = std::vector<std::uint8_t>;

row_t makeRow(pageKind kind, std::uint32_t y) {
    const pageGeometry g;
    row_t row(g.bytesPerLine());
    pageSynth(g, kind, 1, 0).fillRow(y, row);
    return row;
}

// First row of the text page, from the top, that carries ink and differs
// from the row above it (a row the compressor really encodes).
std::uint32_t firstChangedTextRow(std::uint32_t from) {
    const pageGeometry g;
    row_t prev = makeRow(pageKind::text, from - 1);
    for (std::uint32_t y = from; y < g.height; ++y) {
        row_t cur = makeRow(pageKind::text, y);
        const bool blank = std::all_of(cur.begin(), cur.end(), [](std::uint8_t b) { return b == 0xFF; });
        if (!blank && cur != prev) return y;
        prev = std::move(cur);
    }
    return from;
}

struct rowPair {
    row_t seed;
    row_t target;
};

// Text row right after blank rows: compressed against a zero seed.
rowPair textAfterBlank() {
    const std::uint32_t y = firstChangedTextRow(300);
    return {row_t(pageGeometry{}.bytesPerLine(), 0), makeRow(pageKind::text, y)};
}

// Text row against the different text row above it (bars start or end).
rowPair textAgainstPrevious() {
    const std::uint32_t first = firstChangedTextRow(300);
    const std::uint32_t y = firstChangedTextRow(first + 2);
    return {makeRow(pageKind::text, y - 1), makeRow(pageKind::text, y)};
}

rowPair photoAgainstPrevious() {
    return {makeRow(pageKind::photo, 1000), makeRow(pageKind::photo, 1001)};
}

// The rows the compressor sees on a page, in page order, as the transfer
// hands them over: blank rows left out (the seed becomes zeros), rows equal
// to the seed sent as repeats. Cycling through many different rows keeps the
// branch predictor from learning one row by heart, which flatters the
// encoder on a single repeated row.
std::vector<rowPair> pageSequence(pageKind kind, std::uint32_t from, std::size_t maxPairs) {
    const pageGeometry g;
    const pageSynth synth(g, kind, 1, 0);
    std::vector<rowPair> pairs;
    row_t seed(g.bytesPerLine(), 0), row(g.bytesPerLine());
    for (std::uint32_t y = from; y < g.height && pairs.size() < maxPairs; ++y) {
        synth.fillRow(y, row);
        if (std::all_of(row.begin(), row.end(), [](std::uint8_t b) { return b == 0xFF; })) {
            std::fill(seed.begin(), seed.end(), 0);
            continue;
        }
        if (row == seed) continue;
        pairs.push_back({seed, row});
        seed = row;
    }
    return pairs;
}

void runCompressSequence(benchmark::State& state, const std::vector<rowPair>& pairs,
                         const corvane::rasterCompress& compressor = corvane::rasterCompress()) {
    row_t out(2 * pairs.front().target.size());
    std::size_t size = 0, i = 0;
    for (auto _ : state) {
        const rowPair& rows = pairs[i];
        i = i + 1 == pairs.size() ? 0 : i + 1;
        size = compressor.deltaCompress(rows.seed, rows.target, static_cast<int>(rows.target.size()), out);
        benchmark::DoNotOptimize(out.data());
        benchmark::DoNotOptimize(size);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * pairs.front().target.size()));
}
void BM_deltaCompress_textPageRows(benchmark::State& state) {
    runCompressSequence(state, pageSequence(pageKind::text, 300, 1024));
}
void BM_deltaCompress_photoPageRows(benchmark::State& state) {
    runCompressSequence(state, pageSequence(pageKind::photo, 1000, 1024));
}
// 16 rows (480 KiB with their seeds) stay in the cache, as the row and its
// seed do in the filter; the 1024 above are partly read from memory.
void BM_deltaCompress_photoRowsInCache(benchmark::State& state) {
    runCompressSequence(state, pageSequence(pageKind::photo, 1000, 16));
}
// The step-by-step path alone, as on processors without 64-byte vectors.
void BM_deltaCompress_photoPageRowsPortable(benchmark::State& state) {
    runCompressSequence(state, pageSequence(pageKind::photo, 1000, 1024),
                        corvane::rasterCompress(false));
}
BENCHMARK(BM_deltaCompress_textPageRows);
BENCHMARK(BM_deltaCompress_photoPageRows);
BENCHMARK(BM_deltaCompress_photoRowsInCache);
BENCHMARK(BM_deltaCompress_photoPageRowsPortable);

void runCompress(benchmark::State& state, const rowPair& rows) {
    const corvane::rasterCompress compressor;
    row_t out(2 * rows.target.size());
    std::size_t size = 0;
    for (auto _ : state) {
        size = compressor.deltaCompress(rows.seed, rows.target, static_cast<int>(rows.target.size()), out);
        benchmark::DoNotOptimize(out.data());
        benchmark::DoNotOptimize(size);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * rows.target.size()));
    state.counters["out_bytes"] = static_cast<double>(size);
}

void BM_deltaCompress_textAfterBlank(benchmark::State& state) { runCompress(state, textAfterBlank()); }
void BM_deltaCompress_textVsPrevious(benchmark::State& state) { runCompress(state, textAgainstPrevious()); }
void BM_deltaCompress_photo(benchmark::State& state) { runCompress(state, photoAgainstPrevious()); }
BENCHMARK(BM_deltaCompress_textAfterBlank);
BENCHMARK(BM_deltaCompress_textVsPrevious);
BENCHMARK(BM_deltaCompress_photo);

// Blank test as the transfer defines it: memcmp against a row of 0xFF.
void runBlankMemcmp(benchmark::State& state, const row_t& row) {
    const row_t white(row.size(), 0xFF);
    for (auto _ : state) {
        bool blank = std::memcmp(row.data(), white.data(), row.size()) == 0;
        benchmark::DoNotOptimize(blank);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * row.size()));
}

// Blank test without a reference row: AND of 64-bit words, one pass, no
// second stream through the cache.
bool allWhiteWords(const row_t& row) {
    const std::uint8_t* p = row.data();
    const std::size_t n = row.size();
    std::uint64_t acc = ~std::uint64_t{0};
    std::size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        std::uint64_t w[4];
        std::memcpy(w, p + i, 32);
        acc &= w[0] & w[1] & w[2] & w[3];
        if (acc != ~std::uint64_t{0}) return false;
    }
    for (; i < n; ++i) {
        if (p[i] != 0xFF) return false;
    }
    return acc == ~std::uint64_t{0};
}

void runBlankWords(benchmark::State& state, const row_t& row) {
    for (auto _ : state) {
        bool blank = allWhiteWords(row);
        benchmark::DoNotOptimize(blank);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * row.size()));
}

void BM_blankMemcmp_blankRow(benchmark::State& state) { runBlankMemcmp(state, makeRow(pageKind::blank, 0)); }
void BM_blankMemcmp_textRow(benchmark::State& state) {
    runBlankMemcmp(state, makeRow(pageKind::text, firstChangedTextRow(300)));
}
void BM_blankMemcmp_photoRow(benchmark::State& state) { runBlankMemcmp(state, makeRow(pageKind::photo, 1000)); }
void BM_blankWords_blankRow(benchmark::State& state) { runBlankWords(state, makeRow(pageKind::blank, 0)); }
void BM_blankWords_textRow(benchmark::State& state) {
    runBlankWords(state, makeRow(pageKind::text, firstChangedTextRow(300)));
}
BENCHMARK(BM_blankMemcmp_blankRow);
BENCHMARK(BM_blankMemcmp_textRow);
BENCHMARK(BM_blankMemcmp_photoRow);
BENCHMARK(BM_blankWords_blankRow);
BENCHMARK(BM_blankWords_textRow);

// The filter's own blank test (the row against itself shifted by one byte).
void runIsBlankRow(benchmark::State& state, const row_t& row) {
    for (auto _ : state) {
        bool blank = corvane::isBlankRow(row);
        benchmark::DoNotOptimize(blank);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * row.size()));
}
void BM_isBlankRow_blankRow(benchmark::State& state) { runIsBlankRow(state, makeRow(pageKind::blank, 0)); }
void BM_isBlankRow_textRow(benchmark::State& state) {
    runIsBlankRow(state, makeRow(pageKind::text, firstChangedTextRow(300)));
}
void BM_isBlankRow_photoRow(benchmark::State& state) { runIsBlankRow(state, makeRow(pageKind::photo, 1000)); }
BENCHMARK(BM_isBlankRow_blankRow);
BENCHMARK(BM_isBlankRow_textRow);
BENCHMARK(BM_isBlankRow_photoRow);

// The filter's own seed test.
void runRowsEqual(benchmark::State& state, const rowPair& rows) {
    for (auto _ : state) {
        bool same = corvane::rowsEqual(rows.target, rows.seed);
        benchmark::DoNotOptimize(same);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * rows.target.size()));
}
void BM_rowsEqual_duplicateTextRow(benchmark::State& state) {
    const row_t row = makeRow(pageKind::text, firstChangedTextRow(300));
    runRowsEqual(state, {row, row});
}
void BM_rowsEqual_photo(benchmark::State& state) { runRowsEqual(state, photoAgainstPrevious()); }
BENCHMARK(BM_rowsEqual_duplicateTextRow);
BENCHMARK(BM_rowsEqual_photo);

// Seed test: plain memcmp of the row against the seed row.
void runSeedEqual(benchmark::State& state, const rowPair& rows) {
    for (auto _ : state) {
        bool same = std::memcmp(rows.target.data(), rows.seed.data(), rows.target.size()) == 0;
        benchmark::DoNotOptimize(same);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * rows.target.size()));
}

void BM_seedEqual_duplicateTextRow(benchmark::State& state) {
    const row_t row = makeRow(pageKind::text, firstChangedTextRow(300));
    runSeedEqual(state, {row, row});
}
void BM_seedEqual_textVsPrevious(benchmark::State& state) { runSeedEqual(state, textAgainstPrevious()); }
void BM_seedEqual_photo(benchmark::State& state) { runSeedEqual(state, photoAgainstPrevious()); }
BENCHMARK(BM_seedEqual_duplicateTextRow);
BENCHMARK(BM_seedEqual_textVsPrevious);
BENCHMARK(BM_seedEqual_photo);

// The per-row copy into the seed row and the clear of the row buffer.
void BM_rowCopy(benchmark::State& state) {
    const row_t row = makeRow(pageKind::photo, 1000);
    row_t seed(row.size());
    for (auto _ : state) {
        std::memcpy(seed.data(), row.data(), row.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * row.size()));
}
void BM_rowClear(benchmark::State& state) {
    row_t row(pageGeometry{}.bytesPerLine());
    for (auto _ : state) {
        std::memset(row.data(), 0, row.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * row.size()));
}
BENCHMARK(BM_rowCopy);
BENCHMARK(BM_rowClear);

}  // namespace

BENCHMARK_MAIN();
