#include "app/driver/rasterJob.h"

#include <algorithm>
#include <cstdio>
#include <variant>

namespace corvane {

void expandGrayRow(std::span<const std::uint8_t> gray, std::span<std::uint8_t> rgb) {
    const std::size_t pixels = std::min(gray.size(), rgb.size() / 3);
    for (std::size_t x = 0; x < pixels; ++x) rgb[3 * x] = rgb[3 * x + 1] = rgb[3 * x + 2] = gray[x];
}

rasterJob::rasterJob(ticketRef ticket, byteSink& printer) : encoder(std::move(ticket), printer) {}

void rasterJob::begin() { encoder.beginJob(); }

std::optional<std::string> rasterJob::beginPage(const cups_page_header2_t& header) {
    page.reset();
    const auto checked = checkRaster(header);
    if (const auto* refusal = std::get_if<std::string>(&checked)) return *refusal;
    page = std::get<acceptedRaster>(checked);
    ++pagesBegun;
    encoder.beginPage({page->width, page->height, page->width * 3});
    return std::nullopt;
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
    char text[160];
    std::snprintf(text, sizeof text,
                  "The document ended early: page %u has %u of its %u rows.", pagesBegun,
                  static_cast<unsigned>(received), static_cast<unsigned>(expected));
    return text;
}

void rasterJob::end() { encoder.endJob(); }

}  // namespace corvane
