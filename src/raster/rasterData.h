// The page transfer: moves the rows of one page from the raster stream to the
// printer, leaving out blank rows, repeating rows equal to the seed row and
// delta-row compressing all others.
#pragma once

#include <cstdint>
#include <span>

#include <cups/raster.h>

#include "raster/rasterCompress.h"

namespace corvane {

class errorLog;
class jobControl;
class pclCommands;
class printerStream;

class rasterData {
public:
    rasterData(const cups_page_header_t* header, pclCommands& pclControl, printerStream& output,
               const errorLog& errors, jobControl& control);

    // Reads and sends every row of the page.
    void rasterInDeltaCompression(cups_raster_t* raster);

    // Rows longer than this are refused before anything is allocated: no
    // real page needs them and libcups 2.5 refuses them too.
    static constexpr std::uint32_t maxBytesPerLine = 16u * 1024 * 1024;
    // Unreadable rows each get their own error line up to this many per page.
    static constexpr std::uint32_t unreadableRowLineLimit = 60000;
    // The largest byte count one transfer can announce.
    static constexpr std::size_t maxTransferCount = 32767;

private:
    void writeRasterData(std::span<const std::uint8_t> bytes);
    void discardRows(cups_raster_t* raster);

    const cups_page_header_t* cupsPageHeader;
    pclCommands& pclControl;
    printerStream& output;
    const errorLog& errors;
    jobControl& control;
    rasterCompress compressor;
};

}  // namespace corvane
