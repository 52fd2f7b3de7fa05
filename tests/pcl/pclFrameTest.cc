#include <gtest/gtest.h>

#include <cstring>

#include "pclTestJob.h"
#include "support/bytes.h"

namespace corvane {
namespace {

using test::hex;
using test::pclTestJob;

TEST(PageFrame, PreambleCarriesHeightThenWidth) {
    pclTestJob t("", 5100, 6600);
    t.preamble();
    EXPECT_EQ(t.nextPage(),
              hex({0x1B, 0x2A, 0x70, 0x30, 0x59, 0x1B, 0x2A, 0x70, 0x30, 0x50, 0x1B, 0x2A, 0x76,
                   0x36, 0x57, 0x00, 0x03, 0x00, 0x08, 0x08, 0x08, 0x1B, 0x2A, 0x72, 0x31, 0x41,
                   0x1B, 0x2A, 0x72, 0x36, 0x36, 0x30, 0x30, 0x74, 0x35, 0x31, 0x30, 0x30, 0x53}));
}

TEST(PageFrame, EachPageReadsTheSharedHeaderAgain) {
    pclTestJob t("");
    t.preamble();
    EXPECT_EQ(t.nextPage(), test::pageFrame(4, 2));
    t.header.cupsWidth = 850;
    t.header.cupsHeight = 1100;
    EXPECT_EQ(t.nextPage(), test::pageFrame(850, 1100));
    EXPECT_EQ(t.pcl.pagesBegun(), 2);
}

TEST(PageFrame, PageEndResetAndRowCommands) {
    pclTestJob t("");
    t.pcl.setPageEnder();
    EXPECT_EQ(t.job.printed(), hex({0x1B, 0x2A, 0x76, 0x30, 0x4F, 0x1B, 0x2A, 0x76, 0x30, 0x4E,
                                    0x1B, 0x2A, 0x6C, 0x32, 0x35, 0x32, 0x4F, 0x0C}));
    t.pcl.exitPCL();
    EXPECT_EQ(t.job.printed(), hex({0x1B, 0x45}));
    t.pcl.setDeltaCompression();
    EXPECT_EQ(t.job.printed(), "\x1b*b3M");
    t.pcl.sizeOfDataToSend(8);
    EXPECT_EQ(t.job.printed(), hex({0x1B, 0x2A, 0x62, 0x38, 0x57}));
    t.pcl.sizeOfDataToSend(12345);
    EXPECT_EQ(t.job.printed(), "\x1b*b12345W");
    t.pcl.sizeOfDataToSend(0);
    EXPECT_EQ(t.job.printed(), "\x1b*b0W");
    t.pcl.currentCursorPosition(1);
    EXPECT_EQ(t.job.printed(), hex({0x1B, 0x2A, 0x70, 0x30, 0x58, 0x1B, 0x2A, 0x70, 0x31, 0x59}));
    t.pcl.currentCursorPosition(70000);
    EXPECT_EQ(t.job.printed(), "\x1b*p0X\x1b*p70000Y");
    t.pcl.sendDuplicateRow();
    EXPECT_EQ(t.job.printed(), "\x1b*b0W");
    t.pcl.endRasterGraphics();
    EXPECT_EQ(t.job.printed(), "\x1b*rC");
    t.pcl.setNoCompression();
    EXPECT_EQ(t.job.printed(), "\x1b*b0M");
}

TEST(ConvertLengthToString, DecimalWithSignAndTerminator) {
    struct row {
        std::int16_t value;
        const char* text;
    };
    for (const auto& [value, text] : {row{0, "0"}, row{7, "7"}, row{10, "10"},
                                      row{32767, "32767"}, row{-1, "-1"},
                                      row{-32767, "-32767"}, row{-32768, "-32768"}}) {
        char buffer[8];
        std::fill(std::begin(buffer), std::end(buffer), 'z');
        const auto length = pclCommands::convertLengthToString(value, buffer);
        EXPECT_EQ(length, static_cast<std::int16_t>(std::strlen(text)));
        EXPECT_STREQ(buffer, text);
    }
}

}  // namespace
}  // namespace corvane
