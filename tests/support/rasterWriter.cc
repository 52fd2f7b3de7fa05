#include "support/rasterWriter.h"

#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <unistd.h>

#include <cups/raster.h>

namespace corvane::test {

std::string writeRaster(const std::vector<RasterPage>& pages, RasterMode mode) {
    // libcups writes to a descriptor; a temporary file collects the bytes.
    std::FILE* file = std::tmpfile();
    if (!file) throw std::runtime_error("tmpfile failed");
    cups_raster_t* raster = cupsRasterOpen(
        fileno(file), mode == RasterMode::compressed ? CUPS_RASTER_WRITE_COMPRESSED
                                                     : CUPS_RASTER_WRITE);
    for (const auto& page : pages) {
        cups_page_header2_t header;
        std::memset(&header, 0, sizeof header);
        std::strcpy(header.MediaClass, "PwgRaster");
        header.HWResolution[0] = header.HWResolution[1] = 600;
        header.cupsWidth = page.width;
        header.cupsHeight = page.height;
        header.cupsBitsPerColor = 8;
        header.cupsBitsPerPixel = 24;
        header.cupsBytesPerLine = page.bytesPerLine ? page.bytesPerLine : 3 * page.width;
        header.cupsColorOrder = CUPS_ORDER_CHUNKED;
        header.cupsColorSpace = CUPS_CSPACE_RGB;
        header.cupsNumColors = 3;
        header.NumCopies = 1;
        header.PageSize[0] = page.width * 72 / 600;
        header.PageSize[1] = page.height * 72 / 600;
        if (!cupsRasterWriteHeader2(raster, &header)) throw std::runtime_error("header refused");
        for (const auto& row : page.rows) {
            std::vector<std::uint8_t> bytes = row;
            bytes.resize(header.cupsBytesPerLine, 0xFF);
            cupsRasterWritePixels(raster, bytes.data(), header.cupsBytesPerLine);
        }
    }
    cupsRasterClose(raster);
    std::fflush(file);
    std::string bytes;
    std::rewind(file);
    char chunk[65536];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, got);
    std::fclose(file);
    return bytes;
}

std::vector<std::uint8_t> whiteRow(std::size_t bytes) { return filledRow(bytes, 0xFF); }

std::vector<std::uint8_t> filledRow(std::size_t bytes, std::uint8_t value) {
    return std::vector<std::uint8_t>(bytes, value);
}

}  // namespace corvane::test

namespace corvane::test {

void setFirstHeaderField(std::string& stream, std::size_t fieldOffset, std::uint32_t value) {
    // The stream starts with the 4-byte sync word; the header follows in
    // native byte order.
    std::memcpy(stream.data() + 4 + fieldOffset, &value, sizeof value);
}

}  // namespace corvane::test
