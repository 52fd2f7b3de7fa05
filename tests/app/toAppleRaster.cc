// toAppleRaster < rgb.pwg > pages.urf: the pages of an 8-bit sRGB PWG
// raster as Apple raster (URF), row for row, as iOS and macOS send them.
#include <cups/raster.h>

#include <memory>
#include <vector>

int main() {
    using raster = std::unique_ptr<cups_raster_t, void (*)(cups_raster_t*)>;
    const raster in(cupsRasterOpen(0, CUPS_RASTER_READ), cupsRasterClose);
    const raster out(cupsRasterOpen(1, CUPS_RASTER_WRITE_APPLE), cupsRasterClose);
    cups_page_header2_t header;
    while (in && out && cupsRasterReadHeader2(in.get(), &header)) {
        std::vector<unsigned char> row(header.cupsBytesPerLine);
        if (header.cupsBitsPerPixel != 24 || !cupsRasterWriteHeader2(out.get(), &header)) return 1;
        for (unsigned y = 0; y < header.cupsHeight; ++y)
            if (!cupsRasterReadPixels(in.get(), row.data(), row.size()) ||
                !cupsRasterWritePixels(out.get(), row.data(), row.size()))
                return 1;
    }
    return in && out ? 0 : 1;
}
