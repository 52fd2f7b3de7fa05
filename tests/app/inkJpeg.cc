// inkJpeg adobe|plain|ycck < picture.ppm > picture.jpg: a binary PPM (as
// Ghostscript's ppmraw device writes it) as a four-colour JPEG.
#include "inkJpeg.h"

#include <cstdio>
#include <iostream>
#include <iterator>
#include <string>

// The next word of the PPM header, past comments.
std::string word() {
    std::string text;
    while (std::cin >> text && text[0] == '#') std::getline(std::cin, text);
    return text;
}

int main(int argc, char* argv[]) {
    using corvane::test::inkForm;
    const std::string form = argc > 1 ? argv[1] : "";
    const std::string magic = word();
    const unsigned width = std::stoul(word()), height = std::stoul(word()), maximum = std::stoul(word());
    std::cin.get();
    const std::vector<std::uint8_t> rgb(std::istreambuf_iterator<char>(std::cin), {});
    if (magic != "P6" || maximum != 255 || rgb.size() < std::size_t{width} * height * 3) return 1;
    const auto jpeg = corvane::test::inkJpeg(rgb, width, height,
                                             form == "ycck" ? inkForm::ycck : form == "plain" ? inkForm::plainCmyk
                                                                                              : inkForm::adobeCmyk);
    return std::fwrite(jpeg.data(), 1, jpeg.size(), stdout) == jpeg.size() ? 0 : 1;
}
