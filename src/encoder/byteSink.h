// Where the encoder's printer bytes go. A front end implements it for its
// printer connection (standard output, a PAPPL device, a memory buffer in
// tests); the encoder calls it in stream order and never looks back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace corvane {

class byteSink {
public:
    virtual ~byteSink() = default;

    virtual void write(std::span<const std::uint8_t> bytes) = 0;
    // Bytes that only the printer needs (the escape run before the job);
    // sinks that keep a copy of the stream leave them out of it.
    virtual void writePrinterOnly(std::span<const std::uint8_t> bytes) { write(bytes); }
    // Called where the printer should have everything so far: after the PJL
    // header, after every page and at the end of the job.
    virtual void flush() = 0;

    // Room for the next `size` bytes of the stream inside the sink's own
    // buffer, so that they can be made in place instead of copied in; empty
    // when the sink has none to lend. Until commit() the caller writes
    // nothing else; what it does not commit is dropped.
    virtual std::span<std::uint8_t> reserve(std::size_t /*size*/) { return {}; }
    // The first `size` bytes of the room from reserve() join the stream.
    virtual void commit(std::size_t /*size*/) {}

    void write(std::string_view text) {
        write({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
    }
};

}  // namespace corvane
