// A network printer stand-in for the app's tests: listens on a free port of
// 127.0.0.1, prints the port number, then takes one connection after the
// other, as a network printer does: their bytes are appended to FILE, or
// with -d each connection's bytes go to a file of its own, FOLDER/1.pcl,
// FOLDER/2.pcl, ... Runs until killed.
// Usage: tcpSink FILE | tcpSink -d FOLDER
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <string>
#include <string_view>
#include <utility>

namespace {

class fileDescriptor {
public:
    explicit fileDescriptor(int fd) : fd(fd) {}
    ~fileDescriptor() {
        if (fd >= 0) close(fd);
    }
    fileDescriptor(const fileDescriptor&) = delete;
    fileDescriptor& operator=(const fileDescriptor&) = delete;
    fileDescriptor(fileDescriptor&& other) noexcept : fd(std::exchange(other.fd, -1)) {}

    int get() const { return fd; }
    bool valid() const { return fd >= 0; }

private:
    int fd;
};

// A listening socket on 127.0.0.1 with a port the system picks.
fileDescriptor listenOnLoopback(in_port_t& port) {
    fileDescriptor listener(socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    auto* generic = reinterpret_cast<sockaddr*>(&address);
    if (!listener.valid() || bind(listener.get(), generic, length) != 0 ||
        listen(listener.get(), 4) != 0 || getsockname(listener.get(), generic, &length) != 0)
        return fileDescriptor(-1);
    port = ntohs(address.sin_port);
    return listener;
}

// Copies one connection to the output; false when the output fails.
bool copyConnection(int connection, int output) {
    std::array<char, 65536> buffer;
    for (;;) {
        const ssize_t got = read(connection, buffer.data(), buffer.size());
        if (got <= 0) return true;
        for (ssize_t done = 0; done < got;) {
            const ssize_t written = write(output, buffer.data() + done, static_cast<size_t>(got - done));
            if (written <= 0) return false;
            done += written;
        }
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    const bool perConnection = argc == 3 && std::string_view(argv[1]) == "-d";
    if (argc != 2 && !perConnection) {
        std::fprintf(stderr, "usage: tcpSink FILE | tcpSink -d FOLDER\n");
        return 2;
    }
    const fileDescriptor appended(perConnection ? -1 : open(argv[1], O_WRONLY | O_CREAT | O_APPEND | O_TRUNC, 0644));
    in_port_t port = 0;
    const fileDescriptor listener = listenOnLoopback(port);
    if ((!perConnection && !appended.valid()) || !listener.valid()) {
        std::perror("tcpSink");
        return 1;
    }
    std::printf("%u\n", static_cast<unsigned>(port));
    std::fflush(stdout);
    for (unsigned count = 1;; ++count) {
        const fileDescriptor connection(accept(listener.get(), nullptr, nullptr));
        if (!connection.valid()) continue;
        const std::string path = perConnection ? std::string(argv[2]) + "/" + std::to_string(count) + ".pcl" : "";
        const fileDescriptor own(perConnection ? open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644) : -1);
        const int output = perConnection ? own.get() : appended.get();
        if (output < 0 || !copyConnection(connection.get(), output)) return 1;
    }
}
