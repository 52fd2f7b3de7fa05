#include "app/documents/renderedPages.h"

#include <span>

#include "app/documents/pageFit.h"

namespace corvane {

renderedPages::renderedPages(bands::pageSize job, unsigned bytesPerPixel, byteSink& output)
    : job(job), bytesPerPixel(bytesPerPixel), output(output),
      fitted(std::size_t{job.width} * bytesPerPixel, 0xFF) {}

void renderedPages::beginPage(std::uint32_t width) {
    body.reset();
    renderedBytes = std::size_t{width} * bytesPerPixel;
    body.emplace(pageGeometry{job.width, job.height, job.width * 3}, output);
}

void renderedPages::addRow(const std::uint8_t* pixels) {
    if (!body || rows().rowsDone() >= job.height) return;
    const std::span<const std::uint8_t> rendered(pixels, renderedBytes);
    // An RGB row at least as wide as the job's is sent from where it lies.
    if (bytesPerPixel == 3 && renderedBytes >= fitted.size()) {
        rows().addRow(rendered.first(fitted.size()));
        return;
    }
    fitRow(rendered, fitted);
    if (bytesPerPixel == 3) {
        rows().addRow(fitted);
        return;
    }
    expandGrayRow(fitted, rows().nextRow());
    rows().sendRow(std::size_t{job.width} * 3);
}

std::uint32_t renderedPages::endPage() {
    if (!body) return 0;
    if (rows().rowsDone() < job.height) {
        fitRow({}, fitted);
        renderedBytes = fitted.size();
        while (rows().rowsDone() < job.height) addRow(fitted.data());
    }
    const std::uint32_t done = rows().rowsDone();
    body.reset();
    return done;
}

}  // namespace corvane
