// appbench: drives a running corvane-printer-app for the end-to-end
// benchmark (bench/app-e2e.sh starts the server).
//
//   appbench print --server ipp://127.0.0.1:PORT --pid PID --format MIME
//                  [--jobs N] [--reset-peak] [--cold] [--page-end BYTES] FILE
//     Listens on a free loopback port as the printer (a socket:// device
//     whose bytes are counted and thrown away), adds a "corvane-oneway" printer for
//     it and prints FILE N times one after the other.
//     One line per job: state, seconds from submit to "completed", to the
//     first byte, to byte BYTES (the end of page 1) and to the last byte on
//     the device, bytes received, the server's peak RSS in KiB
//     (--reset-peak: the peak of this job alone), and the CPU seconds of the
//     server and of its children (the renderers) during the job. --cold:
//     the renderer the server started for the new printer is stopped
//     before the first job, which then waits for Ghostscript's start.
//
//   appbench gs-command [--first N] [--last N] FILE
//     Ghostscript alone with the options the app gives its renderer for a US
//     Letter sRGB PDF job, on the ppmraw device, one argument per line.
//
//   appbench render [--shared] FILE
//     The app's renderer (corvane-render) on FILE as the app runs it for a
//     US Letter sRGB job, its printer bytes given back at once: rendering
//     and encoding alone;
//     --shared: as the app runs them on two cores or more (two renderers
//     for a document of 4 pages or more).
#include <cups/cups.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "app/documents/ghostscriptCommand.h"
#include "app/documents/pageRenderer.h"
#include "app/documents/rendererPool.h"
#include "printersink/loopbackListener.h"

namespace {

using benchClock = std::chrono::steady_clock;

double secondsBetween(benchClock::time_point from, benchClock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// What the printer received for one job.
struct deviceRecord {
    std::uint64_t bytes = 0;
    std::optional<benchClock::time_point> firstByte, pageEnd, lastByte, closedAt;
    unsigned connectionsOpen = 0;
    unsigned connectionsSeen = 0;
};

// The printer's side of a socket:// device: accepts connections on a free
// loopback port and counts their bytes without copying them.
class countingListener {
public:
    explicit countingListener(std::uint64_t pageEndBytes) : pageEndBytes(pageEndBytes) {
        listening = printersink::listenOnLoopback(boundPort);
        if (!listening.isOpen()) throw std::runtime_error("cannot listen on the loopback interface");
        acceptor = std::jthread([this](std::stop_token stop) { acceptLoop(stop); });
    }

    ~countingListener() {
        acceptor.request_stop();
        shutdown(listening.get(), SHUT_RDWR);
    }

    int port() const { return boundPort; }

    // Starts a new job's record.
    void reset() {
        std::lock_guard lock(mutex);
        const unsigned open = record.connectionsOpen;
        record = {};
        record.connectionsOpen = open;
    }

    // The job's record once the device was opened and closed again (PAPPL
    // closes it right after the job), or as it stands after the timeout.
    template <class Duration>
    deviceRecord finished(Duration timeout) {
        std::unique_lock lock(mutex);
        closed.wait_for(lock, timeout,
                        [this] { return record.connectionsSeen > 0 && record.connectionsOpen == 0; });
        return record;
    }

private:
    void acceptLoop(std::stop_token stop) {
        std::vector<std::jthread> readers;
        while (!stop.stop_requested()) {
            corvane::fileHandle connection(accept4(listening.get(), nullptr, nullptr, SOCK_CLOEXEC));
            if (connection.get() < 0) continue;
            {
                std::lock_guard lock(mutex);
                ++record.connectionsOpen;
                ++record.connectionsSeen;
            }
            readers.emplace_back([this, c = std::move(connection)] { drain(c.get()); });
        }
    }

    void drain(int fd) {
        std::vector<std::uint8_t> scratch(64);
        const int bufferBytes = 8 << 20;
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bufferBytes, sizeof bufferBytes);
        int wakeAt = 1;
        for (;;) {
            // MSG_TRUNC on TCP drops the bytes in the kernel: the count is
            // all the benchmark needs, and the copy would cost the app CPU.
            const ssize_t got = recv(fd, scratch.data(), 1 << 24, MSG_TRUNC);
            if (got < 0 && errno == EINTR) continue;
            const auto now = benchClock::now();
            std::lock_guard lock(mutex);
            if (got <= 0) {
                --record.connectionsOpen;
                record.closedAt = now;
                closed.notify_all();
                return;
            }
            if (!record.firstByte) record.firstByte = now;
            record.bytes += static_cast<std::uint64_t>(got);
            record.lastByte = now;
            if (!record.pageEnd && pageEndBytes > 0 && record.bytes >= pageEndBytes) record.pageEnd = now;
            // A remote printer costs the server nothing to wake: wake this
            // reader only for large pieces, except where a time is taken
            // (the first byte and the end of page 1).
            int next = bigPiece;
            if (!record.pageEnd && pageEndBytes > record.bytes)
                next = static_cast<int>(std::min<std::uint64_t>(bigPiece, pageEndBytes - record.bytes));
            if (next != wakeAt && setsockopt(fd, SOL_SOCKET, SO_RCVLOWAT, &next, sizeof next) == 0) wakeAt = next;
        }
    }

    static constexpr int bigPiece = 1 << 20;

    std::uint64_t pageEndBytes;
    in_port_t boundPort = 0;
    corvane::fileHandle listening;
    std::mutex mutex;
    std::condition_variable closed;
    deviceRecord record;
    std::jthread acceptor;
};

struct httpCloser {
    void operator()(http_t* http) const { httpClose(http); }
};
struct ippDeleter {
    void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};
using httpConnection = std::unique_ptr<http_t, httpCloser>;
using ippMessage = std::unique_ptr<ipp_t, ippDeleter>;

// An IPP client of the server: the system service and one printer.
class appClient {
public:
    explicit appClient(const std::string& serverUri) {
        char scheme[32], user[64], host[256], resource[256];
        if (httpSeparateURI(HTTP_URI_CODING_ALL, serverUri.c_str(), scheme, sizeof scheme, user, sizeof user,
                            host, sizeof host, &port, resource, sizeof resource) < HTTP_URI_STATUS_OK)
            throw std::runtime_error("bad server URI " + serverUri);
        this->host = host;
        http = connect();
    }

    void addPrinter(const std::string& name, const std::string& deviceUri) {
        ippMessage request(ippNewRequest(IPP_OP_CREATE_PRINTER));
        ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_URI, "system-uri", nullptr, uri("/ipp/system").c_str());
        ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "printer-service-type", nullptr, "print");
        // One-way: the counting printer never answers, so it gets no status
        // questions and jobs do not wait for its replies.
        ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "smi55357-driver", nullptr, "corvane-oneway");
        ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_URI, "smi55357-device-uri", nullptr, deviceUri.c_str());
        ippAddString(request.get(), IPP_TAG_PRINTER, IPP_TAG_NAME, "printer-name", nullptr, name.c_str());
        ippMessage response(cupsDoRequest(http.get(), request.release(), "/ipp/system"));
        if (cupsLastError() > IPP_STATUS_OK_EVENTS_COMPLETE)
            throw std::runtime_error(std::string("cannot add the printer: ") + cupsLastErrorString());
        printerResource = "/ipp/print/" + name;
    }

    // Print-Job on a connection of its own, as a client that prints would
    // open, with the file's bytes streamed as they are read; the job id.
    int printFile(const std::string& path, const std::string& format) {
        const httpConnection submitter = connect();
        std::ifstream file(path, std::ios::binary | std::ios::ate);
        if (!file) throw std::runtime_error("cannot read " + path);
        const auto size = static_cast<std::size_t>(file.tellg());
        file.seekg(0);
        ippMessage request(ippNewRequest(IPP_OP_PRINT_JOB));
        ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
                     uri(printerResource).c_str());
        ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
        ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_NAME, "job-name", nullptr, "bench");
        ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_MIMETYPE, "document-format", nullptr, format.c_str());
        // The length is the whole body: the request and the document after it.
        if (cupsSendRequest(submitter.get(), request.get(), printerResource.c_str(), ippLength(request.get()) + size) !=
            HTTP_STATUS_CONTINUE)
            throw std::runtime_error(std::string("Print-Job refused: ") + cupsLastErrorString());
        std::vector<char> chunk(1 << 18);
        while (file) {
            file.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
            const auto got = static_cast<std::size_t>(file.gcount());
            if (got > 0 && cupsWriteRequestData(submitter.get(), chunk.data(), got) != HTTP_STATUS_CONTINUE) break;
        }
        ippMessage response(cupsGetResponse(submitter.get(), printerResource.c_str()));
        const int id = ippGetInteger(ippFindAttribute(response.get(), "job-id", IPP_TAG_INTEGER), 0);
        if (id <= 0) throw std::runtime_error(std::string("Print-Job failed: ") + cupsLastErrorString());
        return id;
    }

    ipp_jstate_t jobState(int jobId) {
        ippMessage request(ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES));
        ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
                     uri(printerResource).c_str());
        ippAddInteger(request.get(), IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", jobId);
        ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
        ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr, "job-state");
        ippMessage response(cupsDoRequest(http.get(), request.release(), printerResource.c_str()));
        ipp_attribute_t* state = ippFindAttribute(response.get(), "job-state", IPP_TAG_ENUM);
        return state ? static_cast<ipp_jstate_t>(ippGetInteger(state, 0)) : IPP_JSTATE_PENDING;
    }

private:
    httpConnection connect() const {
        httpConnection connection(
            httpConnect2(host.c_str(), port, nullptr, AF_UNSPEC, HTTP_ENCRYPTION_IF_REQUESTED, 1, 30000, nullptr));
        if (!connection) throw std::runtime_error("cannot connect to " + host + ":" + std::to_string(port));
        return connection;
    }

    std::string uri(const std::string& resource) const {
        return "ipp://" + host + ":" + std::to_string(port) + resource;
    }

    httpConnection http;
    std::string host;
    int port = 0;
    std::string printerResource;
};

// The server's peak resident memory, from /proc; resettable (as root or as
// the server's owner) through clear_refs.
class peakMemory {
public:
    explicit peakMemory(long pid) : procDir("/proc/" + std::to_string(pid)) {}

    long kib() const {
        std::ifstream status(procDir + "/status");
        std::string line;
        while (std::getline(status, line))
            if (line.starts_with("VmHWM:")) return std::stol(line.substr(6));
        return -1;
    }

    void reset() const { std::ofstream(procDir + "/clear_refs") << "5"; }

    // CPU seconds of the server itself and of its finished children (the
    // Ghostscript runs it has waited for).
    std::pair<double, double> cpuSeconds() const {
        std::ifstream stat(procDir + "/stat");
        std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        // Fields after the command name, which is in parentheses.
        std::istringstream fields(text.substr(text.rfind(')') + 2));
        std::vector<std::string> field((std::istream_iterator<std::string>(fields)), {});
        if (field.size() < 15) return {0, 0};
        const double tick = static_cast<double>(sysconf(_SC_CLK_TCK));
        // utime, stime, cutime, cstime are fields 14-17 of the line.
        return {(std::stod(field[11]) + std::stod(field[12])) / tick,
                (std::stod(field[13]) + std::stod(field[14])) / tick};
    }

private:
    std::string procDir;
};

// Kills the server's renderers and waits until each has ended (the server
// then starts a new one for its next job).
void stopRenderers(long serverPid) {
    std::vector<pid_t> stopped;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream stat(entry.path() / "stat");
        std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        const auto open = text.find('('), close = text.rfind(')');
        if (open == std::string::npos || close == std::string::npos) continue;
        std::istringstream fields(text.substr(close + 2));
        char state = 0;
        long parent = 0;
        fields >> state >> parent;
        if (parent != serverPid || text.substr(open + 1, close - open - 1) != "corvane-render") continue;
        const auto pid = static_cast<pid_t>(std::stol(name));
        if (kill(pid, SIGKILL) == 0) stopped.push_back(pid);
    }
    for (const pid_t pid : stopped)
        for (;;) {
            std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
            std::string text;
            std::getline(stat, text);
            const auto close = text.rfind(')');
            if (!stat || close == std::string::npos || text.substr(close + 2, 1) == "Z") break;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
}

struct printArguments {
    std::string server, format, file;
    long pid = 0;
    unsigned jobs = 1;
    bool resetPeak = false;
    bool cold = false;
    std::uint64_t pageEnd = 0;
};

const char* stateName(ipp_jstate_t state) {
    switch (state) {
        case IPP_JSTATE_COMPLETED: return "completed";
        case IPP_JSTATE_ABORTED: return "aborted";
        case IPP_JSTATE_CANCELED: return "canceled";
        default: return "unfinished";
    }
}

std::string secondsText(benchClock::time_point start, const std::optional<benchClock::time_point>& at) {
    if (!at) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.4f", secondsBetween(start, *at));
    return text;
}

int printJobs(const printArguments& args) {
    countingListener printer(args.pageEnd);
    appClient client(args.server);
    const std::string name = "bench" + std::to_string(getpid());
    client.addPrinter(name, "socket://127.0.0.1:" + std::to_string(printer.port()));
    if (args.cold) stopRenderers(args.pid);
    const peakMemory memory(args.pid);
    int failures = 0;
    std::printf("job\tstate\tdone_s\tfirst_byte_s\tpage1_s\tlast_byte_s\tbytes\tpeak_kib\tcpu_s\tchild_cpu_s\n");
    for (unsigned n = 1; n <= args.jobs; ++n) {
        printer.reset();
        if (args.resetPeak) memory.reset();
        const auto cpuBefore = memory.cpuSeconds();
        const auto submitted = benchClock::now();
        const int jobId = client.printFile(args.file, args.format);
        // PAPPL marks the job completed, then closes the device: the close
        // is the moment of completion, seen without loading the server with
        // polls. A job that never opens the device is found by a slow poll.
        ipp_jstate_t state = IPP_JSTATE_PENDING;
        deviceRecord device;
        for (;;) {
            device = printer.finished(std::chrono::milliseconds(100));
            if (device.closedAt && device.connectionsOpen == 0) break;
            if ((state = client.jobState(jobId)) >= IPP_JSTATE_CANCELED) break;
            if (kill(static_cast<pid_t>(args.pid), 0) != 0) throw std::runtime_error("the server has gone");
        }
        while ((state = client.jobState(jobId)) < IPP_JSTATE_CANCELED) {
            if (kill(static_cast<pid_t>(args.pid), 0) != 0) throw std::runtime_error("the server has gone");
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        const auto done = device.closedAt && device.connectionsOpen == 0 ? *device.closedAt : benchClock::now();
        const long peak = memory.kib();
        const auto cpuAfter = memory.cpuSeconds();
        if (state != IPP_JSTATE_COMPLETED) ++failures;
        std::printf("%u\t%s\t%.4f\t%s\t%s\t%s\t%llu\t%ld\t%.2f\t%.2f\n", n, stateName(state),
                    secondsBetween(submitted, done), secondsText(submitted, device.firstByte).c_str(),
                    secondsText(submitted, device.pageEnd).c_str(), secondsText(submitted, device.lastByte).c_str(),
                    static_cast<unsigned long long>(device.bytes), peak, cpuAfter.first - cpuBefore.first,
                    cpuAfter.second - cpuBefore.second);
        std::fflush(stdout);
    }
    // The printer stays: PAPPL 1.3.1 can free a printer deleted right after
    // a job while the job's thread still finishes it.
    return failures == 0 ? 0 : 1;
}

corvane::renderRequest letterRequest(int argc, char** argv) {
    corvane::renderRequest request;
    request.widthPwg = 21590;  // US Letter
    request.lengthPwg = 27940;
    request.widthPixels = 5100;  // at 600 dpi
    request.heightPixels = 6600;
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg(argv[i]);
        if (arg == "--first" && i + 1 < argc) request.firstPage = static_cast<unsigned>(std::stoul(argv[++i]));
        else if (arg == "--last" && i + 1 < argc) request.lastPage = static_cast<unsigned>(std::stoul(argv[++i]));
        else if (!arg.starts_with("--")) request.file = argv[i];
    }
    return request;
}

// The app's renderers alone, as on one core or (--shared) on two, the
// printer bytes given back as soon as they are written.
int renderOnly(int argc, char** argv) {
    const corvane::renderRequest request = letterRequest(argc, argv);
    const bool shared = argc > 2 && std::string_view(argv[2]) == "--shared";
    const auto renderers = corvane::rendererPool{}.startDocument(request, shared ? 2 : 1);
    if (renderers.empty()) return 1;
    unsigned pages = 0;
    while (renderers[pages % renderers.size()]->nextPage()) {
        auto& renderer = *renderers[pages % renderers.size()];
        ++pages;
        while (const auto rows = renderer.nextRows()) renderer.giveBack(*rows);
    }
    int status = 0;
    for (const auto& renderer : renderers) {
        const int ended = renderer->wait();
        if (ended != 0 || renderer->broken()) status = ended != 0 ? ended : 1;
    }
    std::fprintf(stderr, "%u pages, status %d\n", pages, status);
    return status == 0 ? 0 : 1;
}

int printCommand(int argc, char** argv) {
    const corvane::renderRequest request = letterRequest(argc, argv);
    // Ghostscript alone with the app's options, on its fastest 24-bit device
    // (the same pixels as the app's renderer draws).
    std::printf("gs\n-sDEVICE=ppmraw\n-sOutputFile=%%stdout\n");
    for (const auto& argument : corvane::ghostscriptArguments(request)) std::printf("%s\n", argument.c_str());
    return 0;
}

int usage() {
    std::fprintf(stderr,
                 "usage: appbench print --server URI --pid PID --format MIME [--jobs N] [--reset-peak]"
                 " [--cold] [--page-end BYTES] FILE\n"
                 "       appbench gs-command [--first N] [--last N] FILE\n"
                 "       appbench render [--shared] FILE\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    const std::string_view command(argv[1]);
    if (command == "gs-command") return printCommand(argc, argv);
    if (command == "render") return renderOnly(argc, argv);
    if (command != "print") return usage();
    printArguments args;
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg(argv[i]);
        const bool hasValue = i + 1 < argc;
        if (arg == "--server" && hasValue) args.server = argv[++i];
        else if (arg == "--pid" && hasValue) args.pid = std::stol(argv[++i]);
        else if (arg == "--format" && hasValue) args.format = argv[++i];
        else if (arg == "--jobs" && hasValue) args.jobs = static_cast<unsigned>(std::stoul(argv[++i]));
        else if (arg == "--page-end" && hasValue) args.pageEnd = std::stoull(argv[++i]);
        else if (arg == "--reset-peak") args.resetPeak = true;
        else if (arg == "--cold") args.cold = true;
        else if (!arg.starts_with("--")) args.file = argv[i];
        else return usage();
    }
    if (args.server.empty() || args.format.empty() || args.file.empty() || args.pid <= 0) return usage();
    try {
        return printJobs(args);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "appbench: %s\n", error.what());
        return 1;
    }
}
