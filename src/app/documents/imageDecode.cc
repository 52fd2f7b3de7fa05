#include "app/documents/imageDecode.h"

#include <csetjmp>
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>
#include <png.h>

namespace corvane {
namespace {

std::string tooLarge(const char* kind, long width, long height, const imageLimits& limits) {
    return std::string("The ") + kind + " image is too large to print: " + std::to_string(width) + " x " +
           std::to_string(height) + " pixels (at most " + std::to_string(limits.maxWidth) + " x " +
           std::to_string(limits.maxHeight) + " and " + std::to_string(limits.maxBytes >> 20) + " MiB).";
}

bool fits(long width, long height, int components, const imageLimits& limits) {
    return width >= 1 && height >= 1 && width <= limits.maxWidth && height <= limits.maxHeight &&
           static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * components <= limits.maxBytes;
}

// libjpeg reports errors by calling error_exit, which must not return, and
// a file that ends early only by a warning: both leave through longjmp.
struct jpegErrors {
    jpeg_error_mgr manager;
    std::jmp_buf escape;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void leaveJpeg(j_common_ptr info) {
    auto* errors = reinterpret_cast<jpegErrors*>(info->err);
    info->err->format_message(info, errors->message);
    std::longjmp(errors->escape, 1);
}

void jpegMessage(j_common_ptr info, int level) {
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) leaveJpeg(info);
}

// CMYK rows (as libjpeg gives CMYK and YCCK files) as RGB: each colour is
// what its ink and the black leave of the paper. Adobe's files store the
// inks inverted (255 is no ink).
void inkToRgb(const std::uint8_t* cmyk, std::uint8_t* rgb, std::size_t pixels, bool inverted) {
    for (std::size_t x = 0; x < pixels; ++x, cmyk += 4, rgb += 3) {
        const unsigned paper = inverted ? cmyk[3] : 255u - cmyk[3];
        for (int c = 0; c < 3; ++c) {
            const unsigned left = inverted ? cmyk[c] : 255u - cmyk[c];
            rgb[c] = static_cast<std::uint8_t>((left * paper + 127) / 255);
        }
    }
}

// Every object that outlives a longjmp belongs to the caller (`inkRow` holds
// a CMYK row before its conversion); this frame holds plain values only.
bool readJpeg(std::FILE* file, const imageLimits& limits, jpeg_decompress_struct& info,
              jpegErrors& errors, decodedImage& image, std::vector<std::uint8_t>& inkRow,
              std::string& refusal) {
    if (setjmp(errors.escape) != 0) return false;
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    // libjpeg turns YCCK into CMYK but neither into RGB: that is done here.
    const bool inked = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    image.components = info.num_components > 1 ? 3 : 1;
    info.out_color_space = inked ? JCS_CMYK : image.components == 3 ? JCS_RGB : JCS_GRAYSCALE;
    info.quantize_colors = FALSE;
    jpeg_calc_output_dimensions(&info);
    if (!fits(info.output_width, info.output_height, image.components, limits)) {
        refusal = tooLarge("JPEG", info.output_width, info.output_height, limits);
        return false;
    }
    image.width = static_cast<int>(info.output_width);
    image.height = static_cast<int>(info.output_height);
    image.pixels.resize(static_cast<std::size_t>(image.width) * image.height * image.components);
    if (inked) inkRow.resize(static_cast<std::size_t>(image.width) * 4);
    jpeg_start_decompress(&info);
    while (info.output_scanline < info.output_height) {
        std::uint8_t* pixels =
            image.pixels.data() + static_cast<std::size_t>(info.output_scanline) * image.width * image.components;
        JSAMPROW row = inked ? inkRow.data() : pixels;
        if (jpeg_read_scanlines(&info, &row, 1) == 1 && inked)
            inkToRgb(inkRow.data(), pixels, static_cast<std::size_t>(image.width), info.saw_Adobe_marker);
    }
    if (info.density_unit == 1) image.ppi = info.X_density;
    else if (info.density_unit == 2) image.ppi = info.X_density * 254 / 100;
    jpeg_finish_decompress(&info);
    return true;
}

// What the PNG's chunk headers say, read before libpng sees the file:
// the pixels per inch of its pHYs chunk (0 when it has none before the image
// data), and whether every chunk lies within the file. libpng allocates a
// chunk's declared length before reading it, and a damaged length can ask
// for gigabytes. The file is left at its start.
struct pngChunks {
    int ppi = 0;
    bool withinFile = true;
};

pngChunks readPngChunks(std::FILE* file) {
    pngChunks chunks;
    std::fseek(file, 0, SEEK_END);
    const long size = std::ftell(file);
    std::rewind(file);
    unsigned char bytes[8];
    bool imageData = false;
    if (size > 0 && std::fread(bytes, 1, 8, file) == 8) {
        while (std::fread(bytes, 1, 8, file) == 8) {
            const unsigned long length =
                static_cast<unsigned long>(bytes[0]) << 24 | bytes[1] << 16 | bytes[2] << 8 | bytes[3];
            const long dataAt = std::ftell(file);
            if (dataAt < 0 || length + 4 > static_cast<unsigned long>(size - dataAt)) {
                chunks.withinFile = false;
                break;
            }
            imageData = imageData || std::memcmp(bytes + 4, "IDAT", 4) == 0;
            if (!imageData && std::memcmp(bytes + 4, "pHYs", 4) == 0 && length == 9) {
                unsigned char phys[9];
                if (std::fread(phys, 1, 9, file) == 9 && phys[8] == 1) {
                    const unsigned long perMetre =
                        static_cast<unsigned long>(phys[0]) << 24 | phys[1] << 16 | phys[2] << 8 | phys[3];
                    chunks.ppi = static_cast<int>((perMetre * 254 + 5000) / 10000);
                }
            }
            if (std::memcmp(bytes + 4, "IEND", 4) == 0 ||
                std::fseek(file, dataAt + static_cast<long>(length) + 4, SEEK_SET) != 0)
                break;
        }
    }
    std::rewind(file);
    return chunks;
}

}  // namespace

imageResult decodeJpeg(std::FILE* file, const imageLimits& limits) {
    jpeg_decompress_struct info{};
    jpegErrors errors{};
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = leaveJpeg;
    errors.manager.emit_message = jpegMessage;
    decodedImage image;
    std::vector<std::uint8_t> inkRow;
    std::string refusal;
    const bool read = readJpeg(file, limits, info, errors, image, inkRow, refusal);
    jpeg_destroy_decompress(&info);
    if (read) return image;
    if (!refusal.empty()) return refusal;
    if (errors.manager.msg_code == JERR_IMAGE_TOO_BIG)
        return "The JPEG image is too large to print (" + std::string(errors.message) + ").";
    return "The JPEG image is damaged or ends early (" + std::string(errors.message) + ").";
}

imageResult decodePng(std::FILE* file, const imageLimits& limits) {
    decodedImage image;
    const pngChunks chunks = readPngChunks(file);
    if (!chunks.withinFile) return "The PNG image is damaged or ends early (a chunk runs past the end of the file).";
    image.ppi = chunks.ppi;
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    const auto damaged = [&png] {
        const std::string reason = "The PNG image is damaged or ends early (" + std::string(png.message) + ").";
        png_image_free(&png);
        return reason;
    };
    if (!png_image_begin_read_from_stdio(&png, file)) return damaged();
    image.components = (png.format & PNG_FORMAT_FLAG_COLOR) ? 3 : 1;
    if (!fits(png.width, png.height, image.components, limits)) {
        png_image_free(&png);
        return tooLarge("PNG", png.width, png.height, limits);
    }
    image.width = static_cast<int>(png.width);
    image.height = static_cast<int>(png.height);
    png.format = image.components == 3 ? PNG_FORMAT_RGB : PNG_FORMAT_GRAY;
    image.pixels.resize(PNG_IMAGE_SIZE(png));
    // Transparent parts print as white paper.
    const png_color white{255, 255, 255};
    if (!png_image_finish_read(&png, &white, image.pixels.data(), 0, nullptr)) return damaged();
    return image;
}

void convertComponents(decodedImage& image, int components) {
    if (image.components == components) return;
    const std::size_t pixels = static_cast<std::size_t>(image.width) * image.height;
    std::vector<std::uint8_t> converted(pixels * components);
    for (std::size_t i = 0; i < pixels; ++i) {
        if (components == 1) {
            const std::uint8_t* rgb = &image.pixels[3 * i];
            converted[i] = static_cast<std::uint8_t>((rgb[0] * 30 + rgb[1] * 59 + rgb[2] * 11) / 100);
        } else {
            converted[3 * i] = converted[3 * i + 1] = converted[3 * i + 2] = image.pixels[i];
        }
    }
    image.pixels = std::move(converted);
    image.components = components;
}

}  // namespace corvane
