// JPEG and PNG documents decoded in full before anything is printed, with
// a reason for every image that cannot be: too large for the memory the
// server allows, damaged, or ending early (which libjpeg only warns about
// and PAPPL 1.3.1 prints as grey, or loops on for PNG).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <variant>
#include <vector>

namespace corvane {

struct imageLimits {
    std::size_t maxBytes;
    int maxWidth;
    int maxHeight;
};

struct decodedImage {
    int width = 0;
    int height = 0;
    int components = 0;  // 1 (gray) or 3 (RGB), 8 bits each
    int ppi = 0;         // 0 when the file does not say
    std::vector<std::uint8_t> pixels;
};

using imageResult = std::variant<decodedImage, std::string>;

// Each reads the whole file and gives the image in its own colours (gray
// or RGB; a CMYK or YCCK JPEG as RGB), or the reason it cannot be printed
// (a sentence for the job's state message).
imageResult decodeJpeg(std::FILE* file, const imageLimits& limits);
imageResult decodePng(std::FILE* file, const imageLimits& limits);

// The image with `components` colours: RGB rows averaged to gray, or gray
// rows repeated into RGB.
void convertComponents(decodedImage& image, int components);

}  // namespace corvane
