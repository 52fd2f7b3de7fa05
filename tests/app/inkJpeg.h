// Four-colour JPEGs as printing tools write them: CMYK with Adobe's marker
// (inks stored inverted), plain CMYK, or YCCK (Adobe's, inverted too).
#pragma once

#include <cstdint>
#include <cstdio>  // jpeglib.h needs FILE
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

namespace corvane::test {

enum class inkForm { adobeCmyk, plainCmyk, ycck };

// `rgb` holds width x height pixels; each becomes the inks that print it
// (no black, so that the colours come back exactly apart from the
// compression's error).
inline std::vector<unsigned char> inkJpeg(const std::vector<std::uint8_t>& rgb, unsigned width, unsigned height,
                                          inkForm form) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* data = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &data, &size);
    info.image_width = width;
    info.image_height = height;
    info.input_components = 4;
    info.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_set_colorspace(&info, form == inkForm::ycck ? JCS_YCCK : JCS_CMYK);
    const bool inverted = form != inkForm::plainCmyk;
    info.write_Adobe_marker = inverted;
    jpeg_set_quality(&info, 100, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<unsigned char> row(width * 4);
    for (unsigned y = 0; y < height; ++y) {
        for (unsigned x = 0; x < width; ++x) {
            for (int c = 0; c < 3; ++c) {
                const unsigned char ink = 255 - rgb[(y * width + x) * 3 + c];
                row[x * 4 + c] = inverted ? 255 - ink : ink;
            }
            row[x * 4 + 3] = inverted ? 255 : 0;
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<unsigned char> jpeg(data, data + size);
    std::free(data);
    return jpeg;
}

}  // namespace corvane::test
