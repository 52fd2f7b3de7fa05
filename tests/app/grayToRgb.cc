// grayToRgb < gray.pwg > rgb.pwg: every page of an 8-bit gray PWG raster as
// an 8-bit sRGB page of the same size, each gray byte tripled. The tests
// feed the result to the filter to get the bytes a gray job must print as.
#include <cups/raster.h>

#include <vector>

int main() {
    cups_raster_t* in = cupsRasterOpen(0, CUPS_RASTER_READ);
    cups_raster_t* out = cupsRasterOpen(1, CUPS_RASTER_WRITE_PWG);
    if (in == nullptr || out == nullptr) return 1;
    cups_page_header2_t header;
    int status = 0;
    while (status == 0 && cupsRasterReadHeader2(in, &header)) {
        if (header.cupsBitsPerPixel != 8) {
            status = 1;
            break;
        }
        std::vector<unsigned char> gray(header.cupsBytesPerLine);
        std::vector<unsigned char> rgb(header.cupsWidth * 3);
        header.cupsColorSpace = CUPS_CSPACE_SRGB;
        header.cupsBitsPerPixel = 24;
        header.cupsNumColors = 3;
        header.cupsBytesPerLine = header.cupsWidth * 3;
        if (!cupsRasterWriteHeader2(out, &header)) status = 1;
        for (unsigned y = 0; status == 0 && y < header.cupsHeight; ++y) {
            if (cupsRasterReadPixels(in, gray.data(), gray.size()) == 0) status = 1;
            for (unsigned x = 0; x < header.cupsWidth; ++x)
                rgb[3 * x] = rgb[3 * x + 1] = rgb[3 * x + 2] = gray[x];
            if (status == 0 && cupsRasterWritePixels(out, rgb.data(), rgb.size()) == 0) status = 1;
        }
    }
    cupsRasterClose(in);
    cupsRasterClose(out);
    return status;
}
