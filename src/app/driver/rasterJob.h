// One job's way from the driver's rows to the printer, without PAPPL: the
// encoder for the job's ticket writing to a byte sink, fed page by page.
// Pages the printer does not take are refused before their first row, and a
// page whose rows stop early is ended cleanly and reported. Gray rows are
// expanded to RGB first, since the printer is always told 24-bit RGB.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include <cups/raster.h>

#include "app/driver/rasterLayout.h"
#include "encoder/byteSink.h"
#include "encoder/jobEncoder.h"

namespace corvane {

class rasterJob {
public:
    rasterJob(ticketRef ticket, byteSink& printer);
    rasterJob(const rasterJob&) = delete;
    rasterJob& operator=(const rasterJob&) = delete;

    void begin();
    // Begins the page, or says why it is refused (a sentence for the job's
    // state message); nothing is sent for a refused page.
    std::optional<std::string> beginPage(const cups_page_header2_t& header);
    // One row of the page, in the page's own layout; rows beyond the page's
    // height, or of a refused page, are ignored.
    void addRow(std::span<const std::uint8_t> row);
    // Ends the page on the printer; says so when rows were missing (the
    // document ended early).
    std::optional<std::string> endPage();
    void end();
    unsigned pagesStarted() const { return pagesBegun; }

private:
    jobEncoder encoder;
    std::optional<acceptedRaster> page;
    unsigned pagesBegun = 0;
};

// Expands a gray row to RGB: every byte becomes three equal bytes.
void expandGrayRow(std::span<const std::uint8_t> gray, std::span<std::uint8_t> rgb);

}  // namespace corvane
