// What corvane-render (Ghostscript rendering a PDF, its pages' rows encoded
// for the printer as they come) and the printer application say to each
// other. The printer bytes never travel through a pipe: the renderer writes
// them straight into one of a few slots of memory both processes map, and
// only these small records go through pipes.
//
//   renderer -> app (the renderer's standard output):
//     for each page, a page record, data records for the page's encoded
//     rows (each names a slot and the bytes of it that are filled), and a
//     page-end record with the rows the page has;
//   app -> renderer (descriptor 4 of the renderer): one byte, the slot
//     number, for each data record the app is done with;
//   descriptor 5 of the renderer, a socket: the app sends the document's
//     path, the renderer answers with the number of its pages, and the app
//     sends the pages to draw (app/pageSelection.h) and the job's page
//     size in pixels; each message is text ending in a NUL byte. The
//     renderer starts Ghostscript before it reads the path, so the app can
//     start renderers before their jobs arrive; a socket that ends before a
//     message says the renderer is not needed. Before the pages to draw, the
//     app may send "fork" with the descriptors of a second renderer
//     (forkedEnd): the renderer makes a copy of itself, Ghostscript started
//     and the document open, which serves those descriptors as a renderer
//     of its own from the pages to draw on.
//
// The shared memory is descriptor 3 of the renderer. End of the records
// (the renderer's exit) is the end of the document.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::bands {

// Two slots: one being filled while the other is sent to the printer.
constexpr unsigned slotCount = 2;
constexpr std::size_t slotBytes = std::size_t{2} << 20;
constexpr std::size_t memoryBytes = slotCount * slotBytes;

// Descriptors of the renderer.
constexpr int memoryFd = 3;
constexpr int releaseFd = 4;
constexpr int documentFd = 5;

enum class recordType : std::uint32_t { page = 1, data = 2, pageEnd = 3 };

// The socket's messages, with descriptors (`files`) or without. Sending
// fails, without a signal, once the other side has gone; receiving gives
// none at the end of the stream. Descriptors received are the caller's to
// close.
bool sendMessage(int socket, std::string_view text, std::span<const int> files = {});
std::optional<std::string> receiveMessage(int socket, std::vector<int>* files = nullptr);

// The descriptors of a forked renderer, in the order they come with
// "fork": its memory, release socket, document socket, record pipe and
// standard error (as the renderer's 3, 4, 5, 1 and 2), and the pipe its
// parent reports its exit status into (a native int) once it has ended.
enum forkedEnd : unsigned { forkedMemory, forkedRelease, forkedDocument, forkedRecords, forkedErrors, forkedStatus, forkedEnds };

struct record {
    recordType type;
    // data: slot, bytes; page end: rows; page: unused
    std::uint32_t first = 0, second = 0;
};

// The job's page in pixels: every page is encoded at this size.
struct pageSize {
    std::uint32_t width = 0, height = 0;
};
std::string toText(pageSize size);
// None unless "WIDTH HEIGHT", both above zero.
std::optional<pageSize> parsePageSize(std::string_view text);

// Data the app can send on: some bytes of an existing slot.
constexpr bool usableData(const record& data) {
    return data.type == recordType::data && data.first < slotCount && data.second > 0 &&
           data.second <= slotBytes;
}

}  // namespace corvane::bands
