// The streamed raster request a thread reads: PAPPL reads a PWG or Apple
// raster job straight from the client's request, on the client's thread,
// and the program's own cupsRasterOpenIO (rasterBodyEnd.cc) routes those
// reads through here.
#pragma once

#include <array>
#include <cstddef>
#include <span>

#include <cups/cups.h>

#include "app/pappl131/rasterStartCheck.h"

namespace corvane {

struct requestStream {
    http_t* http = nullptr;
    std::array<unsigned char, rasterStartSize> start{};  // the stream's first bytes
    std::size_t kept = 0;
};

// The calling thread's stream: a thread reads one request at a time, and
// the stream lives as long as the thread, so it outlives the raster reader.
requestStream& threadRequestStream();

// The first bytes of the last raster stream this thread opened.
std::span<const unsigned char> requestRasterStart();

// Whether the raster stream this thread reads stopped before the end of its
// request: the raster reader gave up on a page header with data after it.
bool requestRasterLeftUnread();

}  // namespace corvane
