#include "support/rasterWriter.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <unistd.h>

#include <cups/raster.h>

namespace corvane::test {

cups_page_header2_t pageHeader(const RasterPage& page) {
    cups_page_header2_t header{};
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
    return header;
}

std::string writeRaster(const std::vector<RasterPage>& pages, RasterMode mode) {
    // libcups writes to a descriptor; a temporary file collects the bytes.
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::tmpfile(), &std::fclose);
    if (!file) throw std::runtime_error("tmpfile failed");
    std::unique_ptr<cups_raster_t, void (*)(cups_raster_t*)> raster(
        cupsRasterOpen(fileno(file.get()), mode == RasterMode::compressed ? CUPS_RASTER_WRITE_COMPRESSED : CUPS_RASTER_WRITE),
        &cupsRasterClose);
    for (const auto& page : pages) {
        cups_page_header2_t header = pageHeader(page);
        if (!cupsRasterWriteHeader2(raster.get(), &header)) throw std::runtime_error("header refused");
        for (auto row : page.rows) {
            row.resize(header.cupsBytesPerLine, 0xFF);
            cupsRasterWritePixels(raster.get(), row.data(), header.cupsBytesPerLine);
        }
    }
    raster.reset();  // writes out what libcups still holds
    std::string bytes(static_cast<std::size_t>(std::ftell(file.get())), '\0');
    std::rewind(file.get());
    if (std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) throw std::runtime_error("read failed");
    return bytes;
}

void setFirstHeaderField(std::string& stream, std::size_t fieldOffset, std::uint32_t value) {
    // The stream starts with the 4-byte sync word; the header follows in
    // native byte order.
    std::memcpy(stream.data() + 4 + fieldOffset, &value, sizeof value);
}

}  // namespace corvane::test
