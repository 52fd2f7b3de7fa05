#include "filter/filterJob.h"

#include <memory>
#include <optional>

#include <cups/raster.h>

#include "diagnostics/errorLog.h"
#include "diagnostics/supportFunctions.h"
#include "filter/jobControl.h"
#include "filter/printerStream.h"
#include "filter/rasterInput.h"
#include "filter/statusReporter.h"
#include "pcl/pclCommands.h"
#include "pjl/pjlCommands.h"
#include "raster/rasterData.h"
#include "ticket/argumentStore.h"
#include "ticket/platformOptions.h"

namespace corvane {
namespace {

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
// Version-1 page headers, as the filter is defined on; CUPS 2.4 marks the
// call deprecated in favour of the version-2 header.
bool readPageHeader(cups_raster_t* raster, cups_page_header_t& header) {
    return cupsRasterReadHeader(raster, &header) != 0;
}
#pragma GCC diagnostic pop

void processPage(cups_raster_t* raster, const cups_page_header_t* header, pclCommands& pcl,
                 printerStream& output, const errorLog& errors, jobControl& control) {
    pcl.setPageHeader();
    control.status().pageStarted(pcl.pagesBegun(), pcl.copiesOfCurrentPage());
    {
        rasterData transfer(header, pcl, output, errors, control);
        transfer.rasterInDeltaCompression(raster);
    }
    pcl.endRasterGraphics();
    pcl.setPageEnder();
    output.flush();
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

    const auto ticket = std::make_shared<const argumentStore>(arguments[5], adaptPlatformOptions);
    printerStream output(endpoints.printerFd,
                         diagnostics.loggingEnabled() ? &diagnostics : nullptr);
    statusReporter status(errors, endpoints.statusLines);
    jobControl control(output, status);

    pjlCommands pjl(ticket, diagnostics, output);
    pjl.createPJLCommands();
    pclCommands pcl(ticket, diagnostics, output, errors);

    if (diagnostics.loggingEnabled()) {
        for (int i = 1; i < argc; ++i) diagnostics.logParameter(arguments[i], i);
        diagnostics.logArguments(argc, *ticket);
    }

    const rasterInput input(endpoints.rasterFd);
    cups_raster_t* raster = input.raster();
    // One header record for the whole job: the generator and every page
    // transfer read the page in progress through it.
    cups_page_header_t header{};
    if (raster && !control.stopRequested() && readPageHeader(raster, header)) {
        pcl.createJobSettings(&header);
        processPage(raster, &header, pcl, output, errors, control);
        while (!control.stopRequested() && readPageHeader(raster, header))
            processPage(raster, &header, pcl, output, errors, control);
    }

    pcl.exitPCL();
    pjl.setGenericEndJob();
    output.flush();
    if (output.failed()) {
        errors.write("ERROR: The printer stopped taking the print stream.\n");
        return 1;
    }
    return 0;
}

}  // namespace corvane
