#include "pclinspect/pngExport.h"

#include <gtest/gtest.h>

#include "streams.h"
#include "support/filterRunner.h"

namespace {

using namespace corvane::test;
using Row = std::vector<std::uint8_t>;

pclinspect::PageRaster rgbRaster() {
    pclinspect::PageRaster r;
    r.width = 4;
    r.height = 2;
    r.bitsPerPixel = 24;
    r.rowBytes = 12;
    r.rows = {Row(12, 0xFF), Row{0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0xFF, 0, 0}};
    return r;
}

TEST(PngRendering, KeepsRgbPixelsAtFullSize) {
    const auto image = pclinspect::renderPage(rgbRaster(), 1);
    EXPECT_EQ(image.width, 4u);
    EXPECT_EQ(image.height, 2u);
    const Row secondRow(image.pixels.begin() + 12, image.pixels.end());
    EXPECT_EQ(secondRow, (Row{0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0xFF, 0, 0}));
}

TEST(PngRendering, ScalingAveragesEachBlockAndKeepsPartialBlocks) {
    const auto image = pclinspect::renderPage(rgbRaster(), 3);
    EXPECT_EQ(image.width, 2u);
    EXPECT_EQ(image.height, 1u);
    // Block 0: three white on the first row, white, black, black on the second.
    EXPECT_EQ(image.pixels[0], (4 * 255) / 6);
    // Block 1: one column, white above red.
    EXPECT_EQ((Row{image.pixels[3], image.pixels[4], image.pixels[5]}), (Row{255, 127, 127}));
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
