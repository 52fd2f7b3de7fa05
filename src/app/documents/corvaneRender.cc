// corvane-render: Ghostscript drawing a PDF's pages band by band into
// memory shared with the printer application (app/bandProtocol.h). Writing
// 101 MB per Letter page through a pipe cost Ghostscript as much as
// rendering a text page; here it only draws.
//
//   corvane-render rgb|gray GHOSTSCRIPT-OPTIONS...
//
// The document and the pages to draw come on descriptor 5 once Ghostscript
// is ready. Ghostscript's messages, its standard output included, go to
// standard error; standard output carries only the records. Exit status 0
// when the pages were rendered (or no document came), 1 when Ghostscript
// stopped with an error, 2 when the renderer could not start.
//
// Two devices draw the pages:
// - the display device draws each band straight into a slot;
// - pages with smooth shadings go to Ghostscript's cups device. The display
//   device (like ppmraw and png16m) reports colours that are separable and
//   linear, and Ghostscript then fills a shading pixel by pixel with
//   interpolated colours: about 0.45 s per Letter page at 600 dpi. The cups
//   device does not, and Ghostscript cuts the shading into areas of one
//   colour each, within the smoothness tolerance: about 0.05 s. Its images
//   go pixel by pixel through its own colour mapping instead (3x slower than
//   the display device's), so it draws only the shaded pages. It writes
//   CUPS raster into a pipe, from which a thread reads the rows into the
//   slots.
#include <algorithm>
#include <charconv>
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <future>
#include <optional>
#include <string>
#include <string_view>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

#include <cups/raster.h>
#include <ghostscript/gdevdsp.h>
#include <ghostscript/iapi.h>
#include <ghostscript/ierrors.h>

#include "app/documents/bandProtocol.h"
#include "app/documents/pageSelection.h"
#include "app/documents/shadedPages.h"

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

// Ends the renderer at once: Ghostscript's own shutdown would take 4-8 ms
// after the last page, and nothing is left to write (records and messages
// go out unbuffered). Also the way out of a failed page, whose other thread
// may wait for data that never comes.
[[noreturn]] void finish(bool rendered, const char* message = nullptr) {
    if (message) std::fputs(message, stderr);
    std::_Exit(rendered ? 0 : 1);
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

// Rows of `rowStride` bytes that fit a slot; 0 when not even one does.
std::uint32_t rowsPerSlot(std::uint32_t rowStride) {
    return rowStride == 0 ? 0 : static_cast<std::uint32_t>(bands::slotBytes / rowStride);
}

// Hands out the slots band by band, in page order, and tells the app about
// each page and each band drawn.
class bandWriter {
public:
    bandWriter(const sharedSlots& slots, int recordFd) : slots(slots), recordFd(recordFd) {}

    void beginPage(const bands::pageShape& shape) {
        page = shape;
        nextRow = 0;
        announced = false;
    }
    bool pageWhole() const { return nextRow >= page.height; }

    // The page's next rows, at most `tallest`, in a free slot; none when
    // a row does not fit a slot or the app has gone.
    std::optional<bands::band> nextBand(std::uint32_t tallest) {
        if (!announced && !send({bands::recordType::page, page.width, page.height, page.rowStride}))
            return std::nullopt;
        announced = true;
        const std::uint32_t rows = std::min({tallest, rowsPerSlot(page.rowStride), page.height - nextRow});
        const int slot = rows > 0 ? freeSlot() : -1;
        if (slot < 0) return std::nullopt;
        const bands::band band{static_cast<std::uint32_t>(slot), nextRow, rows};
        nextRow += rows;
        return band;
    }
    unsigned char* memoryOf(const bands::band& band) const { return slots.slot(band.slot); }
    bool bandDrawn(const bands::band& band) {
        return send({bands::recordType::band, band.slot, band.firstRow, band.rows});
    }

private:
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
    bool announced = false;
    unsigned neverUsed = 0;
};

// The display device's side: Ghostscript asks for one rectangle (a band)
// at a time and draws it into the memory it is given; it asks for the next
// one once it has finished the last.
class displayBands {
public:
    explicit displayBands(bandWriter& writer) : writer(writer) {}

    void size(int width, int height, int rowStride) {
        shape = {static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height),
                 static_cast<std::uint32_t>(rowStride)};
    }

    // Ghostscript's bands, made no taller than a slot: each rectangle asked
    // for is then one band Ghostscript draws once.
    int bandHeight(int proposed) {
        if (proposed <= 0) return 0;
        bandRows = std::min(rowsPerSlot(shape.rowStride), static_cast<std::uint32_t>(proposed));
        return bandRows < static_cast<std::uint32_t>(proposed) ? static_cast<int>(bandRows) : 0;
    }

    // Fills in the next rectangle to draw; w and h 0 when the page is done.
    int request(void** memory, int* ox, int* oy, int* raster, int* planeRaster, int* x, int* y,
                int* w, int* h) {
        if (drawing) {
            if (!writer.bandDrawn(*drawing)) return -1;
            drawing.reset();
            if (writer.pageWhole()) {
                *w = *h = 0;
                *memory = nullptr;
                return 0;
            }
        } else {
            writer.beginPage(shape);
        }
        drawing = writer.nextBand(bandRows > 0 ? bandRows : shape.height);
        if (!drawing) return -1;
        *memory = writer.memoryOf(*drawing);
        *ox = 0;
        *oy = *y = static_cast<int>(drawing->firstRow);
        *raster = static_cast<int>(shape.rowStride);
        *planeRaster = 0;
        *x = 0;
        *w = static_cast<int>(shape.width);
        *h = static_cast<int>(drawing->rows);
        return 0;
    }

private:
    bandWriter& writer;
    bands::pageShape shape;
    std::uint32_t bandRows = 0;
    std::optional<bands::band> drawing;
};

displayBands& bandsOf(void* handle) { return *static_cast<displayBands*>(handle); }

int noEvent(void*, void*) { return 0; }
int onPresize(void* handle, void*, int width, int height, int raster, unsigned int) {
    bandsOf(handle).size(width, height, raster);
    return 0;
}
int onSize(void*, void*, int, int, int, unsigned int, unsigned char*) { return 0; }
int onPage(void*, void*, int, int) { return 0; }
// No page-sized bitmap: Ghostscript then asks for rectangles.
void* noBitmap(void*, void*, std::size_t) { return nullptr; }
int noFree(void*, void*, void*) { return 0; }
int onBandHeight(void* handle, void*, int proposed) { return bandsOf(handle).bandHeight(proposed); }
int onRectangle(void* handle, void*, void** memory, int* ox, int* oy, int* raster, int* planeRaster,
                int* x, int* y, int* w, int* h) {
    return bandsOf(handle).request(memory, ox, oy, raster, planeRaster, x, y, w, h);
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
    displayBands* bands;
};

int answerDisplay(void*, void* context, const char* device, int id, int size, void* data) {
    if (!device || std::strcmp(device, "display") != 0 || id != DISPLAY_CALLOUT_GET_CALLBACK ||
        size < static_cast<int>(sizeof(gs_display_get_callback_t)))
        return -1;
    const auto* handle = static_cast<displayHandle*>(context);
    auto* answer = static_cast<gs_display_get_callback_t*>(data);
    answer->callback = handle->callbacks;
    answer->caller_handle = handle->bands;
    return 0;
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

// One Ghostscript interpreter, driven page by page through its PDF
// interpreter's PostScript procedures.
class ghostscriptInstance {
public:
    ghostscriptInstance() {
        if (gsapi_new_instance(&instance, this) < 0) instance = nullptr;
        if (instance) {
            gsapi_set_stdio(instance, nullptr, onOutput, onOutput);
            gsapi_set_arg_encoding(instance, GS_ARG_ENCODING_UTF8);
        }
    }
    ~ghostscriptInstance() {
        if (instance) gsapi_delete_instance(instance);
    }
    ghostscriptInstance(const ghostscriptInstance&) = delete;
    ghostscriptInstance& operator=(const ghostscriptInstance&) = delete;

    void* get() const { return instance; }

    bool start(std::vector<std::string> arguments) {
        std::vector<char*> argv;
        for (auto& argument : arguments) argv.push_back(argument.data());
        return instance && gsapi_init_with_args(instance, static_cast<int>(argv.size()), argv.data()) == 0;
    }

    // Opens the document for the page by page runs below.
    bool open(const std::string& document) {
        gsapi_add_control_path(instance, GS_PERMIT_FILE_READING, document.c_str());
        return run(postscriptString(document) + " (r) file runpdfbegin process_trailer_attrs");
    }
    std::optional<unsigned> pageCount() {
        captured.emplace();
        const bool ran = run("pdfpagecount = flush");
        const std::string text = std::move(*captured);
        captured.reset();
        unsigned count = 0;
        if (!ran || std::from_chars(text.data(), text.data() + text.size(), count).ec != std::errc{})
            return std::nullopt;
        return count;
    }
    bool drawPage(unsigned page) {
        const std::string number = std::to_string(page);
        return run(number + " " + number + " dopdfpages");
    }

private:
    bool run(const std::string& program) {
        int exitCode = 0;
        const int code = gsapi_run_string(instance, program.c_str(), 0, &exitCode);
        return code == 0 || code == gs_error_Quit;
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

// Ghostscript writes its raster into the pipe a row at a time, and libcups
// reads it a row at a time. On two processors the two threads take the
// pipe's lock in turns and spin on it while the other holds it: a quarter
// of the renderer's time on shaded pages. On one processor they take turns
// without spinning, and the other processor is left to the server, which
// encodes the rows. This keeps the drawing thread, and the reading thread it
// starts (which inherits it), on the processor it runs on, for one page.
class oneProcessor {
public:
    oneProcessor() {
        CPU_ZERO(&before);
        const int processor = sched_getcpu();
        if (processor < 0 || pthread_getaffinity_np(pthread_self(), sizeof before, &before) != 0) return;
        cpu_set_t only;
        CPU_ZERO(&only);
        CPU_SET(processor, &only);
        pinned = pthread_setaffinity_np(pthread_self(), sizeof only, &only) == 0;
    }
    ~oneProcessor() {
        if (pinned) pthread_setaffinity_np(pthread_self(), sizeof before, &before);
    }
    oneProcessor(const oneProcessor&) = delete;
    oneProcessor& operator=(const oneProcessor&) = delete;

private:
    cpu_set_t before;
    bool pinned = false;
};

// The cups device for the shaded pages, started when the first one comes:
// Ghostscript writes each page as CUPS raster into a pipe while a thread
// reads it into the slots.
class rasterPages {
public:
    rasterPages(bandWriter& writer, bool gray, const std::vector<std::string>& options,
                const std::string& document)
        : writer(writer) {
        int ends[2];
        if (pipe2(ends, O_CLOEXEC) != 0) return;
        readEnd = ends[0];
        writeEnd = ends[1];
        // Fewer wake-ups of both threads; the default stays if refused.
        fcntl(writeEnd, F_SETPIPE_SZ, 1 << 20);
        std::vector<std::string> arguments = {"corvane-render", "-sDEVICE=cups",
                                              gray ? "-dcupsColorSpace=18" : "-dcupsColorSpace=19",
                                              "-dcupsBitsPerColor=8",
                                              "-sOutputFile=/dev/fd/" + std::to_string(writeEnd)};
        arguments.insert(arguments.end(), options.begin(), options.end());
        ready = ghostscript.start(arguments) && ghostscript.open(document);
    }
    ~rasterPages() {
        if (raster) cupsRasterClose(raster);
        if (readEnd >= 0) close(readEnd);
        if (writeEnd >= 0) close(writeEnd);
    }
    rasterPages(const rasterPages&) = delete;
    rasterPages& operator=(const rasterPages&) = delete;

    bool started() const { return ready; }

    // False when Ghostscript stopped with an error; the reading thread may
    // then still wait for the page's rows, and the renderer must end.
    bool draw(unsigned page) {
        const oneProcessor shared;  // the reading thread starts on it too
        reading = std::async(std::launch::async, [this] { readPage(); });
        if (!ghostscript.drawPage(page)) return false;
        reading.get();
        return true;
    }

private:
    void readPage() {
        if (!raster) raster = cupsRasterOpen(readEnd, CUPS_RASTER_READ);
        cups_page_header2_t header;
        if (!raster || !cupsRasterReadHeader2(raster, &header))
            finish(false, "corvane-render: Ghostscript's CUPS raster cannot be read.\n");
        writer.beginPage({header.cupsWidth, header.cupsHeight, header.cupsBytesPerLine});
        while (!writer.pageWhole()) {
            const auto band = writer.nextBand(header.cupsHeight);
            if (!band) finish(false);
            const unsigned bytes = band->rows * header.cupsBytesPerLine;
            if (cupsRasterReadPixels(raster, writer.memoryOf(*band), bytes) != bytes)
                finish(false, "corvane-render: Ghostscript's CUPS raster ended inside a page.\n");
            if (!writer.bandDrawn(*band)) finish(false);
        }
    }

    bandWriter& writer;
    int readEnd = -1, writeEnd = -1;
    ghostscriptInstance ghostscript;
    bool ready = false;
    cups_raster_t* raster = nullptr;
    std::future<void> reading;
};

int render(std::string_view colours, int argc, char** argv) {
    // 8 bits per colour, no alpha, red first, top row first, chunky.
    unsigned int format = 0;
    for (const unsigned int flag : {unsigned{DISPLAY_ALPHA_NONE}, unsigned{DISPLAY_DEPTH_8},
                                    unsigned{DISPLAY_BIGENDIAN}, unsigned{DISPLAY_TOPFIRST},
                                    unsigned{DISPLAY_ROW_ALIGN_DEFAULT}, unsigned{DISPLAY_CHUNKY}})
        format |= flag;
    const bool gray = colours == "gray";
    if (colours == "rgb") format |= DISPLAY_COLORS_RGB;
    else if (gray) format |= DISPLAY_COLORS_GRAY;
    else return 2;
    const std::vector<std::string> options(argv, argv + argc);

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
    displayBands displayed(writer);
    display_callback callbacks = displayCallbacks();
    displayHandle handle{&callbacks, &displayed};
    ghostscriptInstance display;
    if (!display.get()) {
        std::fputs("corvane-render: Ghostscript could not start.\n", stderr);
        return 2;
    }
    gsapi_register_callout(display.get(), answerDisplay, &handle);
    std::vector<std::string> arguments = {"corvane-render", "-sDEVICE=display",
                                          "-dDisplayFormat=" + std::to_string(format)};
    arguments.insert(arguments.end(), options.begin(), options.end());
    if (!display.start(arguments)) finish(false);

    // No document: the renderer was not needed.
    const auto document = bands::receiveMessage(bands::documentFd);
    if (!document) finish(true);
    const auto pageCount = display.open(*document) ? display.pageCount() : std::nullopt;
    if (!pageCount) finish(false);
    const auto answer = bands::sendMessage(bands::documentFd, std::to_string(*pageCount))
                            ? bands::receiveMessage(bands::documentFd)
                            : std::nullopt;
    if (!answer) finish(true);
    const auto selection = parsePageSelection(*answer);
    if (!selection) finish(false, "corvane-render: the pages to draw make no sense.\n");
    const std::vector<unsigned> pages = selectedPages(*selection, *pageCount);
#ifdef CORVANE_BENCH_SWITCHES
    // bench/run's build times documents with every page on the display beside this.
    const bool displayOnly = std::getenv("CORVANE_BENCH_DISPLAY_ONLY") != nullptr;
#else
    const bool displayOnly = false;
#endif
    const std::vector<bool> shaded = pages.empty() || displayOnly ? std::vector<bool>{} : shadedPages(*document);
    // A Ghostscript without the cups device draws every page on the display.
    std::optional<rasterPages> raster;
    for (const unsigned page : pages) {
        const bool shadedPage = page <= shaded.size() && shaded[page - 1];
        if (shadedPage && !raster) raster.emplace(writer, gray, options, *document);
        const bool drawn = shadedPage && raster->started() ? raster->draw(page) : display.drawPage(page);
        if (!drawn) finish(false);
    }
    finish(true);
}

}  // namespace
}  // namespace corvane

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("usage: corvane-render rgb|gray GHOSTSCRIPT-OPTIONS...\n"
                   "       (the document and its pages on descriptor 5)\n", stderr);
        return 2;
    }
    return corvane::render(argv[1], argc - 2, argv + 2);
}
