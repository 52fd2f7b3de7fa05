// grayToRgb < gray.pwg > rgb.pwg: every page of an 8-bit gray PWG raster as
// an 8-bit sRGB page of the same size, each gray byte tripled. The tests
// feed the result to the filter to get the bytes a gray job must print as.
#include <cups/raster.h>

#include <memory>
#include <vector>

int main() {
    using raster = std::unique_ptr<cups_raster_t, void (*)(cups_raster_t*)>;
    const raster in(cupsRasterOpen(0, CUPS_RASTER_READ), cupsRasterClose);
    const raster out(cupsRasterOpen(1, CUPS_RASTER_WRITE_PWG), cupsRasterClose);
    cups_page_header2_t header;
    while (in && out && cupsRasterReadHeader2(in.get(), &header)) {
        std::vector<unsigned char> gray(header.cupsBytesPerLine), rgb(header.cupsWidth * 3);
        const bool gray8 = header.cupsBitsPerPixel == 8;
        header.cupsColorSpace = CUPS_CSPACE_SRGB;
        header.cupsBitsPerPixel = 24;
        header.cupsNumColors = 3;
        header.cupsBytesPerLine = header.cupsWidth * 3;
        if (!gray8 || !cupsRasterWriteHeader2(out.get(), &header)) return 1;
        for (unsigned y = 0; y < header.cupsHeight; ++y) {
            if (!cupsRasterReadPixels(in.get(), gray.data(), gray.size())) return 1;
            for (unsigned x = 0; x < header.cupsWidth; ++x) rgb[3 * x] = rgb[3 * x + 1] = rgb[3 * x + 2] = gray[x];
            if (!cupsRasterWritePixels(out.get(), rgb.data(), rgb.size())) return 1;
        }
    }
    return in && out ? 0 : 1;
}
