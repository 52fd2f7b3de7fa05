// Printer streams read back with the independent inspector (pclinspect).
// Only for tests that link pclinspect_lib.
#pragma once

#include <gtest/gtest.h>

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "pclinspect/jobDecoder.h"

namespace corvane::test {

inline std::span<const std::uint8_t> asBytes(std::string_view s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// Decodes without keeping rasters: pages may declare billions of rows.
inline pclinspect::Job decodeLight(std::string_view stream) {
    pclinspect::DecodeOptions options;
    options.keepRasters = false;
    return pclinspect::decodeJob(asBytes(stream), options);
}

inline std::vector<pclinspect::PageRaster> decodedPages(std::string_view stream) {
    return pclinspect::decodeRasters(asBytes(stream));
}

// What `pclinspect --check` reports, one "offset: message" each. framingOnly
// leaves out rows that do not fit the declared raster, which a page whose
// header disagrees with its rows legitimately produces.
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
