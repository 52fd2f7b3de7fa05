#include "encoder/jobEncoder.h"

#include <new>

namespace corvane {

jobEncoder::jobEncoder(ticketRef ticket, byteSink& output)
    : output(output), pjl(ticket, output), pcl(std::move(ticket), output) {}

void jobEncoder::beginJob() { pjl.createPJLCommands(); }

pclCommands::jobSettingsReport jobEncoder::writeJobSettings() {
    settingsWritten = true;
    return pcl.createJobSettings();
}

jobEncoder::pageStart jobEncoder::beginPage(const pageGeometry& page, bool rowsEncodedApart) {
    pageStart start;
    if (!settingsWritten) start.customSizeUnusable = writeJobSettings().customSizeUnusable;
    pcl.setPageHeader(page);
    if (rowsEncodedApart) return start;
    try {
        transfer.emplace(page, pcl, output);
    } catch (const std::bad_alloc&) {
        transfer.reset();
        start.rowStorageFailed = true;
    }
    return start;
}

void jobEncoder::endPage() {
    transfer.reset();
    pcl.endRasterGraphics();
    pcl.setPageEnder();
    output.flush();
}

void jobEncoder::endJob() {
    pcl.exitPCL();
    pjl.setGenericEndJob();
    output.flush();
}

}  // namespace corvane
