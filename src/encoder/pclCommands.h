// The PCL generator of a job: every PCL command except the raster row data.
//
// Commands are built into a command block (pclBuffer) and each finished
// block goes out whole through writeCommands. Block-starting operations
// clear the buffer and end with writeCommands; contributing operations
// (copies, sources, paper size, media type, image configuration) only append
// to the block being built.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "encoder/argumentStore.h"
#include "encoder/pageGeometry.h"

namespace corvane {

class byteSink;

class pclCommands {
public:
    pclCommands(ticketRef ticketData, byteSink& output);

    // What the job preamble could not carry out.
    struct jobSettingsReport {
        // The custom size had no usable "WxH": no page size command was sent.
        bool customSizeUnusable = false;
    };
    // Job preamble, written once before the first page.
    jobSettingsReport createJobSettings();

    // Page frame. The preamble declares the page's raster size.
    void setPageHeader(const pageGeometry& page);
    void setPageEnder();
    void exitPCL();

    // Raster row commands.
    void setDeltaCompression();
    void setNoCompression();
    void sizeOfDataToSend(int count);
    void currentCursorPosition(int row);
    void sendDuplicateRow();
    void endRasterGraphics();

    // The cursor move to `row` (0 or more) and the transfer header for
    // `count` bytes (0 to 32767), as currentCursorPosition and
    // sizeOfDataToSend send them, written at the start of `buffer` for a row
    // made in the sink's room; each returns the bytes written, at most
    // maxCursorMove and maxTransferHeader.
    static std::size_t formatCursorMove(int row, std::span<std::uint8_t> buffer);
    static std::size_t formatTransferHeader(int count, std::span<std::uint8_t> buffer);
    static constexpr std::size_t maxCursorMove = 19;     // ESC*p0X ESC*p2147483647Y
    static constexpr std::size_t maxTransferHeader = 9;  // ESC*b32767W

    // Signed 16-bit value to decimal text in `buffer` (at least 7 bytes),
    // NUL-terminated; returns the number of characters before the NUL.
    static std::int16_t convertLengthToString(std::int16_t value, std::span<char> buffer);

    // Pages begun so far in the job.
    int pagesBegun() const { return pageCount; }
    // How many copies of the current page the printer is asked to make.
    int copiesOfCurrentPage() const;

    // The last command block, as written.
    std::span<const std::uint8_t> lastBlock() const { return pclBuffer; }

private:
    // Contributing operations.
    void setConfigImageData(int configuration);
    void setCopies();
    void jobCollated();
    void jobUnCollated();
    void setPaperSize(jobSettingsReport& report);
    void setCustomPaperSize(std::string_view value, jobSettingsReport& report);
    void setMediaType();
    void setPaperSource(const std::optional<std::string>& source);

    void startBlock(std::size_t capacity);
    void append(std::string_view text);
    void appendNumber(long long value);
    void writeCommands();

    ticketRef ticketData;
    byteSink& output;
    bool isEnvelope = false;
    bool isCollated = false;
    bool copiesSent = false;
    std::int32_t pageCount = 0;
    std::int32_t totalCopies = 0;
    std::vector<std::uint8_t> pclBuffer;
    std::optional<std::string> paperSource1;
    std::optional<std::string> paperSource2;
};

}  // namespace corvane
