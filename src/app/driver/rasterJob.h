// One job's way from the driver's rows to the printer, without PAPPL: the
// encoder for the job's ticket writing to a byte sink, fed page by page.
// The job's first byte goes out with its first page, so a job refused
// before it sends nothing. Pages the printer does not take are refused
// before their first row, and a page whose rows stop early is ended cleanly
// and reported. Gray rows are expanded to RGB first, since the printer is
// always told 24-bit RGB. Collated copies are the pages sent again.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include <cups/raster.h>

#include "app/documents/pageFit.h"
#include "app/driver/pageCopies.h"
#include "app/driver/rasterLayout.h"
#include "encoder/byteSink.h"
#include "encoder/jobEncoder.h"

namespace corvane {

class rasterJob {
public:
    rasterJob(ticketRef ticket, byteSink& printer);
    rasterJob(const rasterJob&) = delete;
    rasterJob& operator=(const rasterJob&) = delete;

    // Collated copies: every page is kept in `spool` as it is sent, and the
    // job's pages go out `repeats` more times at its end.
    void repeatPages(std::unique_ptr<pageSpool> spool, int repeats);

    // Begins the page, or says why it is refused (a sentence for the job's
    // state message); nothing is sent for a refused page.
    std::optional<std::string> beginPage(const cups_page_header2_t& header);
    // The same for a page whose rows come already encoded (a pageBody of
    // the page's width and height, made elsewhere), through addEncodedRows.
    std::optional<std::string> beginEncodedPage(const cups_page_header2_t& header);
    void addEncodedRows(std::span<const std::uint8_t> bytes);
    // One row of the page, in the page's own layout; rows beyond the page's
    // height, or of a refused page, are ignored.
    void addRow(std::span<const std::uint8_t> row);
    // Ends the page on the printer; says so when rows were missing (the
    // document ended early).
    std::optional<std::string> endPage();
    // Ends the job: the repeated copies, each while `sendCopy()` agrees (a
    // job whose pages went wrong repeats none), then the printer reset and
    // the closing UEL. Says why copies could not be sent, if so.
    std::optional<std::string> end(const std::function<bool()>& sendCopy = {});
    unsigned pagesStarted() const { return pagesBegun; }

private:
    std::optional<std::string> beginPage(const cups_page_header2_t& header, bool rowsEncodedApart);

    recordingSink printer;
    jobEncoder encoder;
    std::optional<acceptedRaster> page;
    unsigned pagesBegun = 0;
    bool pagesWhole = true;
    std::unique_ptr<pageSpool> copies;
    int repeats = 0;
};

}  // namespace corvane
