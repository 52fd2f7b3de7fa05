// printersink: stands in for a network printer (a socket:// device) to see
// what a job sends. Listens on 127.0.0.1 at PORT, or at a free port when
// none is given, prints the port number, then takes one connection after
// the other, as a printer does, and keeps each one's bytes in a file of its
// own: FOLDER/1.pcl, FOLDER/2.pcl, ... Runs until killed.
// Usage: printersink FOLDER [PORT]
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "printersink/loopbackListener.h"

namespace {

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
    char* end = nullptr;
    const unsigned long given = argc == 3 ? std::strtoul(argv[2], &end, 10) : 0;
    if (argc < 2 || argc > 3 || (end != nullptr && (*end != '\0' || given > 65535))) {
        std::fprintf(stderr, "usage: printersink FOLDER [PORT]\n");
        return 2;
    }
    in_port_t port = static_cast<in_port_t>(given);
    const corvane::fileHandle listener = printersink::listenOnLoopback(port);
    if (!listener.isOpen()) {
        std::perror("printersink");
        return 1;
    }
    std::printf("%u\n", static_cast<unsigned>(port));
    std::fflush(stdout);
    for (unsigned count = 1;; ++count) {
        const corvane::fileHandle connection(accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (!connection.isOpen()) continue;
        const std::string path = std::string(argv[1]) + "/" + std::to_string(count) + ".pcl";
        const corvane::fileHandle output(open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        if (!output.isOpen() || !copyConnection(connection.get(), output.get())) {
            std::perror(path.c_str());
            return 1;
        }
    }
}
