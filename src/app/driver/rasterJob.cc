#include "app/driver/rasterJob.h"

#include <algorithm>
#include <cstdio>
#include <variant>

namespace corvane {

rasterJob::rasterJob(ticketRef ticket, byteSink& printer)
    : printer(printer), encoder(std::move(ticket), this->printer) {}

void rasterJob::repeatPages(std::unique_ptr<pageSpool> spool, int times) {
    copies = std::move(spool);
    repeats = times;
}

std::optional<std::string> rasterJob::beginPage(const cups_page_header2_t& header) {
    return beginPage(header, false);
}

std::optional<std::string> rasterJob::beginEncodedPage(const cups_page_header2_t& header) {
    return beginPage(header, true);
}

std::optional<std::string> rasterJob::beginPage(const cups_page_header2_t& header, bool rowsEncodedApart) {
    page.reset();
    const auto checked = checkRaster(header);
    if (const auto* refusal = std::get_if<std::string>(&checked)) {
        pagesWhole = false;
        return *refusal;
    }
    page = std::get<acceptedRaster>(checked);
    if (pagesBegun++ == 0) {
        encoder.beginJob();
        encoder.writeJobSettings();
        // What follows the job preamble, up to the job's end, is its pages.
        if (copies && repeats > 0) printer.record(copies.get());
    }
    encoder.beginPage({page->width, page->height, page->width * 3}, rowsEncodedApart);
    return std::nullopt;
}

void rasterJob::addEncodedRows(std::span<const std::uint8_t> bytes) {
    if (page) encoder.writeEncodedRows(bytes);
}

void rasterJob::addRow(std::span<const std::uint8_t> row) {
    rasterData* rows = encoder.rows();
    if (!page || rows == nullptr || rows->rowsDone() >= page->height) return;
    if (page->layout == pixelLayout::rgb24) {
        rows->addRow(row.first(std::min<std::size_t>(row.size(), page->width * 3)));
        return;
    }
    const auto rgb = rows->nextRow();
    const std::size_t pixels = std::min<std::size_t>(row.size(), page->width);
    expandGrayRow(row.first(pixels), rgb);
    rows->sendRow(pixels * 3);
}

std::optional<std::string> rasterJob::endPage() {
    if (!page) return std::nullopt;
    const rasterData* rows = encoder.rows();
    const std::uint32_t received = rows ? rows->rowsDone() : page->height;
    const std::uint32_t expected = page->height;
    encoder.endPage();
    page.reset();
    if (received >= expected) return std::nullopt;
    pagesWhole = false;
    char text[160];
    std::snprintf(text, sizeof text,
                  "The document ended early: page %u has %u of its %u rows.", pagesBegun,
                  static_cast<unsigned>(received), static_cast<unsigned>(expected));
    return text;
}

std::optional<std::string> rasterJob::end(const std::function<bool()>& sendCopy) {
    if (pagesBegun == 0) return std::nullopt;
    printer.record(nullptr);
    std::optional<std::string> problem;
    if (copies && pagesWhole) {
        for (int copy = 1; copy <= repeats && (!sendCopy || sendCopy()); ++copy) {
            if (copies->sendTo(printer)) continue;
            problem = copies->problem() + " " + std::to_string(copy) + " of " + std::to_string(repeats + 1) +
                      " copies were printed whole.";
            break;
        }
        printer.flush();
    }
    encoder.endJob();
    return problem;
}

}  // namespace corvane
