// The page transfer: takes the rows of one page in order and sends them to
// the printer, leaving out blank rows, repeating rows equal to the seed row
// and delta-row compressing all others. The front end pushes the rows; what
// could not be sent comes back as each row's result.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "encoder/pageGeometry.h"
#include "encoder/rasterCompress.h"

namespace corvane {

class byteSink;
class pclCommands;

class rasterData {
public:
    // Allocates the page's working storage (std::bad_alloc when it cannot,
    // or when a row is longer than maxBytesPerLine) and then selects delta
    // row compression on the printer.
    rasterData(const pageGeometry& page, pclCommands& pclControl, byteSink& output);

    enum class rowResult {
        sent,            // sent whole, as a repeat, or compressed
        leftOut,         // blank: the printer's cursor jumps over it
        leftOutTooWide,  // neither its delta data nor the row fits one transfer
        pageCut,         // beyond the last row a cursor move can reach: end the page
    };

    // Storage for the next row, bytesPerLine long: fill it and call sendRow,
    // which saves copying a row the front end reads itself.
    std::span<std::uint8_t> nextRow() { return row; }
    // Sends the row in nextRow(), whose first `length` bytes were filled
    // (at most bytesPerLine); the rest of the row counts as zero.
    rowResult sendRow(std::size_t length);
    // Sends `row` (at most bytesPerLine bytes; a shorter one counts as
    // ending in zeros). A whole row is read where it is and copied only
    // when it becomes the seed, not when it is blank or repeated.
    rowResult addRow(std::span<const std::uint8_t> row);
    // The next row could not be had: it is left out like a blank row.
    void missingRow();

    // Rows taken so far.
    std::uint32_t rowsDone() const { return rowIndex; }

    // Rows longer than this are refused before anything is allocated: no
    // real page needs them and libcups 2.5 refuses them too.
    static constexpr std::uint32_t maxBytesPerLine = 16u * 1024 * 1024;
    // The largest byte count one transfer can announce.
    static constexpr std::size_t maxTransferCount = 32767;

private:
    // Sends `current`, the first `length` bytes of which count; `owned`
    // when it is this object's row buffer (then it swaps with the seed's).
    rowResult send(std::span<const std::uint8_t> current, std::size_t length, bool owned);
    void becomeSeed(std::span<const std::uint8_t> current, bool owned);
    void leaveOut();
    void sendData(std::span<const std::uint8_t> bytes);
    // Puts the transfer header between the cursor move (`cursorLength`
    // bytes, or none) and the delta data made in the sink's room, and hands
    // the room over.
    void commitInPlace(std::span<std::uint8_t> room, std::size_t cursorLength,
                       std::size_t dataLength);

    pclCommands& pclControl;
    byteSink& output;
    rasterCompress compressor;

    // Views on two buffers whose roles swap after a row is sent: the row
    // sent becomes the seed, and the old seed's buffer takes the next row.
    std::vector<std::uint8_t> rowStorage;
    std::vector<std::uint8_t> seedStorage;
    // Delta data for sinks that lend no room; untouched (no memory in use)
    // where they do.
    std::size_t compressedCapacity;
    std::unique_ptr<std::uint8_t[]> compressed;
    std::span<std::uint8_t> row;
    std::span<std::uint8_t> seed;

    std::uint32_t rowIndex = 0;
    // Rows left out since the last row sent; the next row sent is preceded
    // by a cursor move to its place.
    std::uint32_t skippedRows = 0;
    // The printer forgets its seed row when rows are left out, so the seed
    // is cleared before the next row is compared with it.
    bool seedForgotten = false;
    bool seedIsZero = true;
};

}  // namespace corvane
