// floor: reads every page header and every row of a CUPS raster stream on
// standard input with libcups and throws them away. This is the least work
// any raster filter does, the baseline the filter's speed is measured
// against.
#include <cups/raster.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

namespace {
struct rasterCloser {
    void operator()(cups_raster_t* r) const { cupsRasterClose(r); }
};
}  // namespace

int main(int argc, char** argv) {
    const bool verbose = argc > 1 && std::string_view(argv[1]) == "-v";
    std::unique_ptr<cups_raster_t, rasterCloser> raster(cupsRasterOpen(STDIN_FILENO, CUPS_RASTER_READ));
    if (!raster) return 1;
    // Version 1 headers, as the filter reads them.
    cups_page_header_t header;
    std::memset(&header, 0, sizeof header);
    std::vector<unsigned char> row;
    unsigned long pages = 0;
    unsigned long long bytes = 0;
    // The version 1 reader is deprecated in favour of cupsRasterReadHeader2;
    // the floor uses it on purpose, as the filter does.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    while (cupsRasterReadHeader(raster.get(), &header)) {
#pragma GCC diagnostic pop
        ++pages;
        row.resize(header.cupsBytesPerLine);
        for (unsigned y = 0; y < header.cupsHeight; ++y) {
            bytes += cupsRasterReadPixels(raster.get(), row.data(), header.cupsBytesPerLine);
        }
    }
    if (verbose) std::fprintf(stderr, "floor: %lu pages, %llu row bytes\n", pages, bytes);
    return 0;
}
