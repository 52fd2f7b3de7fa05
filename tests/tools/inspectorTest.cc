// pclinspect, the oracle of the filter tests: it rebuilds rows as a printer
// would and finds each kind of broken stream. Blank rows, cursor moves,
// unencoded rows and seed resets are decoded in the filter's round trips;
// here are the inputs the filter never writes.
#include <gtest/gtest.h>

#include <algorithm>

#include "pclinspect/deltaRow.h"
#include "support/inspect.h"

namespace {

using namespace corvane::test;
using rows = std::vector<row>;

const std::string blackMiddle = transfer(bytes({0x40, 0xFF, 0xFF, 0xFF, 0x46, 0xFF, 0xFF, 0xFF}));
// One page, 4 x 2 pixels: row 0 blank, row 1 white, black, black, white.
const std::string smallPage = pageStart(4, 2) + cursorTo(1) + blackMiddle + pageEnd();
std::string job(const std::string& pages, const std::string& preamble = jobPreamble(esc("&l26A"))) {
    return pjlHeader("Report") + preamble + pages + jobEnd();
}

TEST(Inspector, RebuildsRowsAsAPrinterWould) {
    // Escape and form feed bytes inside row data are data.
    const std::string stream = job(pageStart(1, 1) + transfer(bytes({0x40, 0x1B, 0x0C, 0x1B})) + pageEnd());
    EXPECT_EQ(decodedPages(stream).back().rows, (rows{{0x1B, 0x0C, 0x1B}}));
    EXPECT_EQ(problems(stream), std::vector<std::string>{});
    // Delta data that runs past the row or ends inside a command.
    const auto decode = [](std::size_t size, std::string data) { return pclinspect::decodeDeltaRow(row(size, 0), asBytes(data)); };
    EXPECT_TRUE(decode(4, bytes({0x42, 7, 8, 9})).pastWidth);
    EXPECT_EQ(decode(4, bytes({0x42, 7, 8, 9})).row, (row{0, 0, 7, 8}));
    EXPECT_TRUE(decode(4, bytes({0x1F, 0x00, 1})).pastWidth);
    EXPECT_TRUE(decode(8, bytes({0x40, 1})).truncated);
    EXPECT_TRUE(decode(800, bytes({0x1F, 0xFF})).truncated);
}

TEST(Inspector, FindsEachKindOfProblemAndOnlyThere) {
    const std::string open = pjlHeader() + jobPreamble();  // cut off after the preamble
    const std::string kRow = transfer(bytes({0x40, 0xFF, 0xFF, 0xFF}));
    using enum pclinspect::ProblemKind;
    const std::vector<std::tuple<std::string, pclinspect::ProblemKind, const char*>> cases = {
        {job(esc("*z5Q") + smallPage), unknownEscape, "unknown parameterized command"},
        {job(esc("*b-3W") + smallPage), malformedEscape, "negative data count"},
        {job("text" + smallPage), strayData, "bytes outside any command"},
        {job(kRow + smallPage), rowOutsideRaster, "row before raster start"},
        {job(pageStart(4, 2) + kRow + esc("*rC") + kRow + pageEnd()), rowOutsideRaster, "row after ESC*rC"},
        {open + pageStart(4, 2) + esc("*b20W") + bytes({0x40, 1, 2, 3}), truncatedData, "row data cut off"},
        {job(pageStart(4, 2) + kRow + esc("*rC")), pageWithoutEnd, "reset before the form feed"},
        {open + smallPage + std::string(uel), missingReset, "no reset"},
        {open + smallPage + esc("E"), missingUel, "no closing UEL"},
        {std::string(5000, '\x1b') + jobPreamble() + smallPage + jobEnd(), missingUel, "no opening UEL"},
        {job(pageStart(1, 1) + transfer(bytes({0x60, 1, 2, 3, 4})) + pageEnd()), pastWidth, "4 delta bytes in 3"},
        {job(pageStart(4, 2) + cursorTo(2) + kRow + pageEnd()), pastHeight, "row moved below the raster"},
    };
    for (const auto& [stream, kind, what] : cases) {
        const auto found = pclinspect::decodeJob(asBytes(stream)).problems;
        EXPECT_TRUE(std::any_of(found.begin(), found.end(), [&](const auto& p) { return p.kind == kind; })) << what;
    }
    for (const std::string& good : {job(smallPage), open + jobEnd(), job(pageStart(1, 1) + transfer(bytes({0x40, 1, 2, 3})) + pageEnd())})
        EXPECT_EQ(problems(good), std::vector<std::string>{});
}

}  // namespace
