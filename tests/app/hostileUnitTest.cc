// Broken input meets the app's own code without a server: pages whose rows
// stop early, refused page headers, damaged and oversized images, and
// output files that never replace one another.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <png.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/imageDecode.h"
#include "app/jobSettings.h"
#include "app/rasterJob.h"
#include "app/uniqueFile.h"
#include "encoder/byteSink.h"

namespace corvane {
namespace {

class memorySink final : public byteSink {
public:
    using byteSink::write;
    void write(std::span<const std::uint8_t> bytes) override { data.append(bytes.begin(), bytes.end()); }
    void flush() override {}
    std::string data;
};

cups_page_header2_t rgbPage(unsigned width, unsigned height) {
    cups_page_header2_t header{};
    header.HWResolution[0] = header.HWResolution[1] = 600;
    header.cupsColorSpace = CUPS_CSPACE_SRGB;
    header.cupsColorOrder = CUPS_ORDER_CHUNKED;
    header.cupsBitsPerColor = 8;
    header.cupsBitsPerPixel = 24;
    header.cupsWidth = width;
    header.cupsHeight = height;
    header.cupsBytesPerLine = width * 3;
    return header;
}

TEST(RasterJob, PageWhoseRowsStopEarlyIsReportedAndTheStreamStillEnds) {
    memorySink printer;
    rasterJob job(jobTicket({}), printer);
    job.begin();
    ASSERT_FALSE(job.beginPage(rgbPage(8, 10)));
    const std::vector<std::uint8_t> row(24, 0x40);
    for (int y = 0; y < 4; ++y) job.addRow(row);
    const auto incomplete = job.endPage();
    ASSERT_TRUE(incomplete);
    EXPECT_NE(incomplete->find("4 of its 10 rows"), std::string::npos) << *incomplete;

    // A refused header sends nothing; the job still ends with reset and UEL.
    const std::size_t before = printer.data.size();
    EXPECT_TRUE(job.beginPage(rgbPage(8, 1000000)));
    job.addRow(row);
    EXPECT_FALSE(job.endPage());
    EXPECT_EQ(printer.data.size(), before);
    job.end();
    EXPECT_TRUE(printer.data.ends_with("\x1b" "E\x1b%-12345X"));
}

std::vector<std::uint8_t> pngOf(int width, int height) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = height;
    image.format = PNG_FORMAT_RGB;
    std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(image), 0x80);
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr);
    std::vector<std::uint8_t> file(size);
    png_image_write_to_memory(&image, file.data(), &size, 0, pixels.data(), 0, nullptr);
    return file;
}

imageResult decodePngBytes(std::vector<std::uint8_t> bytes, const imageLimits& limits) {
    std::FILE* file = fmemopen(bytes.data(), bytes.size(), "rb");
    auto result = decodePng(file, limits);
    std::fclose(file);
    return result;
}

TEST(ImageDecode, DamagedTruncatedAndOversizedImagesAreRefusedWithAReason) {
    const imageLimits limits{1u << 20, 1000, 1000};
    const auto whole = decodePngBytes(pngOf(40, 30), limits);
    ASSERT_TRUE(std::holds_alternative<decodedImage>(whole));
    EXPECT_EQ(std::get<decodedImage>(whole).pixels.size(), 40u * 30 * 3);

    auto cut = pngOf(200, 200);
    cut.resize(cut.size() / 2);
    const auto truncated = decodePngBytes(cut, limits);
    ASSERT_TRUE(std::holds_alternative<std::string>(truncated));
    EXPECT_NE(std::get<std::string>(truncated).find("ends early"), std::string::npos);

    const auto large = decodePngBytes(pngOf(1001, 2), limits);
    ASSERT_TRUE(std::holds_alternative<std::string>(large));
    EXPECT_NE(std::get<std::string>(large).find("too large"), std::string::npos);

    std::vector<std::uint8_t> notJpeg(64, 0xFF);
    std::FILE* file = fmemopen(notJpeg.data(), notJpeg.size(), "rb");
    EXPECT_TRUE(std::holds_alternative<std::string>(decodeJpeg(file, limits)));
    std::fclose(file);
}

TEST(UniqueFile, JobsOfOneNameNeverReplaceEachOtherNorFollowLinks) {
    const auto folder = std::filesystem::temp_directory_path() / ("corvane-unique-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    std::filesystem::create_symlink("/nonexistent/target", folder / "linked.pcl");

    std::vector<std::string> paths;
    for (const char* name : {"Untitled", "Untitled", "Untitled", "linked", "a/b\x01\xC3\xA9", ".hidden", ""}) {
        std::string path;
        const int fd = createUniqueFile(folder.string(), name, "pcl", path);
        ASSERT_GE(fd, 0) << name;
        EXPECT_EQ(::write(fd, "x", 1), 1);
        close(fd);
        paths.push_back(std::filesystem::path(path).filename().string());
        EXPECT_EQ(std::filesystem::status(path).permissions(),
                  std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    }
    EXPECT_EQ(paths, (std::vector<std::string>{"Untitled.pcl", "Untitled-2.pcl", "Untitled-3.pcl", "linked-2.pcl",
                                               "a_b___.pcl", "_.hidden.pcl", "Untitled-4.pcl"}));
    EXPECT_EQ(std::filesystem::file_size(folder / "Untitled.pcl"), 1u);
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace corvane
