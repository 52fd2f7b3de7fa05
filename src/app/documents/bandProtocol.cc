#include "app/documents/bandProtocol.h"

#include <cerrno>
#include <charconv>
#include <sys/socket.h>

namespace corvane::bands {

bool sendMessage(int socket, std::string_view text) {
    std::string message(text);
    message += '\0';
    std::size_t done = 0;
    while (done < message.size()) {
        const ssize_t sent = send(socket, message.data() + done, message.size() - done, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        done += static_cast<std::size_t>(sent);
    }
    return true;
}

std::optional<std::string> receiveMessage(int socket) {
    // Byte by byte: the next message must stay in the socket. The messages
    // are a few dozen bytes, one per document.
    std::string text;
    for (;;) {
        char c = 0;
        const ssize_t got = recv(socket, &c, 1, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return std::nullopt;
        if (c == '\0') return text;
        text += c;
    }
}

std::string toText(pageSize size) { return std::to_string(size.width) + " " + std::to_string(size.height); }

std::optional<pageSize> parsePageSize(std::string_view text) {
    pageSize size;
    const char* const end = text.data() + text.size();
    const auto width = std::from_chars(text.data(), end, size.width);
    if (width.ec != std::errc{} || width.ptr == end || *width.ptr != ' ') return std::nullopt;
    const auto height = std::from_chars(width.ptr + 1, end, size.height);
    if (height.ec != std::errc{} || height.ptr != end || size.width == 0 || size.height == 0) return std::nullopt;
    return size;
}

}  // namespace corvane::bands
