// printersink: stands in for a PJL network printer (a socket:// device).
// Listens on 127.0.0.1 at PORT, or at a free port when none is given, and
// prints the port number; then takes one connection after the other, as a
// printer does. Each connection that carries print data is kept whole in a
// file of its own, FOLDER/1.pcl, FOLDER/2.pcl, ...; connections that only
// ask questions leave no file. It prints the pages it receives (one each
// --page-ms milliseconds, default 0) and answers as a PJL printer
// (printerModel.h): status, page count, echo, and the unsolicited status,
// job and page reports a host switches on.
//
// A second port, printed on the next line, takes control commands, one per
// line, each answered with one line ("ok", or the state): jam-at K, jam,
// paper-out, door-open, offline, toner-low, ready, silent on|off, flood N,
// state. For example:  echo jam-at 3 >/dev/tcp/127.0.0.1/CONTROL-PORT
//
// Usage: printersink FOLDER [PORT] [--page-ms N] [--spaced] [--silent] [--trickle]
//   --spaced   replies as "KEY = value" lines ending in a bare line feed
//   --silent   a one-way printer: reads everything, answers nothing
//   --trickle  sends replies one byte at a time
// Runs until killed.
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <list>
#include <optional>
#include <string>
#include <vector>

#include "printersink/loopbackListener.h"
#include "printersink/printerModel.h"

namespace {

using printersink::clock;
using corvane::fileHandle;

struct options {
    std::string folder;
    in_port_t port = 0;
    printersink::printerModel::settings printer;
    bool trickle = false;
};

bool parse(int argc, char* argv[], options& given) {
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--spaced") given.printer.spaced = true;
        else if (argument == "--silent") given.printer.silent = true;
        else if (argument == "--trickle") given.trickle = true;
        else if (argument == "--page-ms" && i + 1 < argc) given.printer.pageTime = std::chrono::milliseconds(std::atol(argv[++i]));
        else if (argument.starts_with("--")) return false;
        else words.push_back(argument);
    }
    if (words.empty() || words.size() > 2) return false;
    given.folder = words[0];
    if (words.size() == 2) {
        char* end = nullptr;
        const unsigned long port = std::strtoul(words[1].c_str(), &end, 10);
        if (*end != '\0' || port > 65535) return false;
        given.port = static_cast<in_port_t>(port);
    }
    return true;
}

bool writeAll(int fd, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t done = write(fd, bytes, size);
        if (done <= 0) return false;
        bytes += done;
        size -= static_cast<std::size_t>(done);
    }
    return true;
}

// The connection being served: its bytes go to a file once it carries
// print data; until then they are held here.
struct hostConnection {
    fileHandle socket;
    fileHandle output;
    std::string held;
};

struct controlConnection {
    fileHandle socket;
    std::string line;
};

class standIn {
public:
    explicit standIn(const options& given) : given(given), printer(given.printer) {}

    int run(const fileHandle& listener, const fileHandle& controls) {
        for (;;) {
            std::vector<pollfd> wanted;
            wanted.push_back({host ? -1 : listener.get(), POLLIN, 0});
            wanted.push_back({controls.get(), POLLIN, 0});
            short hostEvents = 0;
            if (host && printer.takesData()) hostEvents |= POLLIN;
            if (host && !printer.replies.empty()) hostEvents |= POLLOUT;
            wanted.push_back({host ? host->socket.get() : -1, hostEvents, 0});
            for (const auto& control : controlled) wanted.push_back({control.socket.get(), POLLIN, 0});
            if (poll(wanted.data(), wanted.size(), timeout()) < 0 && errno != EINTR) return 1;
            const auto now = clock::now();
            printer.advance(now);
            if (wanted[0].revents & POLLIN) accept(listener);
            if (wanted[1].revents & POLLIN) acceptControl(controls);
            if (host && (wanted[2].revents & POLLOUT)) sendReplies();
            if (host && (wanted[2].revents & (POLLIN | POLLHUP | POLLERR)) && !readHost(now)) return 1;
            auto at = controlled.begin();
            for (std::size_t i = 3; i < wanted.size(); ++i, ++at)
                if (wanted[i].revents & (POLLIN | POLLHUP | POLLERR)) readControl(*at, now);
            controlled.remove_if([](const controlConnection& c) { return !c.socket.isOpen(); });
        }
    }

private:
    int timeout() const {
        if (host && given.trickle && !printer.replies.empty()) return 1;
        const auto next = printer.nextEvent();
        if (!next) return -1;
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*next - clock::now()).count();
        return static_cast<int>(std::clamp<long long>(wait, 0, 60'000));
    }

    void accept(const fileHandle& listener) {
        fileHandle socket(accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
        if (!socket.isOpen()) return;
        host.emplace(hostConnection{std::move(socket), fileHandle(), {}});
        printer.connectionOpened();
    }

    void sendReplies() {
        std::string& out = printer.replies;
        const std::size_t size = given.trickle ? 1 : out.size();
        const ssize_t sent = send(host->socket.get(), out.data(), size, MSG_NOSIGNAL);
        if (sent > 0) out.erase(0, static_cast<std::size_t>(sent));
    }

    // False when the output file cannot be written.
    bool readHost(clock::time_point now) {
        std::array<char, 65536> buffer;
        const ssize_t got = read(host->socket.get(), buffer.data(), buffer.size());
        if (got < 0 && (errno == EAGAIN || errno == EINTR)) return true;
        if (got <= 0) {
            printer.connectionClosed();
            printer.replies.clear();
            host.reset();
            return true;
        }
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(buffer.data());
        printer.receive({bytes, static_cast<std::size_t>(got)}, now);
        if (host->output.isOpen()) return writeAll(host->output.get(), buffer.data(), static_cast<std::size_t>(got));
        host->held.append(buffer.data(), static_cast<std::size_t>(got));
        if (!printer.printData()) return true;
        const std::string path = given.folder + "/" + std::to_string(++printConnections) + ".pcl";
        host->output = fileHandle(open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        if (!host->output.isOpen() || !writeAll(host->output.get(), host->held.data(), host->held.size())) {
            std::perror(path.c_str());
            return false;
        }
        host->held.clear();
        return true;
    }

    void acceptControl(const fileHandle& controls) {
        fileHandle socket(accept4(controls.get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (socket.isOpen()) controlled.push_back({std::move(socket), {}});
    }

    void readControl(controlConnection& control, clock::time_point now) {
        std::array<char, 1024> buffer;
        const ssize_t got = read(control.socket.get(), buffer.data(), buffer.size());
        if (got <= 0) {
            control.socket = fileHandle();
            return;
        }
        control.line.append(buffer.data(), static_cast<std::size_t>(got));
        for (std::size_t end; (end = control.line.find('\n')) != std::string::npos;) {
            const std::string answer = printer.control(control.line.substr(0, end), now) + "\n";
            control.line.erase(0, end + 1);
            writeAll(control.socket.get(), answer.data(), answer.size());
        }
    }

    const options& given;
    printersink::printerModel printer;
    std::optional<hostConnection> host;
    std::list<controlConnection> controlled;
    unsigned printConnections = 0;
};

}  // namespace

int main(int argc, char* argv[]) {
    options given;
    if (!parse(argc, argv, given)) {
        std::fprintf(stderr, "usage: printersink FOLDER [PORT] [--page-ms N] [--spaced] [--silent] [--trickle]\n");
        return 2;
    }
    in_port_t port = given.port, controlPort = 0;
    const fileHandle listener = printersink::listenOnLoopback(port);
    const fileHandle controls = printersink::listenOnLoopback(controlPort);
    if (!listener.isOpen() || !controls.isOpen()) {
        std::perror("printersink");
        return 1;
    }
    std::printf("%u\n%u\n", static_cast<unsigned>(port), static_cast<unsigned>(controlPort));
    std::fflush(stdout);
    standIn printer(given);
    return printer.run(listener, controls);
}
