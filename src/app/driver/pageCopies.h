// Collated copies of a raster job. The printer's copy command makes each
// page's copies one after the other; for copies in document order the pages'
// bytes are kept in a spool file while the first copy goes to the printer,
// and sent again, whole, for every further copy. Raster jobs arrive as a
// stream, so the pages cannot be read twice from the client.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "encoder/byteSink.h"
#include "encoder/lendingBuffer.h"

namespace corvane {

// A temporary file with no name: it disappears with its descriptor.
class pageSpool {
public:
    // Opens the file in `folder` (the server's spool folder); see problem().
    explicit pageSpool(const std::string& folder);
    ~pageSpool();
    pageSpool(const pageSpool&) = delete;
    pageSpool& operator=(const pageSpool&) = delete;

    void append(std::span<const std::uint8_t> bytes);
    // Sends everything appended so far to `sink`; false after a failure.
    bool sendTo(byteSink& sink);
    // Empty while every step went through; else what failed, as a sentence.
    const std::string& problem() const { return failure; }

private:
    void fail(const char* what, int error);
    auto writer() {
        return [this](std::span<const std::uint8_t> bytes) { writeOut(bytes); };
    }
    void writeOut(std::span<const std::uint8_t> bytes);

    int fd = -1;
    lendingBuffer buffer{64 * 1024};
    std::string failure;
};

// The printer's byte sink, with a copy of what goes through it into a page
// spool while recording. Rows the encoder makes in the printer sink's room
// are copied from there when they are committed.
class recordingSink final : public byteSink {
public:
    explicit recordingSink(byteSink& printer) : printer(printer) {}

    // Starts (or, with null, stops) keeping a copy in `spool`.
    void record(pageSpool* spool) { recording = spool; }

    using byteSink::write;
    void write(std::span<const std::uint8_t> bytes) override;
    void writePrinterOnly(std::span<const std::uint8_t> bytes) override;
    void flush() override { printer.flush(); }
    std::span<std::uint8_t> reserve(std::size_t size) override;
    void commit(std::size_t size) override;

private:
    byteSink& printer;
    pageSpool* recording = nullptr;
    std::span<std::uint8_t> room;
};

}  // namespace corvane
