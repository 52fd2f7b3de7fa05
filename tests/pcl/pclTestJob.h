// A PCL generator on captured output, with a page header the test controls.
#pragma once

#include <memory>
#include <string>

#include "encoder/pclCommands.h"
#include "support/capture.h"

namespace corvane::test {

struct pclTestJob {
    explicit pclTestJob(const char* options, unsigned width = 4, unsigned height = 2)
        : pcl(std::make_shared<const argumentStore>(options), job.diagnostics, job.output,
              job.errors) {
        header.cupsWidth = width;
        header.cupsHeight = height;
        header.cupsBytesPerLine = 3 * width;
    }

    // The job preamble block.
    std::string preamble() {
        pcl.createJobSettings(&header);
        return job.printed();
    }
    // The page preamble block of the next page.
    std::string nextPage() {
        pcl.setPageHeader();
        return job.printed();
    }

    capturedJob job;
    cups_page_header_t header{};
    pclCommands pcl;
};

// The fixed part of every page preamble for a page of the given size.
inline std::string pageFrame(unsigned width, unsigned height) {
    return std::string("\x1b*p0Y\x1b*p0P\x1b*v6W\x00\x03\x00\x08\x08\x08\x1b*r1A", 26) + "\x1b*r" +
           std::to_string(height) + "t" + std::to_string(width) + "S";
}

}  // namespace corvane::test
