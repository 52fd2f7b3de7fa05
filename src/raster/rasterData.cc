#include "raster/rasterData.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "diagnostics/errorLog.h"
#include "filter/jobControl.h"
#include "pcl/pclCommands.h"
#include "raster/rowTests.h"

namespace corvane {
namespace {

constexpr std::string_view allocationFailedLine =
    "ERROR: Cannot allocate memory space for temporary storage.\n";
constexpr std::string_view unreadableRowLine = "ERROR: Cannot read the line of print data.\n";

// libcups hands out version-1 headers through calls that CUPS 2.4 marks as
// deprecated; version-1 headers are what the filter is defined on.
unsigned readPixels(cups_raster_t* raster, std::uint8_t* buffer, unsigned length) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    return cupsRasterReadPixels(raster, buffer, length);
#pragma GCC diagnostic pop
}

// The working storage of one page, allocated once per page.
struct pageBuffers {
    explicit pageBuffers(std::size_t bytesPerLine)
        : row(bytesPerLine), seed(bytesPerLine, 0),
          compressed(rasterCompress::maxCompressedSize(bytesPerLine)) {}
    std::vector<std::uint8_t> row;         // the row just read
    std::vector<std::uint8_t> seed;        // the printer's seed row: last row sent, or zeros
    std::vector<std::uint8_t> compressed;  // the delta-row form of the row
};

}  // namespace

rasterData::rasterData(const cups_page_header_t* header, pclCommands& pclControl,
                       printerStream& output, const errorLog& errors, jobControl& control)
    : cupsPageHeader(header), pclControl(pclControl), output(output), errors(errors),
      control(control) {}

void rasterData::writeRasterData(std::span<const std::uint8_t> bytes) { output.write(bytes); }

void rasterData::rasterInDeltaCompression(cups_raster_t* raster) {
    const std::uint32_t bytesPerLine = cupsPageHeader->cupsBytesPerLine;
    std::optional<pageBuffers> buffers;
    if (bytesPerLine <= maxBytesPerLine) {
        try {
            buffers.emplace(bytesPerLine);
        } catch (const std::bad_alloc&) {
        }
    }
    if (!buffers) {
        errors.write(allocationFailedLine);
        // Skip the page's rows so that the next page header is read from
        // where it starts; rows longer than the limit are not touched, since
        // decoding them alone would cost gigabytes.
        if (bytesPerLine <= maxBytesPerLine) discardRows(raster);
        return;
    }
    // Views, so that the roles of the two buffers can swap without copying.
    std::span<std::uint8_t> row(buffers->row);
    std::span<std::uint8_t> seed(buffers->seed);

    pclControl.setDeltaCompression();

    const std::uint32_t height = cupsPageHeader->cupsHeight;
    // Unsigned like the row index: a page of four billion blank rows must not
    // overflow it.
    std::uint32_t skippedRows = 0;
    bool previousRowNotSent = false;
    bool seedIsZero = true;
    bool readFailed = false;
    bool tooWideReported = false;
    std::uint32_t unreadableRows = 0;

    for (std::uint32_t rowIndex = 0; rowIndex < height; ++rowIndex) {
        if (control.stopRequested()) break;
        if ((rowIndex & 255) == 0) control.status().rowsDone(rowIndex, height);

        // After the first failed read nothing more of this page is read: a
        // damaged stream can otherwise yield made-up rows.
        unsigned bytesRead = 0;
        if (!readFailed) {
            bytesRead = readPixels(raster, row.data(), bytesPerLine);
            readFailed = bytesRead == 0;
            if (readFailed && control.stopRequested()) break;  // cancelled while waiting
        }
        // The printer forgets its seed row when rows are skipped.
        if (previousRowNotSent && !seedIsZero) {
            std::fill(seed.begin(), seed.end(), 0);
            seedIsZero = true;
        }
        if (readFailed) {
            if (unreadableRows == unreadableRowLineLimit) {
                char line[112];
                std::snprintf(line, sizeof line,
                              "ERROR: Cannot read the remaining %u lines of print data.\n",
                              height - rowIndex);
                errors.write(line);
                break;
            }
            errors.write(unreadableRowLine);
            ++unreadableRows;
            ++skippedRows;
            previousRowNotSent = true;
            continue;
        }
        // A short read leaves the end of the row zero.
        if (bytesRead < bytesPerLine) std::fill(row.begin() + bytesRead, row.end(), 0);

        if (isBlankRow(row)) {
            ++skippedRows;
            previousRowNotSent = true;
            continue;
        }

        // Compress before anything is announced: a row too wide to transfer
        // must not leave a cursor move behind.
        const bool duplicate = rowsEqual(row, seed);
        std::size_t compressedSize = 0;
        if (!duplicate) {
            compressor.deltaCompress(seed, row, static_cast<int>(bytesRead), buffers->compressed,
                                     compressedSize);
            if (compressedSize > maxTransferCount && bytesRead > maxTransferCount) {
                if (!tooWideReported) {
                    char line[128];
                    std::snprintf(line, sizeof line,
                                  "ERROR: Page %d has rows too wide to send; they were left out.\n",
                                  pclControl.pagesBegun());
                    errors.write(line);
                    tooWideReported = true;
                }
                ++skippedRows;
                previousRowNotSent = true;
                continue;
            }
        }

        if (skippedRows > 0) {
            // A cursor position is a signed 32-bit number: rows further down
            // than that cannot be placed, and such a page is cut there.
            if (rowIndex > static_cast<std::uint32_t>(INT32_MAX)) [[unlikely]] {
                errors.write("ERROR: The page is too long; its rows beyond 2147483647 were left out.\n");
                break;
            }
            pclControl.currentCursorPosition(static_cast<int>(rowIndex));
            skippedRows = 0;
        }
        if (duplicate) {
            pclControl.sendDuplicateRow();
        } else if (compressedSize <= maxTransferCount) {
            pclControl.sizeOfDataToSend(static_cast<int>(compressedSize));
            writeRasterData(std::span(buffers->compressed).first(compressedSize));
            std::swap(row, seed);  // the row sent becomes the seed; its buffer takes the next row
            seedIsZero = false;
        } else {
            // Delta data too long to announce, the row itself is not: send it
            // as it is.
            pclControl.setNoCompression();
            pclControl.sizeOfDataToSend(static_cast<int>(bytesRead));
            writeRasterData(row.first(bytesRead));
            pclControl.setDeltaCompression();
            std::swap(row, seed);  // the row sent becomes the seed; its buffer takes the next row
            seedIsZero = false;
        }
        previousRowNotSent = false;
    }
}

void rasterData::discardRows(cups_raster_t* raster) {
    std::array<std::uint8_t, 4096> scratch;
    const std::uint32_t bytesPerLine = cupsPageHeader->cupsBytesPerLine;
    for (std::uint32_t rowIndex = 0; rowIndex < cupsPageHeader->cupsHeight; ++rowIndex) {
        for (std::uint32_t left = bytesPerLine; left > 0;) {
            if (control.stopRequested()) return;
            const unsigned chunk = std::min<std::uint32_t>(left, scratch.size());
            if (readPixels(raster, scratch.data(), chunk) == 0) return;
            left -= chunk;
        }
    }
}

}  // namespace corvane
