// The printer application's driver logic without PAPPL: IPP job settings
// mapped to the encoder's ticket (ticketOptions / jobTicket), then pages
// through rasterJob exactly as PAPPL's raster callbacks drive it (page
// start with a page header, rows, page end, job end), with headers from
// the input: any size, resolution, colour layout and bytes per line, gray
// or RGB, rows missing or in excess. A third of the inputs also go to the
// JPEG or PNG decoder. Findings: sanitizer reports, crashes, and a printer
// stream that does not end with the printer reset and the closing UEL.
//
// Input: a 24-byte fixed part (below), then four NUL-ended strings (media
// name, media-source, media-type, job name), then the row data (repeated
// as needed), or the image file for the decoders.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "app/imageDecode.h"
#include "app/jobSettings.h"
#include "app/rasterJob.h"
#include "encoder/byteSink.h"

namespace {

// Keeps the length of the stream and its last bytes.
class tailSink final : public corvane::byteSink {
public:
    using byteSink::write;
    void write(std::span<const std::uint8_t> bytes) override {
        total += bytes.size();
        for (const std::uint8_t byte : bytes.last(std::min<std::size_t>(bytes.size(), tail.size()))) {
            std::memmove(tail.data(), tail.data() + 1, tail.size() - 1);
            tail.back() = static_cast<char>(byte);
        }
    }
    void flush() override {}
    bool endsWith(std::string_view end) const {
        return total >= end.size() && std::string_view(tail.data(), tail.size()).ends_with(end);
    }

private:
    std::array<char, 16> tail{};
    std::size_t total = 0;
};

class reader {
public:
    explicit reader(std::span<const std::uint8_t> input) : rest(input) {}
    std::uint32_t number(std::size_t bytes) {
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < bytes; ++i) value = value << 8 | byte();
        return value;
    }
    std::uint8_t byte() {
        if (rest.empty()) return 0;
        const std::uint8_t value = rest.front();
        rest = rest.subspan(1);
        return value;
    }
    std::string text() {
        std::string value;
        while (!rest.empty()) {
            const char c = static_cast<char>(byte());
            if (c == '\0') break;
            value += c;
        }
        return value;
    }
    std::span<const std::uint8_t> remaining() const { return rest; }

private:
    std::span<const std::uint8_t> rest;
};

// The fixed part: flags (1), media width and length in hundredths of a
// millimetre (4 + 4), page width and height in pixels (2 + 2), height
// multiplier (1), bytes-per-line offset (2), resolution (2), colour space
// (1), bits per colour (1), rows fed in 256ths of the height (1), pages (1),
// image choice (1), rows fed beyond the height (1).
struct fixedPart {
    std::uint8_t flags;
    std::int32_t mediaWidth, mediaLength;
    std::uint32_t width, height;
    std::int16_t bytesPerLineOffset;
    std::uint32_t resolution;
    std::uint32_t colourSpace;
    std::uint32_t bitsPerColour;
    std::uint8_t rowsFed, pages, image, extraRows;
};

// A braced list reads its fields in order.
fixedPart readFixed(reader& in) {
    return {in.byte(), static_cast<std::int32_t>(in.number(4)), static_cast<std::int32_t>(in.number(4)), in.number(2),
            in.number(2) << std::min(in.byte() & 0x1F, 16), static_cast<std::int16_t>(in.number(2)), in.number(2),
            in.byte(), in.byte(), in.byte(), static_cast<std::uint8_t>(in.byte() % 3 + 1), in.byte(), in.byte()};
}

cups_page_header2_t pageHeader(const fixedPart& f) {
    cups_page_header2_t header{};
    const bool gray = f.flags & 0x02;
    header.HWResolution[0] = header.HWResolution[1] = (f.flags & 0x80) ? f.resolution : 600;
    // Any number, as a stream may carry (not only the enum's values).
    const std::uint32_t colourSpace = (f.flags & 0x40) ? f.colourSpace : gray ? CUPS_CSPACE_SW : CUPS_CSPACE_SRGB;
    std::memcpy(&header.cupsColorSpace, &colourSpace, sizeof colourSpace);
    header.cupsBitsPerColor = (f.flags & 0x40) ? f.bitsPerColour : 8;
    header.cupsBitsPerPixel = header.cupsBitsPerColor * (gray ? 1 : 3);
    header.cupsColorOrder = CUPS_ORDER_CHUNKED;
    header.cupsWidth = f.width;
    header.cupsHeight = f.height;
    header.cupsBytesPerLine = static_cast<unsigned>(
        static_cast<std::int64_t>(f.width) * (header.cupsBitsPerPixel / 8) + f.bytesPerLineOffset);
    return header;
}

void decodeImage(const fixedPart& f, std::span<const std::uint8_t> data) {
    std::FILE* file = fmemopen(const_cast<std::uint8_t*>(data.data()), data.size(), "rb");
    if (file == nullptr) return;
    // Small limits keep each input fast; the checks are the same at any size.
    const corvane::imageLimits limits{4u << 20, 4096, 4096};
    auto decoded = (f.image & 1) ? corvane::decodePng(file, limits) : corvane::decodeJpeg(file, limits);
    std::fclose(file);
    if (auto* image = std::get_if<corvane::decodedImage>(&decoded)) {
        if (image->pixels.size() != static_cast<std::size_t>(image->width) * image->height * image->components)
            std::abort();
        corvane::convertComponents(*image, (f.image & 2) ? 3 : 1);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    reader in({data, size});
    const fixedPart f = readFixed(in);

    corvane::ippJobSettings settings;
    settings.mediaWidth = f.mediaWidth;
    settings.mediaLength = f.mediaLength;
    settings.mediaName = in.text();
    settings.source = in.text();
    settings.type = in.text();
    settings.jobName = in.text();
    if (f.flags & 0x04) settings.darkness = static_cast<int>(f.flags >> 3 & 0x07);
    settings.tonerSave = f.flags & 0x01;

    const auto rows = in.remaining();
    if (f.image % 3 == 2 && !rows.empty()) decodeImage(f, rows);

    tailSink printer;
    corvane::rasterJob job(corvane::jobTicket(settings), printer);
    job.begin();
    const cups_page_header2_t header = pageHeader(f);
    std::vector<std::uint8_t> row(std::min<std::size_t>(header.cupsBytesPerLine, 1u << 16));
    for (unsigned page = 0; page < f.pages; ++page) {
        if (job.beginPage(header)) continue;
        // At most 2 MiB of rows a page, so that each input stays quick.
        const std::size_t wanted = std::size_t{header.cupsHeight} * f.rowsFed / 255 + f.extraRows;
        const std::size_t fed = std::min(wanted, (std::size_t{2} << 20) / std::max<std::size_t>(row.size(), 1));
        for (std::size_t y = 0; y < fed; ++y) {
            for (std::size_t x = 0; x < row.size() && !rows.empty(); ++x)
                row[x] = rows[(y * row.size() + x) % rows.size()];
            job.addRow(row);
        }
        job.endPage();
    }
    job.end();
    if (!printer.endsWith("\x1b" "E\x1b%-12345X")) std::abort();
    return 0;
}
