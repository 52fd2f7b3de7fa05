// A whole job in-process: the input is "options\nraster bytes" (without a
// line feed, all raster). The raster arrives through an in-memory file, the
// printer stream goes to /dev/null, messages are discarded and the temporary
// directory does not exist, so no diagnostic file is ever written.
#include <cstddef>
#include <cstdint>
#include <fcntl.h>
#include <span>
#include <string>
#include <string_view>
#include <sys/mman.h>
#include <unistd.h>

#include "filter/diagnosticDirectory.h"
#include "filter/fileHandle.h"
#include "filter/filterJob.h"

// libcups callocs cupsBytesPerLine bytes (up to 4 GiB) when it reads a page
// header. Without sanitizers that memory is never touched and costs nothing;
// under ASan the allocation poisons its shadow and takes seconds. Refusing
// allocations above 256 MiB makes libcups refuse such headers instead, which
// keeps the harness fast; the filter's own limit (16 MiB per row) is far below.
extern "C" const char* __asan_default_options() {
    return "allocator_may_return_null=1:max_allocation_size_mb=256";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t lineEnd = input.find('\n');
    const bool hasOptions = lineEnd != std::string_view::npos;
    // Handed over as a C string: the options end at their first NUL, as an argument would.
    const std::string options(hasOptions ? input.substr(0, lineEnd) : std::string_view());
    const std::span<const std::uint8_t> raster(data + (hasOptions ? lineEnd + 1 : 0), hasOptions ? size - lineEnd - 1 : size);

    const corvane::fileHandle rasterFile(memfd_create("raster", MFD_CLOEXEC));
    const corvane::fileHandle printer(open("/dev/null", O_WRONLY | O_CLOEXEC));
    if (!rasterFile.isOpen() || !printer.isOpen()) return 0;
    if (!corvane::writeAll(rasterFile.get(), raster)) return 0;
    lseek(rasterFile.get(), 0, SEEK_SET);

    const char* const arguments[] = {"rastertocorvane", "1", "fuzz", "title", "1", options.c_str()};
    corvane::runFilterJob(arguments, {.rasterFd = rasterFile.get(), .printerFd = printer.get(), .messageFd = -1,
                                      .temporaryDirectory = "/nonexistent/corvane-fuzz"});
    return 0;
}
