// corvane-render: Ghostscript's display device drawing a PDF band by band
// into memory shared with the printer application (app/bandProtocol.h).
// Writing 101 MB per Letter page through a pipe cost Ghostscript as much as
// rendering a text page; here it only draws.
//
//   corvane-render rgb|gray all|odd|even GHOSTSCRIPT-OPTIONS...
//
// The document's path comes on descriptor 5 once Ghostscript is ready; the
// renderer draws all its pages, or only the odd or the even ones.
// Ghostscript's messages, its standard output included, go to standard
// error; standard output carries only the records. Exit status 0 when the
// document was rendered (or none came), 1 when Ghostscript stopped with an
// error, 2 when the renderer could not start.
#include <algorithm>
#include <charconv>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

#include <ghostscript/gdevdsp.h>
#include <ghostscript/iapi.h>
#include <ghostscript/ierrors.h>

#include "app/documents/bandProtocol.h"

namespace corvane {
namespace {

bool writeAll(int fd, const void* data, std::size_t length) {
    const auto* bytes = static_cast<const char*>(data);
    while (length > 0) {
        const ssize_t written = write(fd, bytes, length);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes += written;
        length -= static_cast<std::size_t>(written);
    }
    return true;
}

class sharedSlots {
public:
    sharedSlots() {
        void* mapped = mmap(nullptr, bands::memoryBytes, PROT_READ | PROT_WRITE, MAP_SHARED,
                            bands::memoryFd, 0);
        if (mapped != MAP_FAILED) memory = static_cast<unsigned char*>(mapped);
    }
    ~sharedSlots() {
        if (memory) munmap(memory, bands::memoryBytes);
    }
    sharedSlots(const sharedSlots&) = delete;
    sharedSlots& operator=(const sharedSlots&) = delete;

    bool mapped() const { return memory != nullptr; }
    unsigned char* slot(unsigned number) const { return memory + number * bands::slotBytes; }

private:
    unsigned char* memory = nullptr;
};

// Hands Ghostscript one slot per band and tells the app about each band
// once Ghostscript asks for the next one (it has then finished drawing it).
class bandWriter {
public:
    bandWriter(const sharedSlots& slots, int recordFd) : slots(slots), recordFd(recordFd) {}

    void newPage(int width, int height, int rowStride) {
        page = {static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height),
                static_cast<std::uint32_t>(rowStride)};
        nextRow = 0;
        announced = false;
    }

    // Ghostscript's bands, made no taller than a slot: each rectangle asked
    // for is then one band Ghostscript draws once.
    int bandHeight(int proposed) {
        if (proposed <= 0) return 0;
        bandRows = std::min(rowsPerSlot(), static_cast<std::uint32_t>(proposed));
        return bandRows < static_cast<std::uint32_t>(proposed) ? static_cast<int>(bandRows) : 0;
    }

    // Fills in the next rectangle to draw; w and h 0 when the page is done.
    int request(void** memory, int* ox, int* oy, int* raster, int* planeRaster, int* x, int* y,
                int* w, int* h) {
        if (drawing && !send({bands::recordType::band, drawing->slot, drawing->firstRow, drawing->rows}))
            return -1;
        drawing.reset();
        if (nextRow >= page.height) {
            *w = *h = 0;
            *memory = nullptr;
            nextRow = 0;
            announced = false;
            return 0;
        }
        if (!announced && !send({bands::recordType::page, page.width, page.height, page.rowStride}))
            return -1;
        announced = true;
        const std::uint32_t tallest = bandRows > 0 ? std::min(bandRows, rowsPerSlot()) : rowsPerSlot();
        const std::uint32_t rows = std::min(tallest, page.height - nextRow);
        if (rows == 0) return -1;  // a row larger than a slot
        const int slot = freeSlot();
        if (slot < 0) return -1;
        drawing = bands::band{static_cast<std::uint32_t>(slot), nextRow, rows};

        *memory = slots.slot(static_cast<unsigned>(slot));
        *ox = 0;
        *oy = static_cast<int>(nextRow);
        *raster = static_cast<int>(page.rowStride);
        *planeRaster = 0;
        *x = 0;
        *y = static_cast<int>(nextRow);
        *w = static_cast<int>(page.width);
        *h = static_cast<int>(rows);
        nextRow += rows;
        return 0;
    }

private:
    std::uint32_t rowsPerSlot() const {
        return page.rowStride == 0 ? 0 : static_cast<std::uint32_t>(bands::slotBytes / page.rowStride);
    }

    bool send(const bands::record& record) { return writeAll(recordFd, &record, sizeof record); }

    // A slot nobody uses: each one once at the start, then those the app
    // gives back. -1 when the app has gone.
    int freeSlot() {
        if (neverUsed < bands::slotCount) return static_cast<int>(neverUsed++);
        unsigned char slot = 0;
        ssize_t got;
        do {
            got = read(bands::releaseFd, &slot, 1);
        } while (got < 0 && errno == EINTR);
        return got == 1 && slot < bands::slotCount ? slot : -1;
    }

    const sharedSlots& slots;
    int recordFd;
    bands::pageShape page;
    std::uint32_t nextRow = 0;
    std::uint32_t bandRows = 0;
    bool announced = false;
    unsigned neverUsed = 0;
    std::optional<bands::band> drawing;
};

bandWriter& writerOf(void* handle) { return *static_cast<bandWriter*>(handle); }

int noEvent(void*, void*) { return 0; }
int onPresize(void* handle, void*, int width, int height, int raster, unsigned int) {
    writerOf(handle).newPage(width, height, raster);
    return 0;
}
int onSize(void*, void*, int, int, int, unsigned int, unsigned char*) { return 0; }
int onPage(void*, void*, int, int) { return 0; }
// No page-sized bitmap: Ghostscript then asks for rectangles.
void* noBitmap(void*, void*, std::size_t) { return nullptr; }
int noFree(void*, void*, void*) { return 0; }
int onBandHeight(void* handle, void*, int proposed) { return writerOf(handle).bandHeight(proposed); }
int onRectangle(void* handle, void*, void** memory, int* ox, int* oy, int* raster, int* planeRaster,
                int* x, int* y, int* w, int* h) {
    return writerOf(handle).request(memory, ox, oy, raster, planeRaster, x, y, w, h);
}

display_callback displayCallbacks() {
    return {.size = sizeof(display_callback),
            .version_major = DISPLAY_VERSION_MAJOR,
            .version_minor = DISPLAY_VERSION_MINOR,
            .display_open = noEvent,
            .display_preclose = noEvent,
            .display_close = noEvent,
            .display_presize = onPresize,
            .display_size = onSize,
            .display_sync = noEvent,
            .display_page = onPage,
            .display_update = nullptr,
            .display_memalloc = noBitmap,
            .display_memfree = noFree,
            .display_separation = nullptr,
            .display_adjust_band_height = onBandHeight,
            .display_rectangle_request = onRectangle};
}

struct displayHandle {
    display_callback* callbacks;
    bandWriter* writer;
};

int answerDisplay(void*, void* context, const char* device, int id, int size, void* data) {
    if (!device || std::strcmp(device, "display") != 0 || id != DISPLAY_CALLOUT_GET_CALLBACK ||
        size < static_cast<int>(sizeof(gs_display_get_callback_t)))
        return -1;
    const auto* handle = static_cast<displayHandle*>(context);
    auto* answer = static_cast<gs_display_get_callback_t*>(data);
    answer->callback = handle->callbacks;
    answer->caller_handle = handle->writer;
    return 0;
}

// Everything the app writes on `documentFd` before closing it; none when
// it closed it without a word.
std::optional<std::string> documentPath() {
    std::string path;
    char buffer[512];
    for (;;) {
        const ssize_t got = read(bands::documentFd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        path.append(buffer, static_cast<std::size_t>(got));
    }
    close(bands::documentFd);
    if (path.empty()) return std::nullopt;
    return path;
}

// A PostScript string of any bytes: hexadecimal.
std::string postscriptString(std::string_view text) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string hex = "<";
    for (const unsigned char c : text) {
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    return hex + ">";
}

class ghostscriptInstance {
public:
    ghostscriptInstance() {
        if (gsapi_new_instance(&instance, this) < 0) instance = nullptr;
        if (instance) gsapi_set_stdio(instance, nullptr, onOutput, onOutput);
    }
    ~ghostscriptInstance() {
        if (instance) gsapi_delete_instance(instance);
    }
    ghostscriptInstance(const ghostscriptInstance&) = delete;
    ghostscriptInstance& operator=(const ghostscriptInstance&) = delete;

    void* get() const { return instance; }

    // Starts Ghostscript, then renders the document named on `documentFd`
    // (of `pages`: all, odd or even); true when Ghostscript ended without
    // error or no document came. Ghostscript is not shut down: the process
    // ends right after, and the app waits for that.
    bool run(std::vector<char*>& arguments, std::string_view pages) {
        int code = gsapi_init_with_args(instance, static_cast<int>(arguments.size()), arguments.data());
        if (code != 0) return code == gs_error_Quit;
        const auto document = documentPath();
        if (!document) return true;
        gsapi_add_control_path(instance, GS_PERMIT_FILE_READING, document->c_str());
        // Ghostscript 10.0 stops with an error when asked for the even pages
        // of a one-page document: it has none to draw.
        if (pages == "even" && pageCount(*document) == 1) return true;
        int exitCode = 0;
        code = gsapi_run_file(instance, document->c_str(), 0, &exitCode);
        return code == 0 || code == gs_error_Quit;
    }

private:
    // The document's pages as Ghostscript counts them; -1 when it cannot.
    int pageCount(const std::string& document) {
        const std::string program = "{ " + postscriptString(document) +
                                    " (r) file runpdfbegin pdfpagecount runpdfend } stopped { -1 } if = flush\n";
        captured.emplace();
        int exitCode = 0;
        const int code = gsapi_run_string(instance, program.c_str(), 0, &exitCode);
        const std::string text = std::move(*captured);
        captured.reset();
        int count = -1;
        if (code < 0 || std::from_chars(text.data(), text.data() + text.size(), count).ec != std::errc{})
            return -1;
        return count;
    }

    // Ghostscript's messages go to standard error, except what is captured.
    static int onOutput(void* handle, const char* text, int length) {
        auto& self = *static_cast<ghostscriptInstance*>(handle);
        if (self.captured) {
            self.captured->append(text, static_cast<std::size_t>(length));
            return length;
        }
        return writeAll(STDERR_FILENO, text, static_cast<std::size_t>(length)) ? length : -1;
    }

    void* instance = nullptr;
    std::optional<std::string> captured;
};

int render(std::string_view colours, std::string_view pages, int argc, char** argv) {
    // 8 bits per colour, no alpha, red first, top row first, chunky.
    unsigned int format = 0;
    for (const unsigned int flag : {unsigned{DISPLAY_ALPHA_NONE}, unsigned{DISPLAY_DEPTH_8},
                                    unsigned{DISPLAY_BIGENDIAN}, unsigned{DISPLAY_TOPFIRST},
                                    unsigned{DISPLAY_ROW_ALIGN_DEFAULT}, unsigned{DISPLAY_CHUNKY}})
        format |= flag;
    if (colours == "rgb") format |= DISPLAY_COLORS_RGB;
    else if (colours == "gray") format |= DISPLAY_COLORS_GRAY;
    else return 2;
    std::string pageList;
    if (pages == "odd" || pages == "even") pageList = "-sPageList=" + std::string(pages);
    else if (pages != "all") return 2;

    // The records leave by a descriptor of their own; anything written to
    // standard output from here on lands in standard error.
    const int recordFd = dup(STDOUT_FILENO);
    if (recordFd < 0 || dup2(STDERR_FILENO, STDOUT_FILENO) < 0) return 2;
    const sharedSlots slots;
    if (!slots.mapped()) {
        std::fputs("corvane-render: the band memory is missing.\n", stderr);
        return 2;
    }
    // A vanished app ends the run through a failed write, not a signal.
    std::signal(SIGPIPE, SIG_IGN);

    bandWriter writer(slots, recordFd);
    display_callback callbacks = displayCallbacks();
    displayHandle handle{&callbacks, &writer};
    ghostscriptInstance ghostscript;
    if (!ghostscript.get()) {
        std::fputs("corvane-render: Ghostscript could not start.\n", stderr);
        return 2;
    }
    gsapi_register_callout(ghostscript.get(), answerDisplay, &handle);
    gsapi_set_arg_encoding(ghostscript.get(), GS_ARG_ENCODING_UTF8);

    std::string device = "-sDEVICE=display";
    std::string displayFormat = "-dDisplayFormat=" + std::to_string(format);
    std::vector<char*> arguments = {argv[0], device.data(), displayFormat.data()};
    if (!pageList.empty()) arguments.push_back(pageList.data());
    for (int i = 0; i < argc; ++i) arguments.push_back(argv[i]);
    // Ghostscript's own shutdown takes 4-8 ms after the last page; nothing
    // is left to write (records and messages go out unbuffered).
    std::_Exit(ghostscript.run(arguments, pages) ? 0 : 1);
}

}  // namespace
}  // namespace corvane

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fputs("usage: corvane-render rgb|gray all|odd|even GHOSTSCRIPT-OPTIONS...\n"
                   "       (the document's path on descriptor 5)\n", stderr);
        return 2;
    }
    return corvane::render(argv[1], argv[2], argc - 3, argv + 3);
}
