// pagediff: how far two renderings of a page are apart.
//
//   pagediff A.png B.png
//
// Both RGB (or gray) PNGs of the same size. Prints the mean difference per
// colour value (0-255), the largest, and the share of pixels where some
// colour differs by more than 16 and by more than 64: content shifted or
// missing shows as many pixels far apart, a shading drawn in steps of one
// colour as small differences everywhere. Exit status 1 when the pages
// cannot be compared.
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

struct image {
    png_uint_32 width = 0, height = 0;
    unsigned channels = 0;
    std::vector<png_bytep> rows;
    std::vector<unsigned char> pixels;
};

struct fileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};

bool readPng(const char* path, image& into) {
    std::unique_ptr<FILE, fileCloser> file(std::fopen(path, "rb"));
    if (!file) return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_init_io(png, file.get());
    png_read_info(png, info);
    png_set_strip_16(png);
    png_set_strip_alpha(png);
    png_set_palette_to_rgb(png);
    png_read_update_info(png, info);
    into.width = png_get_image_width(png, info);
    into.height = png_get_image_height(png, info);
    into.channels = png_get_channels(png, info);
    const std::size_t stride = png_get_rowbytes(png, info);
    into.pixels.resize(stride * into.height);
    into.rows.resize(into.height);
    for (png_uint_32 y = 0; y < into.height; ++y) into.rows[y] = into.pixels.data() + y * stride;
    png_read_image(png, into.rows.data());
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: pagediff A.png B.png\n", stderr);
        return 2;
    }
    image a, b;
    if (!readPng(argv[1], a) || !readPng(argv[2], b)) {
        std::fputs("pagediff: cannot read the PNGs\n", stderr);
        return 1;
    }
    if (a.width != b.width || a.height != b.height || a.channels != b.channels) {
        std::fprintf(stderr, "pagediff: %ux%u (%u) against %ux%u (%u)\n", a.width, a.height, a.channels, b.width,
                     b.height, b.channels);
        return 1;
    }
    unsigned long long sum = 0, over16 = 0, over64 = 0;
    int largest = 0;
    for (png_uint_32 y = 0; y < a.height; ++y)
        for (png_uint_32 x = 0; x < a.width; ++x) {
            int pixelLargest = 0;
            for (unsigned c = 0; c < a.channels; ++c) {
                const int d = std::abs(a.rows[y][x * a.channels + c] - b.rows[y][x * b.channels + c]);
                sum += static_cast<unsigned>(d);
                if (d > pixelLargest) pixelLargest = d;
            }
            if (pixelLargest > 16) ++over16;
            if (pixelLargest > 64) ++over64;
            if (pixelLargest > largest) largest = pixelLargest;
        }
    const double pixels = static_cast<double>(a.width) * a.height;
    std::printf("mean %.3f largest %d over16 %.4f%% over64 %.4f%%\n", static_cast<double>(sum) / (pixels * a.channels),
                largest, 100.0 * static_cast<double>(over16) / pixels, 100.0 * static_cast<double>(over64) / pixels);
    return 0;
}
