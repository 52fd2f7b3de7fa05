// Unit tests of the printer application's pure parts: the job settings
// mapping onto the filter's ticket, the raster checks, the row fitting and
// expansion, and the test page document.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "app/jobSettings.h"
#include "app/pageFit.h"
#include "app/rasterJob.h"
#include "app/rasterLayout.h"
#include "app/testPageDocument.h"

namespace corvane {
namespace {

constexpr const char* firstPageSource = "com.apple.print.PrintSettings.PMPrimaryPaperFeed..a.1";
constexpr const char* jobNameKey = "com.apple.print.JobInfo.PMJobName";

std::optional<std::string> valueOf(const optionMap& options, const std::string& key) {
    const auto found = options.find(key);
    if (found == options.end()) return std::nullopt;
    return found->second;
}

TEST(JobSettings, MediaBecomesTheFilterSizeOrACustomSizeInPoints) {
    struct sizeCase {
        int width, length;  // hundredths of a millimetre
        const char* name;
        const char* media;
    };
    const sizeCase cases[] = {
        {21000, 29700, "iso_a4_210x297mm", "A4"},
        {21590, 27940, "na_letter_8.5x11in", "Letter"},
        {25700, 36400, "jis_b4_257x364mm", "B4"},
        {18200, 25700, "jis_b5_182x257mm", "B5"},
        {17600, 25000, "iso_b5_176x250mm", "ISOB5"},
        {21590, 33020, "na_foolscap_8.5x13in", "Folio"},
        // Sizes outside the table, named or not, go as points.
        {10160, 15240, "na_index-4x6_4x6in", "Custom.288x432"},
        {10000, 15000, "custom_100x150mm_100x150mm", "Custom.283.46x425.2"},
        {12345, 20000, "", "Custom.349.94x566.93"},
        // Without dimensions the name stands for the size.
        {0, 0, "iso_a5_148x210mm", "A5"},
    };
    for (const auto& c : cases) {
        ippJobSettings settings;
        settings.mediaWidth = c.width;
        settings.mediaLength = c.length;
        settings.mediaName = c.name;
        EXPECT_EQ(valueOf(ticketOptions(settings), "media"), c.media) << c.name << " " << c.width;
    }
}

TEST(JobSettings, SourceFeedsEveryPageAndAutoSendsNone) {
    struct sourceCase {
        const char* keyword;
        std::optional<std::string> slot;
    };
    const sourceCase cases[] = {
        {"tray-2", "Tray2"},
        {"tray-5", "Tray5"},
        {"manual", "ManualPaper"},
        {"by-pass-tray", "MultipurposeFeeder"},
        {"envelope", "EnvFeeder"},
        {"auto", std::nullopt},
        {"", std::nullopt},
        {"tray-6", std::nullopt},
    };
    for (const auto& c : cases) {
        ippJobSettings settings;
        settings.source = c.keyword;
        const optionMap options = ticketOptions(settings);
        EXPECT_EQ(valueOf(options, "InputSlot"), c.slot) << c.keyword;
        // The first page comes from the same source: a one-page job on
        // letterhead must not come from the default tray.
        EXPECT_EQ(valueOf(options, firstPageSource), c.slot) << c.keyword;
    }
}

TEST(JobSettings, MediaTypeNamesAndAutoSendsNone) {
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"stationery", "Plain"},
        {"cardstock", "Card"},
        {"stationery-letterhead", "Letterhead"},
        {"stationery-preprinted", "Preprint"},
        {"stationery-colored", "Colored"},
        {"envelope", "Envelope"},
        {"auto", std::nullopt},
        {"photographic", std::nullopt},
    };
    for (const auto& [keyword, type] : cases) {
        ippJobSettings settings;
        settings.type = keyword;
        EXPECT_EQ(valueOf(ticketOptions(settings), "MediaType"), type) << keyword;
    }
}

TEST(JobSettings, DarknessAndTonerSavingGiveOneTonerSetting) {
    struct darknessCase {
        std::optional<int> darkness;
        bool save;
        std::optional<std::string> toner;
    };
    const darknessCase cases[] = {
        {1, true, "1"},  {5, true, "5"},  {1, false, "6"}, {3, false, "8"}, {5, false, "10"},
        // Left to the printer: no toner lines, whatever the saving switch.
        {std::nullopt, true, std::nullopt}, {std::nullopt, false, std::nullopt},
        {0, false, std::nullopt}, {6, true, std::nullopt},
    };
    for (const auto& c : cases) {
        ippJobSettings settings;
        settings.darkness = c.darkness;
        settings.tonerSave = c.save;
        EXPECT_EQ(valueOf(ticketOptions(settings), "TonerDarkness"), c.toner)
            << c.darkness.value_or(-1) << " save " << c.save;
    }
}

TEST(JobSettings, TicketCarriesTheJobNameAsUtf8AndNoCopyKeys) {
    ippJobSettings settings;
    settings.jobName = "Rapport \xC3\xA9t\xC3\xA9 \xE2\x82\xAC";
    settings.mediaWidth = 21000;
    settings.mediaLength = 29700;
    const ticketRef ticket = jobTicket(settings);
    const std::string* name = ticket->getValue(jobNameKey);
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(ticket->utf8Text(*name), settings.jobName);
    for (const auto& [key, value] : ticket->keyEnumerator()) {
        EXPECT_EQ(key.find("PMCopies"), std::string::npos);
        EXPECT_EQ(key.find("Collate"), std::string::npos);
    }
}

cups_page_header2_t header(unsigned dpi, cups_cspace_t space, unsigned bitsPerColor,
                           unsigned bitsPerPixel, unsigned width, unsigned height) {
    cups_page_header2_t h{};
    h.HWResolution[0] = h.HWResolution[1] = dpi;
    h.cupsColorSpace = space;
    h.cupsColorOrder = CUPS_ORDER_CHUNKED;
    h.cupsBitsPerColor = bitsPerColor;
    h.cupsBitsPerPixel = bitsPerPixel;
    h.cupsWidth = width;
    h.cupsHeight = height;
    h.cupsBytesPerLine = (width * bitsPerPixel + 7) / 8;
    return h;
}

TEST(RasterLayout, TakesOnly600DpiEightBitSrgbOrGrayOfPaperSize) {
    struct layoutCase {
        cups_page_header2_t header;
        std::optional<pixelLayout> layout;
    };
    const layoutCase cases[] = {
        {header(600, CUPS_CSPACE_SRGB, 8, 24, 4960, 7016), pixelLayout::rgb24},
        {header(600, CUPS_CSPACE_RGB, 8, 24, 5100, 6600), pixelLayout::rgb24},
        {header(600, CUPS_CSPACE_SW, 8, 8, 4960, 7016), pixelLayout::gray8},
        {header(300, CUPS_CSPACE_SRGB, 8, 24, 2480, 3508), std::nullopt},
        {header(600, CUPS_CSPACE_SRGB, 16, 48, 4960, 7016), std::nullopt},
        {header(600, CUPS_CSPACE_K, 1, 1, 4960, 7016), std::nullopt},
        {header(600, CUPS_CSPACE_CMYK, 8, 32, 4960, 7016), std::nullopt},
        // A header claiming a million rows is refused before any row.
        {header(600, CUPS_CSPACE_SRGB, 8, 24, 4960, 1000000), std::nullopt},
        {header(600, CUPS_CSPACE_SRGB, 8, 24, 0, 7016), std::nullopt},
    };
    for (const auto& c : cases) {
        const auto checked = checkRaster(c.header);
        if (c.layout) {
            ASSERT_TRUE(std::holds_alternative<acceptedRaster>(checked)) << std::get<std::string>(checked);
            EXPECT_EQ(std::get<acceptedRaster>(checked).layout, *c.layout);
        } else {
            ASSERT_TRUE(std::holds_alternative<std::string>(checked))
                << c.header.HWResolution[0] << " " << c.header.cupsColorSpace;
            EXPECT_FALSE(std::get<std::string>(checked).empty());
        }
    }
    auto wrongRow = header(600, CUPS_CSPACE_SRGB, 8, 24, 100, 100);
    wrongRow.cupsBytesPerLine = 100;
    EXPECT_TRUE(std::holds_alternative<std::string>(checkRaster(wrongRow)));
}

TEST(PageFit, RowsAreCutOrPaddedWithWhite) {
    const std::vector<std::uint8_t> rendered = {1, 2, 3, 4, 5, 6};
    std::vector<std::uint8_t> narrower(4, 0);
    fitRow(rendered, narrower);
    EXPECT_EQ(narrower, (std::vector<std::uint8_t>{1, 2, 3, 4}));
    std::vector<std::uint8_t> wider(9, 0);
    fitRow(rendered, wider);
    EXPECT_EQ(wider, (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 0xFF, 0xFF, 0xFF}));
}

TEST(GrayRows, EachGrayByteBecomesThreeEqualBytes) {
    const std::vector<std::uint8_t> gray = {0, 0x80, 0xFF};
    std::vector<std::uint8_t> rgb(9, 7);
    expandGrayRow(gray, rgb);
    EXPECT_EQ(rgb, (std::vector<std::uint8_t>{0, 0, 0, 0x80, 0x80, 0x80, 0xFF, 0xFF, 0xFF}));
}

TEST(TestPageDocument, CrossReferencePointsAtEveryObject) {
    testPageContent content;
    content.printerName = "front (desk) \\ \xC3\xA9";
    content.settings = {{"Source", "tray-2"}};
    const std::string pdf = testPageDocument(content);
    ASSERT_TRUE(pdf.starts_with("%PDF-1.4\n"));
    EXPECT_NE(pdf.find("(Printer: front \\(desk\\) \\\\ ?\?)"), std::string::npos);

    const std::size_t startxref = pdf.rfind("startxref\n");
    ASSERT_NE(startxref, std::string::npos);
    const std::size_t xref = std::stoul(pdf.substr(startxref + 10));
    ASSERT_EQ(pdf.compare(xref, 5, "xref\n"), 0);
    std::size_t entry = pdf.find('\n', pdf.find('\n', pdf.find('\n', xref) + 1) + 1) + 1;
    for (int object = 1; pdf.compare(entry, 7, "trailer") != 0; ++object, entry += 20) {
        const std::size_t offset = std::stoul(pdf.substr(entry, 10));
        const std::string start = std::to_string(object) + " 0 obj";
        EXPECT_EQ(pdf.compare(offset, start.size(), start), 0) << object;
    }
}

}  // namespace
}  // namespace corvane
