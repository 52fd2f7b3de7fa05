// Golden listing and summary of a small two-page job.
#include <gtest/gtest.h>

#include "pclinspect/report.h"
#include "streams.h"

namespace {

using namespace corvane::test;

// Page 1: row 0 blank, row 1 white/black/black/white. Page 2, two copies from
// tray code 4: that row twice (the second as a repeat), then one changed byte.
std::string goldenJob() {
    const std::string preamble = esc("*t600R") + esc("&u600D") + esc("&l26A") + esc("&n6WdPlain") + esc("&l0E");
    const std::string page2 = pageStart(3, 4, esc("&l2X") + esc("&l4H")) +
                              row(hex({0x40, 0xFF, 0xFF, 0xFF, 0x46, 0xFF, 0xFF, 0xFF})) + esc("*b0W") +
                              row(hex({0x04, 0x80})) + pageEnd();
    return pjlHeader("Report", "@PJL SET DENSITY = 3\n@PJL SET ECONOMODE = OFF\n") + preamble + smallPage() +
           page2 + jobEnd();
}

TEST(InspectorGolden, Listing) {
    const std::string bytes = goldenJob();
    const auto job = pclinspect::decodeJob(asBytes(bytes));
    EXPECT_EQ(pclinspect::formatListing(job, asBytes(bytes)), R"(       0  ESC x5000  escape run, 5000 bytes
    5000  ESC%-12345X  universal exit language (UEL)
    5009  @PJL COMMENT Corvane PCL driver  PJL comment
    5041  @PJL JOB NAME = "Report"  PJL job, name "Report"
    5066  @PJL SET PAGEPROTECT = AUTO  PJL setting PAGEPROTECT = AUTO
    5094  @PJL SET RESOLUTION = 600  PJL setting RESOLUTION = 600
    5120  @PJL SET DENSITY = 3  PJL setting DENSITY = 3
    5141  @PJL SET ECONOMODE = OFF  PJL setting ECONOMODE = OFF
    5166  @PJL SET TIMEOUT = 0  PJL setting TIMEOUT = 0
    5187  @PJL ENTER LANGUAGE=PCL  PJL enter language PCL
    5211  ESC*t600R  raster resolution 600 dpi
    5218  ESC&u600D  unit of measure 600 units per inch
    5225  ESC&l26A  page size A4 (26)
    5231  ESC&n6W <dPlain>  media type "Plain"
    5242  ESC&l0E  top margin 0 lines
    5247  ESC*p0Y  vertical position 0
    5252  ESC*p0P  push palette
    5257  ESC*v6W <00 03 00 08 08 08>  configure image data: device RGB, direct by pixel, 8/8/8 bits per primary
    5268  ESC*r1A  start raster graphics at the cursor
    5273  ESC*r2t4S  raster height 2 rows; raster width 4 pixels
    5280  ESC*b3M  compression method 3 (delta row)
    5285  ESC*p0X  horizontal position 0
    5290  ESC*p1Y  vertical position 1 (raster row 1)
    5295  ESC*b8W <8 bytes>  raster row 1, 8 bytes (delta row)
    5308  ESC*rC  end raster graphics
    5312  ESC*v0O  pattern transparency mode 0
    5317  ESC*v0N  source transparency mode 0
    5322  ESC*l252O  logical operation 252 (source OR texture)
    5329  FF  form feed: page 1 ends
    5330  ESC&l2X  copies 2
    5335  ESC&l4H  paper source lower tray (4)
    5340  ESC*p0Y  vertical position 0
    5345  ESC*p0P  push palette
    5350  ESC*v6W <00 03 00 08 08 08>  configure image data: device RGB, direct by pixel, 8/8/8 bits per primary
    5361  ESC*r1A  start raster graphics at the cursor
    5366  ESC*r3t4S  raster height 3 rows; raster width 4 pixels
    5373  ESC*b3M  compression method 3 (delta row)
    5378  ESC*b8W <8 bytes>  raster row 0, 8 bytes (delta row)
    5391  ESC*b0W  raster row 1, repeats the seed row
    5396  ESC*b2W <2 bytes>  raster row 2, 2 bytes (delta row)
    5403  ESC*rC  end raster graphics
    5407  ESC*v0O  pattern transparency mode 0
    5412  ESC*v0N  source transparency mode 0
    5417  ESC*l252O  logical operation 252 (source OR texture)
    5424  FF  form feed: page 2 ends
    5425  ESC E  printer reset
    5427  ESC%-12345X  universal exit language (UEL)
)");
}

TEST(InspectorGolden, Summary) {
    const std::string bytes = goldenJob();
    EXPECT_EQ(pclinspect::formatSummary(pclinspect::decodeJob(asBytes(bytes))), R"(stream: 5436 bytes, escape run 5000 bytes, UEL at start yes, reset at end yes, UEL at end yes
job name: "Report"
PJL comment: Corvane PCL driver
PJL settings: PAGEPROTECT=AUTO, RESOLUTION=600, DENSITY=3, ECONOMODE=OFF, TIMEOUT=0
PJL enters PCL: yes
job preamble: raster resolution 600 dpi; unit of measure 600 units per inch; page size A4 (26); media type "Plain"; top margin 0 lines
copies: none in the job preamble, on 1 of 2 pages (2)
pages: 2
page 1: size A4 (26), media "Plain", source printer default, copies printer default
  raster 4 x 2 pixels, 24 bits per pixel, 12 bytes per row
  rows: 1 sent, 0 repeated, 1 skipped, 1 cursor moves
  bytes: 62 in the page, 8 of row data, raster 24 uncompressed, ratio 0.4:1
page 2: size A4 (26), media "Plain", source lower tray (4) (sent for this page), copies 2 (sent for this page)
  raster 4 x 3 pixels, 24 bits per pixel, 12 bytes per row
  rows: 2 sent, 1 repeated, 0 skipped, 0 cursor moves
  bytes: 64 in the page, 10 of row data, raster 36 uncompressed, ratio 0.6:1
problems: none
)");
}

}  // namespace
