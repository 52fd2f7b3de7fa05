#include "encoder/rasterData.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

#include "encoder/byteSink.h"
#include "encoder/pclCommands.h"
#include "encoder/rowTests.h"

namespace corvane {
namespace {

std::size_t checkedRowLength(const pageGeometry& page) {
    if (page.bytesPerLine > rasterData::maxBytesPerLine) throw std::bad_alloc();
    return page.bytesPerLine;
}

}  // namespace

rasterData::rasterData(const pageGeometry& page, pclCommands& pclControl, byteSink& output)
    : pclControl(pclControl), output(output), rowStorage(checkedRowLength(page)),
      seedStorage(page.bytesPerLine, 0),
      compressed(rasterCompress::maxCompressedSize(page.bytesPerLine)), row(rowStorage),
      seed(seedStorage) {
    pclControl.setDeltaCompression();
}

void rasterData::sendData(std::span<const std::uint8_t> bytes) { output.write(bytes); }

void rasterData::leaveOut() {
    ++skippedRows;
    seedForgotten = true;
}

void rasterData::missingRow() {
    ++rowIndex;
    leaveOut();
}

rasterData::rowResult rasterData::addRow(std::span<const std::uint8_t> bytes) {
    const std::size_t length = std::min(bytes.size(), row.size());
    if (length > 0) std::memcpy(row.data(), bytes.data(), length);
    return sendRow(length);
}

rasterData::rowResult rasterData::sendRow(std::size_t length) {
    const std::uint32_t index = rowIndex++;
    if (seedForgotten && !seedIsZero) {
        std::fill(seed.begin(), seed.end(), 0);
        seedIsZero = true;
    }
    // A short row leaves its end zero.
    if (length < row.size()) std::fill(row.begin() + static_cast<std::ptrdiff_t>(length), row.end(), 0);

    if (isBlankRow(row)) {
        leaveOut();
        return rowResult::leftOut;
    }

    // Compress before anything is announced: a row too wide to transfer
    // must not leave a cursor move behind. Only the bytes the front end
    // filled are compressed or sent.
    const bool duplicate = rowsEqual(row, seed);
    std::size_t compressedSize = 0;
    if (!duplicate) {
        compressedSize = compressor.deltaCompress(seed, row, static_cast<int>(length), compressed);
        if (compressedSize > maxTransferCount && length > maxTransferCount) {
            leaveOut();
            return rowResult::leftOutTooWide;
        }
    }

    if (skippedRows > 0) {
        // A cursor position is a signed 32-bit number: rows further down
        // than that cannot be placed, and such a page is cut there.
        if (index > static_cast<std::uint32_t>(INT32_MAX)) [[unlikely]]
            return rowResult::pageCut;
        pclControl.currentCursorPosition(static_cast<int>(index));
        skippedRows = 0;
    }
    if (duplicate) {
        pclControl.sendDuplicateRow();
    } else if (compressedSize <= maxTransferCount) {
        pclControl.sizeOfDataToSend(static_cast<int>(compressedSize));
        sendData(std::span(compressed).first(compressedSize));
        std::swap(row, seed);
        seedIsZero = false;
    } else {
        // Delta data too long to announce, the row itself is not: send it
        // as it is.
        pclControl.setNoCompression();
        pclControl.sizeOfDataToSend(static_cast<int>(length));
        sendData(row.first(length));
        pclControl.setDeltaCompression();
        std::swap(row, seed);
        seedIsZero = false;
    }
    seedForgotten = false;
    return rowResult::sent;
}

}  // namespace corvane
