// The encoder's printer bytes, written to a PAPPL device (socket, USB or
// file). The sink gathers them in a buffer of its own, which it also lends
// to the encoder so that rows are compressed in place: PAPPL's own device
// buffer is 8 KiB, so a compressed photographic row (up to 15 KiB) would
// otherwise be one system call of its own. flush() pushes everything to the
// printer.
#pragma once

#include <string>

#include <pappl/pappl.h>

#include "encoder/byteSink.h"
#include "encoder/lendingBuffer.h"

namespace corvane {

class deviceSink final : public byteSink {
public:
    explicit deviceSink(pappl_device_t* device) : device(device) {}

    using byteSink::write;
    void write(std::span<const std::uint8_t> bytes) override;
    void flush() override;
    std::span<std::uint8_t> reserve(std::size_t size) override;
    void commit(std::size_t size) override;

    // True once a write failed (the printer went away); later bytes are
    // dropped and the job should end.
    bool failed() const { return writeFailed; }

    // Bytes that go out just before the first bytes written here, if any
    // are (the app's opening PJL block: a job that sends nothing sends
    // nothing at all).
    void sendFirst(std::string bytes) { prologue = std::move(bytes); }
    // True once the first bytes (and so the prologue) went out.
    bool sentAnything() const { return anythingSent; }

private:
    void send(std::span<const std::uint8_t> bytes);
    auto sender() {
        return [this](std::span<const std::uint8_t> bytes) { send(bytes); };
    }

    pappl_device_t* device;
    lendingBuffer buffer{64 * 1024};
    bool writeFailed = false;
    bool anythingSent = false;
    std::string prologue;
};

}  // namespace corvane
