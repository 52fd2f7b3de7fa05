// A fixed buffer in front of a byte sink's slow writer: small pieces are
// gathered, a piece as large as the buffer goes straight through, and the
// free end is lent out so that bytes can be made in place. The buffer never
// grows. `send` is the writer, called with what the buffer holds when it
// must make room, and with large pieces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>

namespace corvane {

class lendingBuffer {
public:
    explicit lendingBuffer(std::size_t capacity)
        : capacity(capacity), bytes(std::make_unique_for_overwrite<std::uint8_t[]>(capacity)) {}

    template <class Send>
    void write(std::span<const std::uint8_t> piece, Send&& send) {
        if (used + piece.size() > capacity) drain(send);
        if (piece.size() >= capacity) {
            send(piece);
            return;
        }
        if (!piece.empty()) std::memcpy(bytes.get() + used, piece.data(), piece.size());
        used += piece.size();
    }

    // Room for `size` bytes behind what the buffer holds, sent first when
    // the room does not fit; empty for more than the buffer holds.
    template <class Send>
    std::span<std::uint8_t> reserve(std::size_t size, Send&& send) {
        if (size > capacity) return {};
        if (used + size > capacity) drain(send);
        return {bytes.get() + used, size};
    }

    // The first `size` bytes of the room join what the buffer holds.
    std::span<const std::uint8_t> commit(std::size_t size) {
        const std::span<const std::uint8_t> made(bytes.get() + used, size);
        used += size;
        return made;
    }

    template <class Send>
    void drain(Send&& send) {
        if (used > 0) send(std::span<const std::uint8_t>(bytes.get(), used));
        used = 0;
    }

private:
    std::size_t capacity;
    std::unique_ptr<std::uint8_t[]> bytes;
    std::size_t used = 0;
};

}  // namespace corvane
