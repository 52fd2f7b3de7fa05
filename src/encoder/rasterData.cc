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
      compressedCapacity(rasterCompress::maxCompressedSize(page.bytesPerLine)),
      compressed(std::make_unique_for_overwrite<std::uint8_t[]>(compressedCapacity)), row(rowStorage),
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
    if (bytes.size() >= row.size()) return send(bytes.first(row.size()), row.size(), false);
    if (!bytes.empty()) std::memcpy(row.data(), bytes.data(), bytes.size());
    return sendRow(bytes.size());
}

rasterData::rowResult rasterData::sendRow(std::size_t length) {
    // A short row leaves its end zero.
    if (length < row.size()) std::fill(row.begin() + static_cast<std::ptrdiff_t>(length), row.end(), 0);
    return send(row, length, true);
}

void rasterData::becomeSeed(std::span<const std::uint8_t> current, bool owned) {
    if (owned) std::swap(row, seed);
    else std::memcpy(seed.data(), current.data(), seed.size());
    seedIsZero = false;
}

rasterData::rowResult rasterData::send(std::span<const std::uint8_t> current, std::size_t length,
                                       bool owned) {
    const std::uint32_t index = rowIndex++;
    if (seedForgotten && !seedIsZero) {
        std::fill(seed.begin(), seed.end(), 0);
        seedIsZero = true;
    }

    if (isBlankRow(current)) {
        leaveOut();
        return rowResult::leftOut;
    }

    // Compress before anything is announced: a row too wide to transfer
    // must not leave a cursor move behind. Only the bytes the front end
    // filled are compressed or sent. Where the sink lends room, the delta
    // data is made there, behind room for the cursor move and the transfer
    // header, which saves copying it.
    const bool duplicate = rowsEqual(current, seed);
    const bool placeable = index <= static_cast<std::uint32_t>(INT32_MAX);
    std::span<std::uint8_t> room;
    std::size_t cursorLength = 0;
    std::size_t compressedSize = 0;
    if (!duplicate) {
        room = output.reserve(pclCommands::maxCursorMove + pclCommands::maxTransferHeader +
                              rasterCompress::maxCompressedSize(length));
        std::span<std::uint8_t> data(compressed.get(), compressedCapacity);
        if (!room.empty()) {
            if (skippedRows > 0 && placeable)
                cursorLength = pclCommands::formatCursorMove(static_cast<int>(index), room);
            data = room.subspan(cursorLength + pclCommands::maxTransferHeader);
        }
        compressedSize = compressor.deltaCompress(seed, current, static_cast<int>(length), data);
        if (compressedSize > maxTransferCount && length > maxTransferCount) {
            leaveOut();
            return rowResult::leftOutTooWide;
        }
    }
    const bool inPlace = !room.empty() && compressedSize <= maxTransferCount;

    if (skippedRows > 0) {
        // A cursor position is a signed 32-bit number: rows further down
        // than that cannot be placed, and such a page is cut there.
        if (!placeable) [[unlikely]]
            return rowResult::pageCut;
        if (!inPlace) pclControl.currentCursorPosition(static_cast<int>(index));
        skippedRows = 0;
    }
    if (duplicate) {
        pclControl.sendDuplicateRow();
    } else if (inPlace) {
        commitInPlace(room, cursorLength, compressedSize);
        becomeSeed(current, owned);
    } else if (compressedSize <= maxTransferCount) {
        pclControl.sizeOfDataToSend(static_cast<int>(compressedSize));
        sendData({compressed.get(), compressedSize});
        becomeSeed(current, owned);
    } else {
        // Delta data too long to announce, the row itself is not: send it
        // as it is.
        pclControl.setNoCompression();
        pclControl.sizeOfDataToSend(static_cast<int>(length));
        sendData(current.first(length));
        pclControl.setDeltaCompression();
        becomeSeed(current, owned);
    }
    seedForgotten = false;
    return rowResult::sent;
}

void rasterData::commitInPlace(std::span<std::uint8_t> room, std::size_t cursorLength,
                               std::size_t dataLength) {
    // The data was made after room for the longest transfer header; a
    // shorter one (a count below 10000) moves it down to close the gap.
    std::uint8_t header[pclCommands::maxTransferHeader];
    const std::size_t headerLength =
        pclCommands::formatTransferHeader(static_cast<int>(dataLength), header);
    std::uint8_t* const data = room.data() + cursorLength + headerLength;
    if (headerLength < pclCommands::maxTransferHeader)
        std::memmove(data, room.data() + cursorLength + pclCommands::maxTransferHeader, dataLength);
    std::memcpy(room.data() + cursorLength, header, headerLength);
    output.commit(cursorLength + headerLength + dataLength);
}

}  // namespace corvane
