// The printer application's driver logic without PAPPL: IPP job settings
// mapped to the encoder's ticket, then pages through rasterJob as PAPPL's
// raster callbacks drive it, with page headers from the input (any size,
// resolution, colour layout and bytes per line, gray or RGB, rows missing or
// in excess). A third of the inputs also go to the JPEG or PNG decoder.
// Every input is also read as a printer's back channel, in reads whose sizes
// its own bytes give.
// Findings: sanitizer reports, crashes, a printer stream that does not
// end with the printer reset and the closing UEL (or, without a page, is
// not empty), and a reply reader that keeps more than its bound or yields a
// reply head with a line end.
//
// Input: 24 fixed bytes, read in the order of the code below, then four
// NUL-ended strings (media name, media-source, media-type, job name), then
// the row data (repeated as needed), or the image file for the decoders.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "app/devices/backChannel.h"
#include "app/devices/pjlReplies.h"
#include "app/documents/imageDecode.h"
#include "app/driver/jobSettings.h"
#include "app/driver/rasterJob.h"
#include "app/pappl131/rasterStartCheck.h"
#include "encoder/byteSink.h"

namespace {

// Keeps the last bytes of the stream.
class tailSink final : public corvane::byteSink {
public:
    using byteSink::write;
    void write(std::span<const std::uint8_t> bytes) override {
        bytes = bytes.last(std::min<std::size_t>(bytes.size(), 16));
        tail.append(bytes.begin(), bytes.end());
        tail.erase(0, tail.size() - std::min<std::size_t>(tail.size(), 16));
    }
    void flush() override {}
    std::string tail;
};

// Big-endian numbers and NUL-ended strings; zeros once the input is used up.
struct reader {
    std::uint32_t number(int bytes) {
        std::uint32_t value = 0;
        while (bytes-- > 0) value = value << 8 | byte();
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
        for (char c; !rest.empty() && (c = static_cast<char>(byte())) != '\0';) value += c;
        return value;
    }
    std::span<const std::uint8_t> rest;
};

void decodeImage(std::uint8_t choice, std::span<const std::uint8_t> data) {
    std::FILE* file = fmemopen(const_cast<std::uint8_t*>(data.data()), data.size(), "rb");
    if (file == nullptr) return;
    // Small limits keep each input fast; the checks are the same at any size.
    const corvane::imageLimits limits{4u << 20, 4096, 4096};
    auto decoded = (choice & 1) ? corvane::decodePng(file, limits) : corvane::decodeJpeg(file, limits);
    std::fclose(file);
    if (auto* image = std::get_if<corvane::decodedImage>(&decoded)) {
        if (image->pixels.size() != static_cast<std::size_t>(image->width) * image->height * image->components)
            std::abort();
        corvane::convertComponents(*image, (choice & 2) ? 3 : 1);
    }
}

void readBackChannel(std::span<const std::uint8_t> data) {
    corvane::pjlReplySplitter splitter;
    corvane::backChannel channel;
    channel.beginJob("1-1");
    for (std::size_t at = 0; at < data.size();) {
        const auto piece = data.subspan(at, std::min<std::size_t>(data.size() - at, 1 + data[at] % 64));
        for (const corvane::pjlReply& reply : splitter.take(piece)) {
            if (reply.head.find('\n') != std::string::npos) std::abort();
            (void)corvane::readReport(reply);
        }
        if (splitter.buffered() > corvane::pjlReplySplitter::longestReply) std::abort();
        channel.take(piece);
        at += piece.size();
    }
    (void)channel.snapshot();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    readBackChannel({data, size});
    // The same bytes as the start of a streamed raster the app explains.
    (void)corvane::rasterStartProblem({data, std::min(size, corvane::rasterStartSize)});
    reader in{{data, size}};
    const std::uint8_t flags = in.byte();
    corvane::ippJobSettings settings;
    settings.mediaWidth = static_cast<int>(in.number(4));  // hundredths of a millimetre
    settings.mediaLength = static_cast<int>(in.number(4));
    cups_page_header2_t header{};
    header.cupsWidth = in.number(2);
    header.cupsHeight = in.number(2);
    header.cupsHeight <<= std::min(in.byte() & 0x1F, 16);
    const auto bytesPerLineOffset = static_cast<std::int16_t>(in.number(2));
    const std::uint32_t resolution = in.number(2), colourSpace = in.byte(), bitsPerColour = in.byte();
    const std::uint8_t rowsFed = in.byte(), pages = in.byte() % 3 + 1, image = in.byte(), extraRows = in.byte();
    settings.mediaName = in.text();
    settings.source = in.text();
    settings.type = in.text();
    settings.jobName = in.text();
    if (flags & 0x04) settings.darkness = flags >> 3 & 0x07;
    settings.tonerSave = flags & 0x01;
    const auto rows = in.rest;
    if (image % 3 == 2 && !rows.empty()) decodeImage(image, rows);

    const bool gray = flags & 0x02, anyLayout = flags & 0x40;
    header.HWResolution[0] = header.HWResolution[1] = (flags & 0x80) ? resolution : 600;
    // Any number, as a stream may carry (not only the enum's values).
    const std::uint32_t space = anyLayout ? colourSpace : gray ? CUPS_CSPACE_SW : CUPS_CSPACE_SRGB;
    std::memcpy(&header.cupsColorSpace, &space, sizeof space);
    header.cupsBitsPerColor = anyLayout ? bitsPerColour : 8;
    header.cupsBitsPerPixel = header.cupsBitsPerColor * (gray ? 1 : 3);
    header.cupsColorOrder = CUPS_ORDER_CHUNKED;
    header.cupsBytesPerLine =
        static_cast<unsigned>(std::int64_t{header.cupsWidth} * (header.cupsBitsPerPixel / 8) + bytesPerLineOffset);

    tailSink printer;
    corvane::rasterJob job(corvane::jobTicket(settings), printer);
    std::vector<std::uint8_t> row(std::min<std::size_t>(header.cupsBytesPerLine, 1u << 16));
    for (unsigned page = 0; page < pages; ++page) {
        if (job.beginPage(header)) continue;
        // At most 2 MiB of rows a page, so that each input stays quick.
        const std::size_t wanted = std::size_t{header.cupsHeight} * rowsFed / 255 + extraRows;
        const std::size_t fed = std::min(wanted, (std::size_t{2} << 20) / std::max<std::size_t>(row.size(), 1));
        for (std::size_t y = 0; y < fed; ++y) {
            for (std::size_t x = 0; x < row.size() && !rows.empty(); ++x)
                row[x] = rows[(y * row.size() + x) % rows.size()];
            job.addRow(row);
        }
        job.endPage();
    }
    job.end();
    // A job without a page sends nothing at all.
    if (job.pagesStarted() > 0 ? !printer.tail.ends_with("\x1b" "E\x1b%-12345X") : !printer.tail.empty()) std::abort();
    return 0;
}
