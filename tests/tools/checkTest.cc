// --check: each kind of broken stream is caught, a good one passes.
#include <gtest/gtest.h>

#include <algorithm>

#include "streams.h"
#include "support/filterRunner.h"

namespace {

using namespace corvane::test;
using pclinspect::ProblemKind;

// Whether the stream has a problem of this kind; with `found` false, that it has none at all.
void expectProblem(const std::string& bytes, ProblemKind kind, bool found, const char* what) {
    const auto problems = pclinspect::decodeJob(asBytes(bytes)).problems;
    const bool hasKind = std::any_of(problems.begin(), problems.end(), [&](const auto& p) { return p.kind == kind; });
    EXPECT_TRUE(found ? hasKind : problems.empty()) << what;
}

TEST(InspectorCheck, FindsEachKindOfProblemAndOnlyThere) {
    const auto withPage = [](const std::string& page) { return pjlHeader() + jobPreamble() + page + jobEnd(); };
    const std::string open = pjlHeader() + jobPreamble();  // a job cut off after its preamble
    const std::string kRow = row(hex({0x40, 0xFF, 0xFF, 0xFF}));
    struct Case { std::string bytes; ProblemKind kind; bool found; const char* what; };
    using enum ProblemKind;
    const std::vector<Case> cases{
        {smallJob(), missingUel, false, "a well-formed job"},
        {open + jobEnd(), missingUel, false, "a job without pages"},
        {withPage(esc("*z5Q") + smallPage()), unknownEscape, true, "unknown parameterized command"},
        {withPage(esc("Z") + smallPage()), unknownEscape, true, "unknown two-character escape"},
        {withPage(esc("*r2t4Q") + smallPage()), unknownEscape, true, "unknown letter in a combined command"},
        {withPage(esc("*b12") + "\x01" + smallPage()), malformedEscape, true, "no parameter character"},
        {withPage(esc("&l") + "\n" + smallPage()), malformedEscape, true, "group without value or parameter"},
        {withPage(esc("*b-3W") + smallPage()), malformedEscape, true, "negative data count"},
        {withPage("\x1b\x01" + smallPage()), malformedEscape, true, "ESC followed by a control byte"},
        {open + "\x1b*b", malformedEscape, true, "escape cut off by the end"},
        {withPage("text" + smallPage()), strayData, true, "bytes outside any command"},
        {withPage(kRow + smallPage()), rowOutsideRaster, true, "row before raster start"},
        {withPage(pageStart(2, 4) + kRow + esc("*rC") + kRow + pageEnd()), rowOutsideRaster, true, "row after ESC*rC"},
        {open + pageStart(2, 4) + esc("*b20W") + hex({0x40, 1, 2, 3}), truncatedData, true, "row data cut off"},
        {pjlHeader() + esc("&n9WdEnv"), truncatedData, true, "media name cut off"},
        {withPage(pageStart(2, 4) + kRow + esc("*rC")), pageWithoutEnd, true, "reset before the form feed"},
        {withPage(pageStart(2, 4) + kRow + "\f"), pageWithoutEnd, true, "form feed without ESC*rC"},
        {open + pageStart(2, 4) + kRow, pageWithoutEnd, true, "stream ends inside the page"},
        {open + smallPage() + std::string(uel), missingReset, true, "no reset"},
        {open + smallPage() + esc("E"), missingUel, true, "no closing UEL"},
        {std::string(5000, '\x1b') + jobPreamble() + smallPage() + jobEnd(), missingUel, true, "no opening UEL"},
        // A raster 1 pixel (3 bytes) wide.
        {withPage(pageStart(1, 1) + row(hex({0x60, 1, 2, 3, 4})) + pageEnd()), pastWidth, true, "4 delta bytes"},
        {withPage(pageStart(1, 1) + row(hex({0x40, 1, 2, 3})) + pageEnd()), pastWidth, false, "3 delta bytes"},
        {withPage(pageStart(1, 1) + esc("*b0M") + row(hex({1, 2, 3, 4})) + pageEnd()), pastWidth, true, "4 raw bytes"},
        {withPage(pageStart(1, 4) + kRow + kRow + pageEnd()), pastHeight, true, "two rows in a raster of one"},
        {withPage(pageStart(2, 4) + moveTo(2) + kRow + pageEnd()), pastHeight, true, "row moved below the raster"},
    };
    for (const auto& c : cases) expectProblem(c.bytes, c.kind, c.found, c.what);
}

TEST(InspectorCheck, ExitStatusTellsGoodFromBrokenStreams) {
    FilterRun run;
    run.input = smallJob();
    run.args = std::vector<std::string>{"--check"};
    run.binary = PCLINSPECT_BINARY;
    const auto ok = runFilter(run);
    EXPECT_EQ(ok.exitStatus, 0) << ok.out << ok.err;
    EXPECT_EQ(ok.out, "no problems\n");

    run.input = pjlHeader() + jobPreamble() + smallPage();
    const auto broken = runFilter(run);
    EXPECT_EQ(broken.exitStatus, 1);
    EXPECT_NE(broken.out.find("no printer reset"), std::string::npos) << broken.out;
    EXPECT_NE(broken.out.find("does not end with a UEL"), std::string::npos) << broken.out;
}

}  // namespace
