// Interprets a tokenized printer stream the way a PJL/PCL 5 printer would:
// tracks job settings, pages, raster graphics state and the seed row, and
// rebuilds every page's raster. Pure: bytes in, a Job description out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "pclinspect/tokenizer.h"

namespace pclinspect {

enum class ProblemKind {
    malformedEscape,      // ESC that starts no valid sequence, or a cut-off one
    unknownEscape,        // well-formed, but not a command this stream should hold
    strayData,            // bytes outside any command
    rowOutsideRaster,     // raster row transfer with raster graphics not started
    truncatedData,        // a data count runs past the end of the stream
    pastWidth,            // a row writes beyond the declared raster width
    pastHeight,           // a row lands below the declared raster height
    badCompression,       // a compression method this reader does not decode, or bad delta data
    pageWithoutEnd,       // page content not closed by ESC*rC and a form feed
    missingReset,         // no ESC E after the last page
    missingUel,           // no UEL before the PJL header or at the end of the job
    pjlProblem,           // PJL line without line feed, PCL without ENTER LANGUAGE
};

struct Problem {
    std::size_t offset = 0;
    ProblemKind kind = ProblemKind::malformedEscape;
    std::string message;
};

// The raster of one page as declared by ESC*r#T (height) and ESC*r#S (width).
// Rows that were never transferred are white (every byte 0xFF): the stream
// leaves out exactly the rows that were blank in the filter's input.
struct PageRaster {
    unsigned width = 0;          // pixels
    unsigned height = 0;         // rows
    unsigned bitsPerPixel = 1;   // from ESC*v#W; 1 (monochrome) when not configured
    std::size_t rowBytes = 0;    // bytes per row: width * bitsPerPixel / 8, rounded up
    std::vector<std::vector<std::uint8_t>> rows;  // `height` rows of `rowBytes` bytes
};

// Printer settings in effect when the page was printed.
struct PageSettings {
    std::optional<int> pageSize;
    std::optional<std::string> customWidth, customLength;  // inches, as written
    std::optional<std::string> mediaType;
    std::optional<int> paperSource;
    std::optional<int> copies;
};

struct PageStats {
    unsigned rowsSent = 0;      // transfers carrying data
    unsigned rowsRepeated = 0;  // zero-length transfers (seed row repeated)
    unsigned rowsSkipped = 0;   // rows of the raster never transferred
    unsigned cursorMoves = 0;   // vertical moves inside raster graphics
    std::size_t dataBytes = 0;  // raster row payload bytes
    std::size_t pageBytes = 0;  // stream bytes from start of raster graphics to the form feed
};

struct Page {
    int number = 0;
    std::size_t startOffset = 0;  // first page content (start of raster graphics)
    std::size_t endOffset = 0;    // just past the form feed, or where the page was cut off
    bool ended = false;           // closed by a form feed
    PageSettings settings;
    std::optional<int> copiesCommand;  // ESC&l#X sent for this page (after the job preamble)
    std::optional<int> sourceCommand;  // ESC&l#H sent for this page
    PageRaster raster;
    PageStats stats;
};

struct Job {
    std::size_t streamBytes = 0;
    std::size_t escapeRun = 0;            // ESC bytes before the first UEL
    bool uelAtStart = false;
    bool uelAtEnd = false;
    bool resetAtEnd = false;              // ESC E after the last page, before the closing UEL
    std::optional<std::string> jobName;
    std::optional<std::string> pjlComment;
    std::vector<std::pair<std::string, std::string>> pjlSettings;  // @PJL SET key = value
    bool enteredPcl = false;
    // Job preamble: the settings sent before the first page, up to the top margin.
    std::optional<int> jobCopies;
    std::optional<int> jobSource;
    std::vector<std::string> preamble;    // glosses of the job preamble commands, in order
    std::vector<Page> pages;
    std::vector<Problem> problems;
    std::vector<Token> tokens;
    std::vector<std::string> glosses;     // one per token: its meaning in context
};

struct DecodeOptions {
    // Keep every page's rows in Job::pages. Without it rasters keep their
    // size and statistics but `rows` is empty, which saves memory on long jobs.
    bool keepRasters = true;
    // Called with each page, rows filled in, as soon as it is complete.
    std::function<void(const Page&)> onPage;
};

Job decodeJob(Bytes stream, const DecodeOptions& options = {});

// Only the decoded pages, for tests that compare rasters.
std::vector<PageRaster> decodeRasters(Bytes stream);

}  // namespace pclinspect
