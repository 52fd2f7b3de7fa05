// pagegen: writes a synthetic CUPS raster job for the benchmarks.
//
//   pagegen --kind text|photo|blank|mixed [--pages N] [--seed S]
//           [--black1] [--compressed] [--width W --height H]
//           [--pcl-compression M] [-o FILE]
//
// The stream goes through libcups's raster writer, uncompressed (version 3
// sync word) by default as Debian's gstoraster and pdftoraster write it;
// --compressed writes the run-length compressed version 2 stream instead.
// --black1 writes the same pages as 1-bit black raster for filters that
// take only that (CUPS's rastertohp). --pcl-compression sets the header's
// cupsCompression, which a rasteriser copies from the PPD's colour model and
// which drivers such as rastertopclx use as the PCL compression method; the
// pixels are the same.
#include <cups/raster.h>
#include <fcntl.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "pageSynth.h"

namespace {

using corvane::bench::pageGeometry;
using corvane::bench::pageKind;
using corvane::bench::pageSynth;
using corvane::bench::pixelFormat;

struct options {
    pageKind kind = pageKind::text;
    std::uint32_t pages = 1;
    std::uint64_t seed = 1;
    pageGeometry geometry;
    bool compressed = false;
    unsigned pclCompression = 0;
    std::string outPath;  // empty: standard output
};

struct rasterCloser {
    void operator()(cups_raster_t* r) const { cupsRasterClose(r); }
};

template <typename T>
bool parseNumber(std::string_view text, T& out) {
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc{} && end == text.data() + text.size();
}

int usage() {
    std::fputs("usage: pagegen --kind text|photo|blank|mixed [--pages N] [--seed S]\n"
               "               [--black1] [--compressed] [--width W] [--height H]\n"
               "               [--pcl-compression M] [-o FILE]\n",
               stderr);
    return 2;
}

bool parseArgs(int argc, char** argv, options& opt) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--black1") {
            opt.geometry.format = pixelFormat::black1;
        } else if (a == "--compressed") {
            opt.compressed = true;
        } else if (a == "--kind" && hasValue) {
            auto k = corvane::bench::parsePageKind(argv[++i]);
            if (!k) return false;
            opt.kind = *k;
        } else if (a == "--pages" && hasValue) {
            if (!parseNumber(argv[++i], opt.pages)) return false;
        } else if (a == "--seed" && hasValue) {
            if (!parseNumber(argv[++i], opt.seed)) return false;
        } else if (a == "--width" && hasValue) {
            if (!parseNumber(argv[++i], opt.geometry.width)) return false;
        } else if (a == "--height" && hasValue) {
            if (!parseNumber(argv[++i], opt.geometry.height)) return false;
        } else if (a == "--pcl-compression" && hasValue) {
            if (!parseNumber(argv[++i], opt.pclCompression)) return false;
        } else if (a == "-o" && hasValue) {
            opt.outPath = argv[++i];
        } else {
            return false;
        }
    }
    return true;
}

// A page header as a 600 dpi rasteriser fills it for Letter.
cups_page_header2_t makeHeader(const pageGeometry& g, unsigned pclCompression) {
    cups_page_header2_t h;
    std::memset(&h, 0, sizeof h);
    std::strcpy(h.MediaClass, "PwgRaster");
    std::strcpy(h.OutputType, "Normal");
    h.HWResolution[0] = h.HWResolution[1] = 600;
    h.PageSize[0] = g.width * 72 / 600;
    h.PageSize[1] = g.height * 72 / 600;
    h.ImagingBoundingBox[2] = h.PageSize[0];
    h.ImagingBoundingBox[3] = h.PageSize[1];
    h.NumCopies = 1;
    h.cupsWidth = g.width;
    h.cupsHeight = g.height;
    h.cupsMediaType = 0;
    h.cupsCompression = pclCompression;
    h.cupsColorOrder = CUPS_ORDER_CHUNKED;
    if (g.format == pixelFormat::rgb24) {
        h.cupsBitsPerColor = 8;
        h.cupsBitsPerPixel = 24;
        h.cupsColorSpace = CUPS_CSPACE_RGB;
        h.cupsNumColors = 3;
    } else {
        h.cupsBitsPerColor = 1;
        h.cupsBitsPerPixel = 1;
        h.cupsColorSpace = CUPS_CSPACE_K;
        h.cupsNumColors = 1;
    }
    h.cupsBytesPerLine = static_cast<unsigned>(g.bytesPerLine());
    h.cupsPageSize[0] = static_cast<float>(h.PageSize[0]);
    h.cupsPageSize[1] = static_cast<float>(h.PageSize[1]);
    h.cupsImagingBBox[2] = h.cupsPageSize[0];
    h.cupsImagingBBox[3] = h.cupsPageSize[1];
    std::strcpy(h.cupsPageSizeName, "na_letter_8.5x11in");
    return h;
}

}  // namespace

int main(int argc, char** argv) {
    options opt;
    if (!parseArgs(argc, argv, opt) || opt.geometry.width == 0 || opt.geometry.height == 0) {
        return usage();
    }
    int fd = STDOUT_FILENO;
    if (!opt.outPath.empty()) {
        fd = ::open(opt.outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0) {
            std::perror(opt.outPath.c_str());
            return 1;
        }
    }
    std::unique_ptr<cups_raster_t, rasterCloser> raster(
        cupsRasterOpen(fd, opt.compressed ? CUPS_RASTER_WRITE_COMPRESSED : CUPS_RASTER_WRITE));
    if (!raster) {
        std::fputs("pagegen: cannot open the raster stream\n", stderr);
        return 1;
    }
    cups_page_header2_t header = makeHeader(opt.geometry, opt.pclCompression);
    std::vector<std::uint8_t> row(opt.geometry.bytesPerLine());
    for (std::uint32_t page = 0; page < opt.pages; ++page) {
        if (!cupsRasterWriteHeader2(raster.get(), &header)) {
            std::fputs("pagegen: cannot write a page header\n", stderr);
            return 1;
        }
        const pageSynth synth(opt.geometry, opt.kind, opt.seed, page);
        for (std::uint32_t y = 0; y < opt.geometry.height; ++y) {
            synth.fillRow(y, row);
            if (cupsRasterWritePixels(raster.get(), row.data(), static_cast<unsigned>(row.size())) == 0) {
                std::fputs("pagegen: cannot write a row\n", stderr);
                return 1;
            }
        }
    }
    raster.reset();
    if (fd != STDOUT_FILENO) ::close(fd);
    return 0;
}
