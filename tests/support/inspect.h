// Printer streams read back with the independent inspector (pclinspect).
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "pclinspect/jobDecoder.h"
#include "support/printerBytes.h"

namespace corvane::test {

// Decodes without keeping rasters: pages may declare billions of rows.
inline pclinspect::Job decodeLight(std::string_view stream) {
    return pclinspect::decodeJob(asBytes(stream), {.keepRasters = false, .onPage = {}});
}

inline std::vector<pclinspect::PageRaster> decodedPages(std::string_view stream) {
    return pclinspect::decodeRasters(asBytes(stream));
}

// "offset: message" for each problem. framingOnly leaves out rows outside the
// declared raster, which a page whose header disagrees with its rows produces.
inline std::vector<std::string> problems(std::string_view stream, bool framingOnly = false) {
    std::vector<std::string> found;
    for (const auto& problem : decodeLight(stream).problems) {
        using enum pclinspect::ProblemKind;
        if (framingOnly && (problem.kind == pastWidth || problem.kind == pastHeight)) continue;
        found.push_back(std::to_string(problem.offset) + ": " + problem.message);
    }
    return found;
}

// Every page started is ended; reset and UEL close the job.
inline void expectWellFramed(std::string_view stream, std::size_t pages) {
    const auto job = decodeLight(stream);
    EXPECT_EQ(problems(stream, true), std::vector<std::string>{});
    EXPECT_EQ(job.pages.size(), pages);
    for (const auto& page : job.pages) EXPECT_TRUE(page.ended) << "page " << page.number;
    EXPECT_TRUE(job.resetAtEnd && job.uelAtEnd);
}

}  // namespace corvane::test
