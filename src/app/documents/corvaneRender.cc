// corvane-render: Ghostscript drawing a PDF's pages, each row encoded for
// the printer as soon as it is drawn, into memory shared with the printer
// application (app/bandProtocol.h). The rows are read straight from
// Ghostscript's band buffer while they are still in the processor's caches;
// only the printer bytes reach the app.
//
//   corvane-render rgb|gray GHOSTSCRIPT-OPTIONS...
//
// The document, the pages to draw and the job's page size come on
// descriptor 5 once Ghostscript is ready. Ghostscript's messages go to
// standard error; standard output carries only the records. Exit status 0
// when the pages were rendered (or no document came), 1 when Ghostscript
// stopped with an error, 2 when the renderer could not start.
//
// Two devices draw the pages:
// - the ppmraw (pgmraw for gray) device, whose output file is a stream of
//   this program that takes the rows where Ghostscript has them;
// - pages with smooth shadings go to Ghostscript's cups device. The ppmraw
//   device (like the display device and png16m) reports colours that are
//   separable and linear, and Ghostscript then fills a shading pixel by
//   pixel with interpolated colours: about 0.45 s per Letter page at
//   600 dpi. The cups device does not, and Ghostscript cuts the shading into
//   areas of one colour each, within the smoothness tolerance: about 0.05 s.
//   Its images go pixel by pixel through its own colour mapping instead (3x
//   slower than ppmraw's), so it draws only the shaded pages. It writes CUPS
//   raster into a pipe, from which a thread reads and encodes the rows.
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
#include <new>
#include <span>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <dirent.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <cups/raster.h>
#include <ghostscript/iapi.h>
#include <ghostscript/ierrors.h>

#include "app/documents/bandProtocol.h"
#include "app/documents/ppmStream.h"
#include "app/documents/renderedPages.h"
#include "app/documents/pageSelection.h"
#include "app/documents/shadedPages.h"
#include "encoder/byteSink.h"

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

// The printer bytes of the pages, written into the slots: a slot goes to
// the app when it is full and at the end of every page, and the next bytes
// go into the next free one. A full slot goes only up to the end of its last
// whole row, and the row being made moves on to the next slot: a renderer
// that dies in the middle of a page leaves the printer whole rows, which the
// app ends cleanly. The app gone ends the renderer.
class slotSink final : public byteSink {
public:
    slotSink(const sharedSlots& slots, int recordFd) : slots(slots), recordFd(recordFd) {}

    void beginPage() { send({bands::recordType::page}); }
    // The bytes so far end with a whole row.
    void rowDone() { wholeRows = filled; }
    void endPage(std::uint32_t rows) {
        if (slot >= 0 && filled > 0) {
            send({bands::recordType::data, static_cast<std::uint32_t>(slot), static_cast<std::uint32_t>(filled)});
            slot = -1;
            filled = wholeRows = 0;
        }
        send({bands::recordType::pageEnd, rows});
    }

    using byteSink::write;
    void write(std::span<const std::uint8_t> bytes) override {
        while (!bytes.empty()) {
            if (room() == 0) nextSlot();
            const std::size_t now = std::min(bytes.size(), room());
            std::memcpy(current() + filled, bytes.data(), now);
            filled += now;
            bytes = bytes.subspan(now);
        }
    }
    void flush() override {}
    // Room in the slot being filled; in the next slot when it has too little.
    std::span<std::uint8_t> reserve(std::size_t size) override {
        if (room() < size) nextSlot();
        if (room() < size) return {};
        return {current() + filled, size};
    }
    void commit(std::size_t size) override { filled += size; }

private:
    std::uint8_t* current() {
        if (slot < 0) slot = freeSlot();
        return slots.slot(static_cast<unsigned>(slot));
    }
    std::size_t room() const { return slot < 0 ? bands::slotBytes : bands::slotBytes - filled; }
    // The slot's whole rows go to the app; the row being made, if any,
    // starts the next slot. A row larger than a slot goes in pieces.
    void nextSlot() {
        if (slot < 0 || filled == 0) return;
        const int next = freeSlot();
        const std::size_t sent = wholeRows > 0 ? wholeRows : filled;
        const std::size_t carried = filled - sent;
        if (carried > 0) std::memcpy(slots.slot(static_cast<unsigned>(next)), current() + sent, carried);
        if (sent > 0)
            send({bands::recordType::data, static_cast<std::uint32_t>(slot), static_cast<std::uint32_t>(sent)});
        slot = next;
        filled = carried;
        wholeRows = 0;
    }
    void send(const bands::record& record) {
        if (!writeAll(recordFd, &record, sizeof record)) finish(false);
    }
    // A slot nobody uses: each one once at the start, then those the app
    // gives back.
    int freeSlot() {
        if (neverUsed < bands::slotCount) return static_cast<int>(neverUsed++);
        unsigned char number = 0;
        ssize_t got;
        do {
            got = read(bands::releaseFd, &number, 1);
        } while (got < 0 && errno == EINTR);
        if (got != 1 || number >= bands::slotCount) finish(false);
        return number;
    }

    const sharedSlots& slots;
    int recordFd;
    int slot = -1;  // the slot being filled, or none
    std::size_t filled = 0;
    std::size_t wholeRows = 0;  // bytes of the slot that end with a whole row
    unsigned neverUsed = 0;
};

// Rendered pages, from either device, encoded into the slots. Ghostscript
// starts before the job's page size is known; the pages come after it.
class pageOutput final : public ppmStream::listener {
public:
    explicit pageOutput(unsigned bytesPerPixel) : bytesPerPixel(bytesPerPixel) {}

    // The pages go to `slots` at the job's page size from here on.
    void start(slotSink& slots, bands::pageSize job) {
        sink = &slots;
        pages.emplace(job, bytesPerPixel, slots);
    }

    void page(std::uint32_t width, std::uint32_t, unsigned pixelBytes) override {
        if (!pages) finish(false, "corvane-render: a page came before the document.\n");
        if (pixelBytes != bytesPerPixel) finish(false, "corvane-render: Ghostscript drew the wrong colours.\n");
        sink->beginPage();
        try {
            pages->beginPage(width);
        } catch (const std::bad_alloc&) {
            finish(false, "corvane-render: out of memory for a page's rows.\n");
        }
    }
    void row(const std::uint8_t* pixels) override {
        pages->addRow(pixels);
        sink->rowDone();
    }
    void pageEnd() override { sink->endPage(pages->endPage()); }

private:
    unsigned bytesPerPixel;
    slotSink* sink = nullptr;
    std::optional<renderedPages> pages;
};

// Ghostscript's device output ("-sOutputFile=-") as a C stream that hands
// every write to a ppmStream: the rows arrive straight from Ghostscript's
// band buffer, with no pipe and no copy.
class deviceOutput {
public:
    explicit deviceOutput(ppmStream& stream) {
        cookie_io_functions_t io{};
        io.write = [](void* cookie, const char* bytes, std::size_t size) -> ssize_t {
            const auto* data = reinterpret_cast<const std::uint8_t*>(bytes);
            if (!static_cast<ppmStream*>(cookie)->feed({data, size}))
                finish(false, "corvane-render: Ghostscript's pages cannot be read.\n");
            return static_cast<ssize_t>(size);
        };
        file = fopencookie(&stream, "w", io);
        // Unbuffered: each write reaches the stream where Ghostscript has it.
        if (file) setvbuf(file, nullptr, _IONBF, 0);
    }
    ~deviceOutput() {
        if (file) std::fclose(file);
    }
    deviceOutput(const deviceOutput&) = delete;
    deviceOutput& operator=(const deviceOutput&) = delete;

    FILE* get() const { return file; }

private:
    FILE* file = nullptr;
};

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
    // Ghostscript writes the output file "-" to the process's C standard
    // output as it is when the instance is made: `output` when given.
    explicit ghostscriptInstance(FILE* output = nullptr) {
        FILE* const processOutput = stdout;
        if (output) stdout = output;
        if (gsapi_new_instance(&instance, this) < 0) instance = nullptr;
        stdout = processOutput;
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
// reads its rows and encodes them.
class rasterPages {
public:
    rasterPages(pageOutput& output, bool gray, const std::vector<std::string>& options,
                const std::string& document)
        : output(output) {
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
        if (!raster || !cupsRasterReadHeader2(raster, &header) || header.cupsBitsPerPixel % 8 != 0 ||
            header.cupsWidth == 0 || header.cupsBytesPerLine != header.cupsWidth * (header.cupsBitsPerPixel / 8))
            finish(false, "corvane-render: Ghostscript's CUPS raster cannot be read.\n");
        row.resize(header.cupsBytesPerLine);
        output.page(header.cupsWidth, header.cupsHeight, header.cupsBitsPerPixel / 8);
        for (unsigned y = 0; y < header.cupsHeight; ++y) {
            if (cupsRasterReadPixels(raster, row.data(), header.cupsBytesPerLine) != header.cupsBytesPerLine)
                finish(false, "corvane-render: Ghostscript's CUPS raster ended inside a page.\n");
            output.row(row.data());
        }
        output.pageEnd();
    }

    pageOutput& output;
    int readEnd = -1, writeEnd = -1;
    ghostscriptInstance ghostscript;
    bool ready = false;
    cups_raster_t* raster = nullptr;
    std::vector<std::uint8_t> row;
    std::future<void> reading;
};

// A second renderer made from this one (fork) for the same document, whose
// exit status goes to the app once it has ended. It ends with this one.
class twinProcess {
public:
    twinProcess(pid_t pid, int statusFd) : pid(pid), statusFd(statusFd) {}
    twinProcess(const twinProcess&) = delete;
    twinProcess& operator=(const twinProcess&) = delete;

    // Waits for the twin and tells the app how it ended.
    void reportEnd() {
        int status = 0;
        pid_t done;
        do {
            done = pid > 0 ? waitpid(pid, &status, 0) : -1;
        } while (done < 0 && errno == EINTR);
        const int exitStatus = done > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        writeAll(statusFd, &exitStatus, sizeof exitStatus);
        close(statusFd);
    }

private:
    pid_t pid;
    int statusFd;
};

// In the twin, just made: the descriptors it was given take the places of
// its parent's, and it ends when its parent does.
void becomeTwin(std::vector<int>& ends, pid_t parent, int& recordFd) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) std::_Exit(1);
    const std::pair<unsigned, int> places[] = {{bands::forkedMemory, bands::memoryFd},
                                               {bands::forkedRelease, bands::releaseFd},
                                               {bands::forkedDocument, bands::documentFd},
                                               {bands::forkedErrors, STDERR_FILENO},
                                               {bands::forkedErrors, STDOUT_FILENO}};
    for (const auto& [end, fd] : places)
        if (dup2(ends[end], fd) < 0) std::_Exit(2);
    close(recordFd);
    recordFd = ends[bands::forkedRecords];
    ends[bands::forkedRecords] = -1;
}

// In the twin: each descriptor of the open document becomes one of its own,
// at the same place and offset, so that its reading does not move its
// parent's (a copy of a descriptor shares the file offset).
void ownDocumentFiles(const std::string& document) {
    struct stat file {};
    if (stat(document.c_str(), &file) != 0) finish(false, "corvane-render: the document is gone.\n");
    std::vector<int> open;
    if (DIR* fds = opendir("/proc/self/fd")) {
        while (const dirent* entry = readdir(fds)) {
            int fd = -1;
            const std::string_view name(entry->d_name);
            if (std::from_chars(name.data(), name.data() + name.size(), fd).ec != std::errc{} || fd == dirfd(fds))
                continue;
            struct stat opened {};
            if (fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && opened.st_dev == file.st_dev &&
                opened.st_ino == file.st_ino)
                open.push_back(fd);
        }
        closedir(fds);
    }
    for (const int fd : open) {
        const off_t offset = lseek(fd, 0, SEEK_CUR);
        const int own = ::open(document.c_str(), O_RDONLY | O_CLOEXEC);
        if (own < 0 || offset < 0 || lseek(own, offset, SEEK_SET) != offset || dup2(own, fd) < 0)
            finish(false, "corvane-render: the document cannot be opened again.\n");
        close(own);
    }
}

int render(std::string_view colours, int argc, char** argv) {
    const bool gray = colours == "gray";
    if (!gray && colours != "rgb") return 2;
    const std::vector<std::string> options(argv, argv + argc);

    // The records leave by a descriptor of their own; anything written to
    // standard output from here on lands in standard error.
    int recordFd = dup(STDOUT_FILENO);
    if (recordFd < 0 || dup2(STDERR_FILENO, STDOUT_FILENO) < 0) return 2;
    std::optional<sharedSlots> slots(std::in_place);
    if (!slots->mapped()) {
        std::fputs("corvane-render: the band memory is missing.\n", stderr);
        return 2;
    }
    // A vanished app ends the run through a failed write, not a signal.
    std::signal(SIGPIPE, SIG_IGN);

    pageOutput output(gray ? 1u : 3u);
    ppmStream stream(output);
    const deviceOutput device(stream);
    ghostscriptInstance ghostscript(device.get());
    if (!device.get() || !ghostscript.get()) {
        std::fputs("corvane-render: Ghostscript could not start.\n", stderr);
        return 2;
    }
    std::vector<std::string> arguments = {"corvane-render", gray ? "-sDEVICE=pgmraw" : "-sDEVICE=ppmraw",
                                          "-sOutputFile=-"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    if (!ghostscript.start(arguments)) finish(false);

    // No document: the renderer was not needed.
    const auto document = bands::receiveMessage(bands::documentFd);
    if (!document) finish(true);
    const auto pageCount = ghostscript.open(*document) ? ghostscript.pageCount() : std::nullopt;
    if (!pageCount) finish(false);
    if (!bands::sendMessage(bands::documentFd, std::to_string(*pageCount))) finish(true);
    // Perhaps a twin to make first: from here on it serves the descriptors
    // it was given, the pages to draw that come on them included.
    std::vector<int> twinEnds;
    auto answer = bands::receiveMessage(bands::documentFd, &twinEnds);
    std::optional<twinProcess> twin;
    if (answer == "fork" && twinEnds.size() == bands::forkedEnds) {
        const pid_t parent = getpid();
        const pid_t copy = fork();
        if (copy == 0) {
            becomeTwin(twinEnds, parent, recordFd);
            ownDocumentFiles(*document);
            // Its own memory in place of its parent's.
            slots.emplace();
            if (!slots->mapped()) finish(false, "corvane-render: the band memory is missing.\n");
        } else {
            twin.emplace(copy, twinEnds[bands::forkedStatus]);
            twinEnds[bands::forkedStatus] = -1;
        }
        answer = bands::receiveMessage(bands::documentFd);
    }
    for (const int fd : twinEnds)
        if (fd >= 0) close(fd);
    const auto size = answer ? bands::receiveMessage(bands::documentFd) : std::nullopt;
    if (!size) finish(true);
    const auto selection = parsePageSelection(*answer);
    const auto jobPage = bands::parsePageSize(*size);
    if (!selection || !jobPage) finish(false, "corvane-render: the pages to draw make no sense.\n");
    const std::vector<unsigned> drawn = selectedPages(*selection, *pageCount);

    slotSink sink(*slots, recordFd);
    output.start(sink, *jobPage);
#ifdef CORVANE_BENCH_SWITCHES
    // bench/run's build times documents with every page on the one device beside this.
    const bool oneDevice = std::getenv("CORVANE_BENCH_ONE_DEVICE") != nullptr;
#else
    const bool oneDevice = false;
#endif
    const std::vector<bool> shaded = drawn.empty() || oneDevice ? std::vector<bool>{} : shadedPages(*document);
    // A Ghostscript without the cups device draws every page on the first.
    std::optional<rasterPages> raster;
    for (const unsigned page : drawn) {
        const bool shadedPage = page <= shaded.size() && shaded[page - 1];
        if (shadedPage && !raster) raster.emplace(output, gray, options, *document);
        const bool done = shadedPage && raster->started() ? raster->draw(page) : ghostscript.drawPage(page);
        if (!done || !stream.betweenPages()) finish(false);
    }
    if (twin) twin->reportEnd();
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
