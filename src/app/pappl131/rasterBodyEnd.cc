// A streamed raster job cut short. PAPPL reads a PWG or Apple raster job
// straight from the request with cupsRasterOpenIO(httpRead2, http). When
// the raster stops inside a page it keeps reading the missing rows; once the
// request's chunked body is over (the connection is then in
// HTTP_STATE_POST_SEND) each such read waits for another chunk header until
// libcups gives up after 60 seconds, so a truncated job held the printer for
// a minute (and was then called completed). This definition comes before
// libcups' for PAPPL (the program's own symbol wins): it opens such streams
// with a reader that says "no more data" once the body is over, and hands
// every other stream to libcups unchanged. It also keeps the stream's first
// bytes and whether the reader stopped before the body's end, so that a job
// PAPPL aborts on its first page header, or ends early at a later one, gets
// a reason (jobRuns.h, jobGuard::documentCutShort).
// Shown by tests/app/hostile.sh (truncated.pwg, garbage.pwg, badrow.pwg,
// junkheader.pwg). PAPPL 1.3.1 and 1.4.11 both have it.
#include <algorithm>
#include <dlfcn.h>

#include <cups/raster.h>

#include "app/pappl131/requestRaster.h"

namespace {

ssize_t readRequestBody(void* context, unsigned char* buffer, size_t length) {
    auto& stream = *static_cast<corvane::requestStream*>(context);
    if (httpGetState(stream.http) == HTTP_STATE_POST_SEND) return 0;
    const ssize_t got = httpRead2(stream.http, reinterpret_cast<char*>(buffer), length);
    if (got > 0 && stream.kept < stream.start.size()) {
        const std::size_t copied = std::min(static_cast<std::size_t>(got), stream.start.size() - stream.kept);
        std::copy_n(buffer, copied, stream.start.begin() + static_cast<std::ptrdiff_t>(stream.kept));
        stream.kept += copied;
    }
    return got;
}

using openFunction = cups_raster_t* (*)(cups_raster_iocb_t, void*, cups_mode_t);

}  // namespace

extern "C" cups_raster_t* cupsRasterOpenIO(cups_raster_iocb_t iocb, void* ctx, cups_mode_t mode) {
    const auto libcupsOpen = reinterpret_cast<openFunction>(dlsym(RTLD_NEXT, "cupsRasterOpenIO"));
    if (libcupsOpen == nullptr) return nullptr;
    const auto requestReader = reinterpret_cast<cups_raster_iocb_t>(&httpRead2);
    if (iocb != requestReader || mode != CUPS_RASTER_READ) return libcupsOpen(iocb, ctx, mode);
    corvane::requestStream& stream = corvane::threadRequestStream();
    stream.http = static_cast<http_t*>(ctx);
    stream.kept = 0;
    return libcupsOpen(readRequestBody, &stream, mode);
}
