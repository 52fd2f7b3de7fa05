// The raster stream as libcups reads it: bytes from a descriptor, read in
// large pieces, and no more once the job has been cancelled.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <sys/uio.h>
#include <sys/types.h>
#include <vector>

#include <cups/raster.h>

#include "filter/fileHandle.h"

namespace corvane {

class rasterInput {
public:
    explicit rasterInput(int fd);
    ~rasterInput();
    rasterInput(const rasterInput&) = delete;
    rasterInput& operator=(const rasterInput&) = delete;

    // The libcups reader on this input (null if libcups refuses); it lives
    // as long as this object.
    cups_raster_t* raster() const { return stream; }

private:
    // libcups's read callback.
    static ssize_t readBytes(void* context, unsigned char* buffer, std::size_t length);
    ssize_t read(unsigned char* buffer, std::size_t length);
    ssize_t readDescriptor(std::span<const iovec> pieces);
    ssize_t readOnce(std::span<const iovec> pieces);

    // libcups asks for one row (or one header) per call; serving those from
    // a larger buffer saves most of the system calls on a pipe.
    static constexpr std::size_t bufferSize = 64 * 1024;

    int fd;
    // When the input is a pipe, its pages are first moved (not copied) into
    // a pipe of our own and copied out of that one: the writer before us
    // then never waits for our copy, which holds the input pipe's lock.
    fileHandle ownPipeOut;
    fileHandle ownPipeIn;
    std::vector<std::uint8_t> buffer;
    std::size_t begin = 0;
    std::size_t end = 0;
    cups_raster_t* stream = nullptr;
};

}  // namespace corvane
