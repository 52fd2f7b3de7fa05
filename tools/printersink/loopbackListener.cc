#include "printersink/loopbackListener.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

namespace printersink {

corvane::fileHandle listenOnLoopback(in_port_t& port) {
    corvane::fileHandle listener(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    // A port given again after an earlier listener on it stopped.
    const int reuse = 1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    socklen_t length = sizeof address;
    auto* generic = reinterpret_cast<sockaddr*>(&address);
    if (!listener.isOpen() || setsockopt(listener.get(), SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse) != 0 ||
        bind(listener.get(), generic, length) != 0 || listen(listener.get(), 4) != 0 ||
        getsockname(listener.get(), generic, &length) != 0)
        return corvane::fileHandle();
    port = ntohs(address.sin_port);
    return listener;
}

}  // namespace printersink
