#include "pclinspect/pngExport.h"

#include <gtest/gtest.h>

#include "streams.h"
#include "support/filterRunner.h"

namespace {

using namespace corvane::test;
using Row = std::vector<std::uint8_t>;

TEST(PngRendering, KeepsRgbPixelsOrAveragesBlocksWhenScaled) {
    pclinspect::PageRaster raster{4, 2, 24, 12, {Row(12, 0xFF), Row{0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0xFF, 0, 0}}};
    const auto full = pclinspect::renderPage(raster, 1);
    EXPECT_EQ(std::pair(full.width, full.height), std::pair(4u, 2u));
    EXPECT_EQ(Row(full.pixels.begin() + 12, full.pixels.end()), raster.rows[1]);
    // Blocks of 3 x 3, partial ones kept: three white, then white, black,
    // black in the first; one column, white above red, in the second.
    const auto scaled = pclinspect::renderPage(raster, 3);
    EXPECT_EQ(std::pair(scaled.width, scaled.height), std::pair(2u, 1u));
    EXPECT_EQ(scaled.pixels, (Row{(4 * 255) / 6, (4 * 255) / 6, (4 * 255) / 6, 255, 127, 127}));
}

TEST(PngRendering, CommandLineWritesOneFilePerRequestedPage) {
    TempDir dir;
    FilterRun run;
    run.input = smallJob();
    run.args = std::vector<std::string>{"--png", dir.file("job"), "--scale", "2", "--page", "1"};
    run.binary = PCLINSPECT_BINARY;
    const auto result = runFilter(run);
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.out, "wrote " + dir.file("job-page1.png") + "\n");
    EXPECT_EQ(readFile(dir.file("job-page1.png")).substr(0, 8), "\x89PNG\r\n\x1a\n");

    run.args = std::vector<std::string>{"--png", dir.file("job"), "--page", "2"};
    EXPECT_NE(runFilter(run).exitStatus, 0) << "the job has one page";
}

}  // namespace
