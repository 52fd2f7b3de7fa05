// What corvane-render (Ghostscript rendering a PDF in bands) and the printer
// application say to each other. The pages never travel through a pipe: the
// renderer draws each band straight into one of a few slots of memory both
// processes map, and only these small records go through pipes.
//
//   renderer -> app (the renderer's standard output):
//     a page record before the first band of each page, then one band
//     record for each band, in page order, once it is drawn;
//   app -> renderer (descriptor 4 of the renderer): one byte, the slot
//     number, for each band the app is done with;
//   descriptor 5 of the renderer, a socket: the app sends the document's
//     path, the renderer answers with the number of its pages, and the app
//     sends the pages to draw (app/pageSelection.h); each message is text
//     ending in a NUL byte. The renderer starts Ghostscript before it reads
//     the path, so the app can start renderers before their jobs arrive; a
//     socket that ends before a message says the renderer is not needed.
//
// The shared memory is descriptor 3 of the renderer. End of the records
// (the renderer's exit) is the end of the document.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvane::bands {

// Two slots: one being drawn while the other is printed. Of 2 or 3 slots
// of 1, 2 or 4 MiB, two of 2 MiB (137 rows of a Letter page) rendered the
// short sample fastest and longer documents as fast as any (bench/RESULTS.md).
constexpr unsigned slotCount = 2;
constexpr std::size_t slotBytes = std::size_t{2} << 20;
constexpr std::size_t memoryBytes = slotCount * slotBytes;

// Descriptors of the renderer.
constexpr int memoryFd = 3;
constexpr int releaseFd = 4;
constexpr int documentFd = 5;

enum class recordType : std::uint32_t { page = 1, band = 2 };

// The socket's messages. Sending fails, without a signal, once the other
// side has gone; receiving gives none at the end of the stream.
bool sendMessage(int socket, std::string_view text);
std::optional<std::string> receiveMessage(int socket);

struct record {
    recordType type;
    // page: width in pixels, height in rows, bytes from one row to the next
    // band: slot, first row, rows
    std::uint32_t first, second, third;
};

struct pageShape {
    std::uint32_t width = 0, height = 0, rowStride = 0;
};

struct band {
    std::uint32_t slot = 0, firstRow = 0, rows = 0;
};

// A page the app can print from the slots: at least one pixel, every row
// of it inside a slot.
constexpr bool usablePage(const pageShape& page, unsigned bytesPerPixel) {
    return page.width > 0 && page.height > 0 && bytesPerPixel > 0 &&
           page.width <= page.rowStride / bytesPerPixel && page.rowStride <= slotBytes;
}

// The next band of `page`, after `rowsSoFar` rows: the next rows, within the
// page and within its slot.
constexpr bool usableBand(const band& next, const pageShape& page, std::uint32_t rowsSoFar) {
    return next.slot < slotCount && next.firstRow == rowsSoFar && next.rows > 0 &&
           next.rows <= page.height - rowsSoFar &&
           std::size_t{next.rows} * page.rowStride <= slotBytes;
}

}  // namespace corvane::bands
