#include "app/rasterJob.h"

#include <algorithm>

namespace corvane {

void expandGrayRow(std::span<const std::uint8_t> gray, std::span<std::uint8_t> rgb) {
    const std::size_t pixels = std::min(gray.size(), rgb.size() / 3);
    for (std::size_t x = 0; x < pixels; ++x) rgb[3 * x] = rgb[3 * x + 1] = rgb[3 * x + 2] = gray[x];
}

rasterJob::rasterJob(ticketRef ticket, pappl_device_t* device)
    : sink(device), encoder(std::move(ticket), sink) {}

void rasterJob::begin() { encoder.beginJob(); }

void rasterJob::beginPage(const acceptedRaster& raster) {
    page = raster;
    encoder.beginPage({page.width, page.height, page.width * 3});
}

void rasterJob::addRow(std::span<const std::uint8_t> row) {
    rasterData* rows = encoder.rows();
    if (rows == nullptr || rows->rowsDone() >= page.height) return;
    if (page.layout == pixelLayout::rgb24) {
        rows->addRow(row.first(std::min<std::size_t>(row.size(), page.width * 3)));
        return;
    }
    const auto rgb = rows->nextRow();
    expandGrayRow(row.first(std::min<std::size_t>(row.size(), page.width)), rgb);
    rows->sendRow(std::min<std::size_t>(row.size(), page.width) * 3);
}

void rasterJob::endPage() { encoder.endPage(); }

void rasterJob::end() { encoder.endJob(); }

}  // namespace corvane
