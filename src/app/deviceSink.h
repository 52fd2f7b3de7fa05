// The encoder's printer bytes, written to a PAPPL device (socket, USB or
// file). PAPPL buffers the writes; flush() pushes them to the printer.
#pragma once

#include <pappl/pappl.h>

#include "encoder/byteSink.h"

namespace corvane {

class deviceSink final : public byteSink {
public:
    explicit deviceSink(pappl_device_t* device) : device(device) {}

    using byteSink::write;
    void write(std::span<const std::uint8_t> bytes) override;
    void flush() override;

    // True once a write failed (the printer went away); later bytes are
    // dropped and the job should end.
    bool failed() const { return writeFailed; }

private:
    pappl_device_t* device;
    bool writeFailed = false;
};

}  // namespace corvane
