// One job's printer stream, driven by a front end: the PJL wrapper, the PCL
// job preamble before the first page, every page's frame and rows, and the
// reset and closing UEL. The front end decides when each step happens and
// where the rows come from; the bytes and their order are decided here.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "encoder/argumentStore.h"
#include "encoder/byteSink.h"
#include "encoder/pageGeometry.h"
#include "encoder/pclCommands.h"
#include "encoder/pjlCommands.h"
#include "encoder/rasterData.h"

namespace corvane {

class jobEncoder {
public:
    jobEncoder(ticketRef ticket, byteSink& output);

    // The escape run and the PJL header.
    void beginJob();

    struct pageStart {
        // The job's custom size was unusable (first page only).
        bool customSizeUnusable = false;
        // The page's row storage could not be allocated: the page is framed
        // but carries no rows, and rows() is null.
        bool rowStorageFailed = false;
    };
    // The job preamble; beginPage writes it before the first page unless
    // it was written already. Says whether the custom size was usable.
    pclCommands::jobSettingsReport writeJobSettings();
    // The job preamble before the first page (unless written already), the
    // page preamble, and the page's row transfer. With `rowsEncodedApart`
    // there is no transfer here: the page's rows come already encoded by a
    // pageBody, through writeEncodedRows.
    pageStart beginPage(const pageGeometry& page, bool rowsEncodedApart = false);
    void writeEncodedRows(std::span<const std::uint8_t> bytes) { output.write(bytes); }
    // The transfer of the page in progress, or null.
    rasterData* rows() { return transfer ? &*transfer : nullptr; }
    // Ends raster graphics, ejects the page and flushes.
    void endPage();

    // The printer reset and the closing UEL.
    void endJob();

    int pagesBegun() const { return pcl.pagesBegun(); }
    int copiesOfCurrentPage() const { return pcl.copiesOfCurrentPage(); }

private:
    byteSink& output;
    pjlCommands pjl;
    pclCommands pcl;
    bool settingsWritten = false;
    std::optional<rasterData> transfer;
};

}  // namespace corvane
