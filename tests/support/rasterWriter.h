// Builds CUPS raster streams with libcups's own writer, for feeding the filter in tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corvane::test {

// One page: header values plus the rows actually written. Fewer rows than
// `height` makes a stream that ends inside the page.
struct RasterPage {
    unsigned width = 0;         // cupsWidth, pixels per row
    unsigned height = 0;        // cupsHeight, rows
    unsigned bytesPerLine = 0;  // cupsBytesPerLine; 0 means 3 * width
    std::vector<std::vector<std::uint8_t>> rows;
};

enum class RasterMode { uncompressed, compressed };

// Writes the pages as a version-1 CUPS raster stream (8-bit RGB, 600 dpi
// headers) through cupsRasterOpen in write mode and returns the stream bytes.
std::string writeRaster(const std::vector<RasterPage>& pages,
                        RasterMode mode = RasterMode::uncompressed);

// Row builders. A pattern row differs from its neighbour at every byte,
// and from pattern rows of nearby seeds too.
std::vector<std::uint8_t> whiteRow(std::size_t bytes);
std::vector<std::uint8_t> filledRow(std::size_t bytes, std::uint8_t value);
std::vector<std::uint8_t> patternRow(std::size_t bytes, std::uint8_t seed);

// Overwrites one 32-bit field of the first page header of a stream written
// by writeRaster (for headers libcups's writer would not produce), e.g.
// setFirstHeaderField(stream, offsetof(cups_page_header2_t, cupsBytesPerLine), v).
void setFirstHeaderField(std::string& stream, std::size_t fieldOffset, std::uint32_t value);

}  // namespace corvane::test
