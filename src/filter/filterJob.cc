#include "filter/filterJob.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>

#include <cups/raster.h>

#include "encoder/jobEncoder.h"
#include "filter/errorLog.h"
#include "filter/jobControl.h"
#include "filter/optionString.h"
#include "filter/platformOptions.h"
#include "filter/printerStream.h"
#include "filter/rasterInput.h"
#include "filter/statusReporter.h"
#include "filter/supportFunctions.h"

namespace corvane {
namespace {

// Unreadable rows each get their own error line up to this many per page.
constexpr std::uint32_t unreadableRowLineLimit = 60000;

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
// Version-1 page headers, as the filter is defined on; CUPS 2.4 marks these
// calls deprecated in favour of the version-2 header.
bool readPageHeader(cups_raster_t* raster, cups_page_header_t& header) {
    return cupsRasterReadHeader(raster, &header) != 0;
}
unsigned readPixels(cups_raster_t* raster, std::uint8_t* buffer, unsigned length) {
    return cupsRasterReadPixels(raster, buffer, length);
}
#pragma GCC diagnostic pop

// Reads the rows of one page from libcups into the encoder's transfer.
class pageReader {
public:
    pageReader(cups_raster_t* raster, const errorLog& errors, jobControl& control)
        : raster(raster), errors(errors), control(control) {}

    void transfer(rasterData& rows, const pageGeometry& page, int pageNumber) {
        bool readFailed = false;
        bool tooWideReported = false;
        std::uint32_t unreadableRows = 0;
        for (std::uint32_t rowIndex = 0; rowIndex < page.height; ++rowIndex) {
            if (control.stopRequested()) return;
            if ((rowIndex & 255) == 0) control.status().rowsDone(rowIndex, page.height);

            // After the first failed read nothing more of this page is read:
            // a damaged stream can otherwise yield made-up rows.
            if (!readFailed) {
                const unsigned bytesRead =
                    readPixels(raster, rows.nextRow().data(), page.bytesPerLine);
                readFailed = bytesRead == 0;
                if (!readFailed) {
                    const auto result = rows.sendRow(bytesRead);
                    if (result == rasterData::rowResult::leftOutTooWide && !tooWideReported) {
                        char line[128];
                        std::snprintf(line, sizeof line,
                                      "ERROR: Page %d has rows too wide to send; they were left out.\n",
                                      pageNumber);
                        errors.write(line);
                        tooWideReported = true;
                    } else if (result == rasterData::rowResult::pageCut) {
                        errors.write("ERROR: The page is too long; its rows beyond 2147483647 were left out.\n");
                        return;
                    }
                    continue;
                }
                if (control.stopRequested()) return;  // cancelled while waiting
            }
            if (unreadableRows == unreadableRowLineLimit) {
                char line[112];
                std::snprintf(line, sizeof line,
                              "ERROR: Cannot read the remaining %u lines of print data.\n",
                              page.height - rowIndex);
                errors.write(line);
                return;
            }
            errors.write("ERROR: Cannot read the line of print data.\n");
            ++unreadableRows;
            rows.missingRow();
        }
    }

    // Reads and drops a page's rows, so that the next page header is read
    // from where it starts.
    void discard(const pageGeometry& page) {
        std::array<std::uint8_t, 4096> scratch;
        for (std::uint32_t rowIndex = 0; rowIndex < page.height; ++rowIndex) {
            for (std::uint32_t left = page.bytesPerLine; left > 0;) {
                if (control.stopRequested()) return;
                const unsigned chunk = std::min<std::uint32_t>(left, scratch.size());
                if (readPixels(raster, scratch.data(), chunk) == 0) return;
                left -= chunk;
            }
        }
    }

private:
    cups_raster_t* raster;
    const errorLog& errors;
    jobControl& control;
};

void processPage(const cups_page_header_t& header, jobEncoder& encoder, pageReader& reader,
                 const errorLog& errors, jobControl& control) {
    const pageGeometry page{header.cupsWidth, header.cupsHeight, header.cupsBytesPerLine};
    const auto start = encoder.beginPage(page);
    if (start.customSizeUnusable) errors.write("ERROR: Custom media size value\n");
    control.status().pageStarted(encoder.pagesBegun(), encoder.copiesOfCurrentPage());
    if (rasterData* rows = encoder.rows()) {
        reader.transfer(*rows, page, encoder.pagesBegun());
    } else {
        errors.write("ERROR: Cannot allocate memory space for temporary storage.\n");
        // Rows longer than the limit are not touched, since decoding them
        // alone would cost gigabytes.
        if (page.bytesPerLine <= rasterData::maxBytesPerLine) reader.discard(page);
    }
    encoder.endPage();
}

}  // namespace

int runFilterJob(std::span<const char* const> arguments, const jobEndpoints& endpoints) {
    const errorLog errors(endpoints.messageFd);
    const int argc = static_cast<int>(arguments.size());

    supportFunctions diagnostics(endpoints.temporaryDirectory, errors);
    diagnostics.checkLogToDisk();
    if (!diagnostics.checkArgsCount(argc)) {
        errors.write(supportFunctions::refusalLine);
        return 1;
    }

    const ticketRef ticket = ticketFromOptionString(arguments[5], adaptPlatformOptions);
    printerStream output(endpoints.printerFd,
                         diagnostics.loggingEnabled() ? &diagnostics : nullptr);
    statusReporter status(errors, endpoints.statusLines);
    jobControl control(output, status);

    jobEncoder encoder(ticket, output);
    encoder.beginJob();

    if (diagnostics.loggingEnabled()) {
        for (int i = 1; i < argc; ++i) diagnostics.logParameter(arguments[i], i);
        diagnostics.logArguments(argc, *ticket);
    }

    const rasterInput input(endpoints.rasterFd);
    if (cups_raster_t* raster = input.raster()) {
        pageReader reader(raster, errors, control);
        cups_page_header_t header{};
        while (!control.stopRequested() && readPageHeader(raster, header))
            processPage(header, encoder, reader, errors, control);
    }

    encoder.endJob();
    if (output.failed()) {
        errors.write("ERROR: The printer stopped taking the print stream.\n");
        return 1;
    }
    return 0;
}

}  // namespace corvane
