// The rendered pages of a job, encoded for the printer row by row as the
// renderer draws them. Every page takes the job's size in pixels: rows and
// columns beyond it are cut, missing ones are white. Gray rows are expanded
// to RGB. The bytes are those the driver sends for the same rows between a
// page's preamble and its end.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "app/documents/bandProtocol.h"
#include "encoder/byteSink.h"
#include "encoder/pageBody.h"

namespace corvane {

class renderedPages {
public:
    renderedPages(bands::pageSize job, unsigned bytesPerPixel, byteSink& output);

    // A page rendered `width` pixels wide; std::bad_alloc when the page's
    // rows cannot be stored.
    void beginPage(std::uint32_t width);
    // The page's next row: `width` pixels.
    void addRow(const std::uint8_t* pixels);
    // Fills the page with white rows to the job's height; the rows it has.
    std::uint32_t endPage();

private:
    rasterData& rows() { return body->rows(); }

    bands::pageSize job;
    unsigned bytesPerPixel;
    byteSink& output;
    std::size_t renderedBytes = 0;
    std::optional<pageBody> body;
    std::vector<std::uint8_t> fitted;  // a row cut or padded to the job's width
};

}  // namespace corvane
