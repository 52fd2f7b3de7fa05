// The encoder's printer bytes, written to a PAPPL device (socket, USB or
// file). The sink gathers them in a buffer of its own, which it also lends
// to the encoder so that rows are compressed in place: PAPPL's own device
// buffer is 8 KiB, so a compressed photographic row (up to 15 KiB) would
// otherwise be one system call of its own. flush() pushes everything to the
// printer.
#pragma once

#include <memory>

#include <pappl/pappl.h>

#include "encoder/byteSink.h"

namespace corvane {

class deviceSink final : public byteSink {
public:
    explicit deviceSink(pappl_device_t* device);

    using byteSink::write;
    void write(std::span<const std::uint8_t> bytes) override;
    void flush() override;
    std::span<std::uint8_t> reserve(std::size_t size) override;
    void commit(std::size_t size) override;

    // True once a write failed (the printer went away); later bytes are
    // dropped and the job should end.
    bool failed() const { return writeFailed; }

private:
    static constexpr std::size_t capacity = 64 * 1024;
    void push();
    void send(std::span<const std::uint8_t> bytes);

    pappl_device_t* device;
    std::unique_ptr<std::uint8_t[]> buffer;
    std::size_t used = 0;
    bool writeFailed = false;
};

}  // namespace corvane
