#include "app/documents/bandProtocol.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <sys/socket.h>

namespace corvane::bands {

bool sendMessage(int socket, std::string_view text, std::span<const int> files) {
    std::string message(text);
    message += '\0';
    std::size_t done = 0;
    while (done < message.size()) {
        iovec data{message.data() + done, message.size() - done};
        msghdr header{};
        header.msg_iov = &data;
        header.msg_iovlen = 1;
        // The descriptors go with the message's first bytes.
        std::vector<char> control;
        if (done == 0 && !files.empty()) {
            control.resize(CMSG_SPACE(files.size_bytes()));
            header.msg_control = control.data();
            header.msg_controllen = control.size();
            cmsghdr* rights = CMSG_FIRSTHDR(&header);
            rights->cmsg_level = SOL_SOCKET;
            rights->cmsg_type = SCM_RIGHTS;
            rights->cmsg_len = CMSG_LEN(files.size_bytes());
            std::memcpy(CMSG_DATA(rights), files.data(), files.size_bytes());
        }
        const ssize_t sent = sendmsg(socket, &header, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        done += static_cast<std::size_t>(sent);
    }
    return true;
}

std::optional<std::string> receiveMessage(int socket, std::vector<int>* files) {
    // Byte by byte: the next message must stay in the socket. The messages
    // are a few dozen bytes, one per document.
    std::string text;
    for (;;) {
        char c = 0;
        iovec data{&c, 1};
        msghdr header{};
        header.msg_iov = &data;
        header.msg_iovlen = 1;
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * forkedEnds)];
        if (files) {
            header.msg_control = control;
            header.msg_controllen = sizeof control;
        }
        const ssize_t got = recvmsg(socket, &header, MSG_CMSG_CLOEXEC);
        if (got < 0 && errno == EINTR) continue;
        for (cmsghdr* part = files ? CMSG_FIRSTHDR(&header) : nullptr; part; part = CMSG_NXTHDR(&header, part)) {
            if (part->cmsg_level != SOL_SOCKET || part->cmsg_type != SCM_RIGHTS) continue;
            const std::size_t count = (part->cmsg_len - CMSG_LEN(0)) / sizeof(int);
            for (std::size_t i = 0; i < count; ++i) {
                int fd;
                std::memcpy(&fd, CMSG_DATA(part) + i * sizeof(int), sizeof fd);
                files->push_back(fd);
            }
        }
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
