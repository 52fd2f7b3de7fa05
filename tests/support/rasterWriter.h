// CUPS raster streams written by libcups's own writer, to feed the filter.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <cups/raster.h>

namespace corvane::test {

// One page. Fewer rows than `height` makes a stream that ends inside the page.
struct RasterPage {
    unsigned width = 0;         // cupsWidth, pixels per row
    unsigned height = 0;        // cupsHeight, rows
    unsigned bytesPerLine = 0;  // cupsBytesPerLine; 0 means 3 * width
    std::vector<std::vector<std::uint8_t>> rows;
};

enum class RasterMode { uncompressed, compressed };

// The page's header: 8-bit RGB, 600 dpi.
cups_page_header2_t pageHeader(const RasterPage& page);

// A version-1 CUPS raster stream of 8-bit RGB pages at 600 dpi.
std::string writeRaster(const std::vector<RasterPage>& pages, RasterMode mode = RasterMode::uncompressed);

// Overwrites one 32-bit field of the first page header (for headers libcups's
// writer would not produce), e.g. at offsetof(cups_page_header2_t, cupsHeight).
void setFirstHeaderField(std::string& stream, std::size_t fieldOffset, std::uint32_t value);

}  // namespace corvane::test
