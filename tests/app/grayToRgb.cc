// grayToRgb [--apple] < in.pwg > out: every page of an 8-bit gray or sRGB
// PWG raster as an 8-bit sRGB page of the same size, each gray byte
// tripled; with --apple written as Apple raster (URF), as iOS and macOS
// send it. The tests feed the result to the filter to get the bytes a gray
// job must print as, and send it to the app as an Apple raster document.
#include <cups/raster.h>

#include <cstring>
#include <memory>
#include <vector>

int main(int argc, char* argv[]) {
    const bool apple = argc > 1 && std::strcmp(argv[1], "--apple") == 0;
    using raster = std::unique_ptr<cups_raster_t, void (*)(cups_raster_t*)>;
    const raster in(cupsRasterOpen(0, CUPS_RASTER_READ), cupsRasterClose);
    const raster out(cupsRasterOpen(1, apple ? CUPS_RASTER_WRITE_APPLE : CUPS_RASTER_WRITE_PWG), cupsRasterClose);
    cups_page_header2_t header;
    while (in && out && cupsRasterReadHeader2(in.get(), &header)) {
        std::vector<unsigned char> row(header.cupsBytesPerLine), rgb(header.cupsWidth * 3);
        const bool gray8 = header.cupsBitsPerPixel == 8;
        header.cupsColorSpace = CUPS_CSPACE_SRGB;
        header.cupsBitsPerPixel = 24;
        header.cupsNumColors = 3;
        header.cupsBytesPerLine = header.cupsWidth * 3;
        if (row.size() != (gray8 ? 1u : 3u) * header.cupsWidth || !cupsRasterWriteHeader2(out.get(), &header)) return 1;
        for (unsigned y = 0; y < header.cupsHeight; ++y) {
            if (!cupsRasterReadPixels(in.get(), row.data(), row.size())) return 1;
            for (unsigned x = 0; x < header.cupsWidth; ++x)
                for (unsigned c = 0; c < 3; ++c) rgb[3 * x + c] = row[gray8 ? x : 3 * x + c];
            if (!cupsRasterWritePixels(out.get(), rgb.data(), rgb.size())) return 1;
        }
    }
    return in && out ? 0 : 1;
}
