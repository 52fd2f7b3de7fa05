// --check: each kind of broken stream is caught, a good one passes.
#include <gtest/gtest.h>

#include <algorithm>

#include "pclinspect/jobDecoder.h"
#include "streams.h"
#include "support/filterRunner.h"

namespace {

using namespace corvane::test;
using pclinspect::ProblemKind;

std::vector<ProblemKind> kindsOf(const std::string& bytes) {
    std::vector<ProblemKind> kinds;
    for (const auto& p : pclinspect::decodeJob(asBytes(bytes)).problems) kinds.push_back(p.kind);
    return kinds;
}

bool has(const std::vector<ProblemKind>& kinds, ProblemKind k) {
    return std::find(kinds.begin(), kinds.end(), k) != kinds.end();
}

std::string withPage(const std::string& page) { return pjlHeader() + jobPreamble() + page + jobEnd(); }

const std::string kRow = row(hex({0x40, 0xFF, 0xFF, 0xFF}));

TEST(InspectorCheck, AcceptsAWellFormedJob) {
    EXPECT_TRUE(kindsOf(smallJob()).empty());
    EXPECT_TRUE(kindsOf(pjlHeader() + jobPreamble() + jobEnd()).empty()) << "a job without pages";
}

TEST(InspectorCheck, FindsUnknownAndMalformedEscapes) {
    struct Case { std::string bytes; ProblemKind kind; const char* what; };
    const std::vector<Case> cases{
        {esc("*z5Q"), ProblemKind::unknownEscape, "unknown parameterized command"},
        {esc("Z"), ProblemKind::unknownEscape, "unknown two-character escape"},
        {esc("*r2t4Q"), ProblemKind::unknownEscape, "unknown letter in a combined command"},
        {esc("*b12") + "\x01", ProblemKind::malformedEscape, "no parameter character"},
        {esc("&l") + "\n", ProblemKind::malformedEscape, "group without value or parameter"},
        {esc("*b-3W"), ProblemKind::malformedEscape, "negative data count"},
        {"\x1b\x01", ProblemKind::malformedEscape, "ESC followed by a control byte"},
        {"text", ProblemKind::strayData, "bytes outside any command"},
    };
    for (const auto& c : cases) {
        const auto kinds = kindsOf(withPage(c.bytes + smallPage()));
        EXPECT_TRUE(has(kinds, c.kind)) << c.what;
    }
    EXPECT_TRUE(has(kindsOf(pjlHeader() + jobPreamble() + "\x1b*b"), ProblemKind::malformedEscape))
        << "escape cut off by the end";
}

TEST(InspectorCheck, FindsRowTransfersOutsideRasterGraphics) {
    EXPECT_TRUE(has(kindsOf(withPage(kRow + smallPage())), ProblemKind::rowOutsideRaster)) << "before raster start";
    const std::string afterEnd = pageStart(2, 4) + kRow + esc("*rC") + kRow + pageEnd();
    EXPECT_TRUE(has(kindsOf(withPage(afterEnd)), ProblemKind::rowOutsideRaster)) << "after ESC*rC";
}

TEST(InspectorCheck, FindsDataCountsRunningPastTheStream) {
    const std::string cut = pjlHeader() + jobPreamble() + pageStart(2, 4) + esc("*b20W") + hex({0x40, 1, 2, 3});
    EXPECT_TRUE(has(kindsOf(cut), ProblemKind::truncatedData));
    const std::string cutMedia = pjlHeader() + esc("&n9WdEnv");
    EXPECT_TRUE(has(kindsOf(cutMedia), ProblemKind::truncatedData));
}

TEST(InspectorCheck, FindsPagesWithoutTheirEnd) {
    const std::string noFormFeed = pageStart(2, 4) + kRow + esc("*rC");
    EXPECT_TRUE(has(kindsOf(withPage(noFormFeed)), ProblemKind::pageWithoutEnd)) << "reset before the form feed";
    const std::string noRasterEnd = pageStart(2, 4) + kRow + "\f";
    EXPECT_TRUE(has(kindsOf(withPage(noRasterEnd)), ProblemKind::pageWithoutEnd)) << "form feed without ESC*rC";
    const std::string cutOff = pjlHeader() + jobPreamble() + pageStart(2, 4) + kRow;
    EXPECT_TRUE(has(kindsOf(cutOff), ProblemKind::pageWithoutEnd)) << "stream ends inside the page";
}

TEST(InspectorCheck, FindsAMissingResetOrUel) {
    const std::string body = pjlHeader() + jobPreamble() + smallPage();
    EXPECT_TRUE(has(kindsOf(body + std::string(uel)), ProblemKind::missingReset));
    EXPECT_TRUE(has(kindsOf(body + esc("E")), ProblemKind::missingUel)) << "no closing UEL";
    const std::string noOpening = std::string(5000, '\x1b') + jobPreamble() + smallPage() + jobEnd();
    EXPECT_TRUE(has(kindsOf(noOpening), ProblemKind::missingUel)) << "no opening UEL";
    EXPECT_FALSE(has(kindsOf(smallJob()), ProblemKind::missingUel));
}

TEST(InspectorCheck, FindsDeltaRowsWritingPastTheRasterWidth) {
    // Raster 1 pixel wide (3 bytes); 4 bytes from offset 0 run one byte past.
    const std::string wide = pageStart(1, 1) + row(hex({0x60, 1, 2, 3, 4})) + pageEnd();
    EXPECT_TRUE(has(kindsOf(withPage(wide)), ProblemKind::pastWidth));
    const std::string exact = pageStart(1, 1) + row(hex({0x40, 1, 2, 3})) + pageEnd();
    EXPECT_FALSE(has(kindsOf(withPage(exact)), ProblemKind::pastWidth));
    const std::string unencoded = pageStart(1, 1) + esc("*b0M") + row(hex({1, 2, 3, 4})) + pageEnd();
    EXPECT_TRUE(has(kindsOf(withPage(unencoded)), ProblemKind::pastWidth));
}

TEST(InspectorCheck, FindsRowsBelowTheRasterHeight) {
    const std::string tooMany = pageStart(1, 4) + kRow + kRow + pageEnd();
    EXPECT_TRUE(has(kindsOf(withPage(tooMany)), ProblemKind::pastHeight));
    const std::string movedOut = pageStart(2, 4) + moveTo(2) + kRow + pageEnd();
    EXPECT_TRUE(has(kindsOf(withPage(movedOut)), ProblemKind::pastHeight));
}

TEST(InspectorCheck, ExitStatusTellsGoodFromBrokenStreams) {
    FilterRun good;
    good.input = smallJob();
    good.args = std::vector<std::string>{"--check"};
    good.binary = PCLINSPECT_BINARY;
    const auto ok = runFilter(good);
    EXPECT_EQ(ok.exitStatus, 0) << ok.out << ok.err;
    EXPECT_EQ(ok.out, "no problems\n");

    FilterRun bad = good;
    bad.input = pjlHeader() + jobPreamble() + smallPage();
    const auto broken = runFilter(bad);
    EXPECT_EQ(broken.exitStatus, 1);
    EXPECT_NE(broken.out.find("no printer reset"), std::string::npos) << broken.out;
    EXPECT_NE(broken.out.find("does not end with a UEL"), std::string::npos) << broken.out;
}

}  // namespace
