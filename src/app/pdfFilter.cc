#include "app/pdfFilter.h"

#include <algorithm>
#include <cerrno>
#include <algorithm>
#include <climits>
#include <memory>
#include <string>
#include <unistd.h>
#include <variant>
#include <vector>

#include "app/childProcess.h"
#include "app/ghostscriptCommand.h"
#include "app/pageFit.h"
#include "app/rasterLayout.h"

namespace corvane {
namespace {

struct optionsDeleter {
    void operator()(pappl_pr_options_t* options) const { papplJobDeletePrintOptions(options); }
};
using printOptions = std::unique_ptr<pappl_pr_options_t, optionsDeleter>;

struct rasterCloser {
    void operator()(cups_raster_t* raster) const { cupsRasterClose(raster); }
};
using rasterStream = std::unique_ptr<cups_raster_t, rasterCloser>;

ssize_t readPipe(void* context, unsigned char* buffer, size_t length) {
    const int fd = *static_cast<const int*>(context);
    ssize_t got;
    do {
        got = read(fd, buffer, length);
    } while (got < 0 && errno == EINTR);
    return got;
}

// The line of Ghostscript's messages that says what went wrong: the first
// one naming an error, else the first that is not a progress line.
std::string errorLine(const std::string& text) {
    std::string fallback;
    std::size_t start = 0;
    while (start < text.size()) {
        const auto end = std::min(text.find('\n', start), text.size());
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        if (line.find("rror") != std::string::npos) return line;
        if (fallback.empty() && !line.empty() && !line.starts_with("INFO:")) fallback = line;
    }
    return fallback.empty() ? "Ghostscript stopped with an error." : fallback;
}

// One PDF job: each copy is rendered by its own Ghostscript run, and each
// page goes through the driver while the next one is still being rendered.
class pdfJob {
public:
    pdfJob(pappl_job_t* job, pappl_device_t* device) : job(job), device(device) {
        papplPrinterGetDriverData(papplJobGetPrinter(job), &driver);
    }

    bool print();

private:
    bool renderCopy(const renderRequest& request);
    bool printPage(cups_raster_t* raster, const cups_page_header2_t& rendered);
    bool refuse(const std::string& message, pappl_jreason_t reason);
    bool canceled() const { return papplJobIsCanceled(job); }

    pappl_job_t* job;
    pappl_device_t* device;
    pappl_pr_driver_data_t driver{};
    printOptions options;
    pixelLayout jobLayout = pixelLayout::rgb24;
    unsigned pagesPrinted = 0;
    std::vector<std::uint8_t> renderedRow;
    std::vector<std::uint8_t> jobRow;
};

bool pdfJob::refuse(const std::string& message, pappl_jreason_t reason) {
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "%s", message.c_str());
    papplJobSetMessage(job, "%s", message.c_str());
    papplJobSetReasons(job, reason, PAPPL_JREASON_NONE);
    return false;
}

bool pdfJob::print() {
    options.reset(papplJobCreatePrintOptions(job, 0, true));
    if (!options) return refuse("Out of memory.", PAPPL_JREASON_ABORTED_BY_SYSTEM);
    const auto checked = checkRaster(options->header);
    if (const auto* refusal = std::get_if<std::string>(&checked))
        return refuse(*refusal, PAPPL_JREASON_DOCUMENT_UNPRINTABLE_ERROR);
    jobLayout = std::get<acceptedRaster>(checked).layout;

    renderRequest request;
    request.file = papplJobGetFilename(job);
    request.widthPwg = options->media.size_width;
    request.lengthPwg = options->media.size_length;
    request.gray = jobLayout == pixelLayout::gray8;
    if (options->first_page > 1) request.firstPage = options->first_page;
    if (options->last_page < INT_MAX) request.lastPage = options->last_page;

    if (!driver.rstartjob_cb(job, options.get(), device)) return false;
    bool printed = true;
    for (int copy = 0; printed && copy < std::max(options->copies, 1) && !canceled(); ++copy)
        printed = renderCopy(request);
    const bool ended = driver.rendjob_cb(job, options.get(), device);
    // The page count is known only now, as for streamed raster jobs.
    papplJobSetImpressions(job, static_cast<int>(pagesPrinted));
    return printed && ended;
}

bool pdfJob::renderCopy(const renderRequest& request) {
    childProcess ghostscript(ghostscriptCommand(request));
    if (!ghostscript.started())
        return refuse("Unable to start Ghostscript (gs).", PAPPL_JREASON_ABORTED_BY_SYSTEM);
    int fd = ghostscript.output();
    rasterStream raster(cupsRasterOpenIO(readPipe, &fd, CUPS_RASTER_READ));
    if (!raster) {
        // Nothing rendered: usually a document Ghostscript refused at once.
        if (ghostscript.wait() != 0)
            return refuse("The PDF document could not be rendered: " + errorLine(ghostscript.errorText()),
                          PAPPL_JREASON_DOCUMENT_FORMAT_ERROR);
        return refuse("Unable to read Ghostscript's pages.", PAPPL_JREASON_ABORTED_BY_SYSTEM);
    }

    cups_page_header2_t rendered;
    while (!canceled() && cupsRasterReadHeader2(raster.get(), &rendered)) {
        if (!printPage(raster.get(), rendered)) return false;  // the child is stopped on return
    }
    if (canceled()) return true;
    raster.reset();
    const int status = ghostscript.wait();
    papplLogJob(job, PAPPL_LOGLEVEL_INFO, "Ghostscript finished with status %d after page %u.",
                status, pagesPrinted);
    if (status != 0)
        return refuse("The PDF document could not be rendered: " + errorLine(ghostscript.errorText()),
                      PAPPL_JREASON_DOCUMENT_FORMAT_ERROR);
    return true;
}

bool pdfJob::printPage(cups_raster_t* raster, const cups_page_header2_t& rendered) {
    const auto checked = checkRaster(rendered);
    if (const auto* refusal = std::get_if<std::string>(&checked))
        return refuse(*refusal, PAPPL_JREASON_DOCUMENT_UNPRINTABLE_ERROR);
    if (std::get<acceptedRaster>(checked).layout != jobLayout)
        return refuse("Ghostscript rendered the page in another colour layout than the job's.",
                      PAPPL_JREASON_DOCUMENT_UNPRINTABLE_ERROR);

    const unsigned pageNumber = pagesPrinted + 1;
    if (!driver.rstartpage_cb(job, options.get(), device, pageNumber)) return false;

    // Every page takes the job's size in pixels: rows and columns beyond it
    // are cut, missing ones are white.
    const cups_page_header2_t& page = options->header;
    renderedRow.resize(rendered.cupsBytesPerLine);
    jobRow.assign(page.cupsBytesPerLine, 0xFF);
    bool reachable = true;
    unsigned y = 0;
    for (; y < page.cupsHeight && reachable; ++y) {
        if (y < rendered.cupsHeight) {
            if (cupsRasterReadPixels(raster, renderedRow.data(), rendered.cupsBytesPerLine) == 0) break;
            fitRow(renderedRow, jobRow);
        } else if (y == rendered.cupsHeight) {
            jobRow.assign(page.cupsBytesPerLine, 0xFF);
        }
        reachable = driver.rwriteline_cb(job, options.get(), device, y, jobRow.data());
        if ((y & 127) == 0 && canceled()) break;
    }
    const bool complete = y == page.cupsHeight;
    for (; complete && y < rendered.cupsHeight; ++y)
        if (cupsRasterReadPixels(raster, renderedRow.data(), rendered.cupsBytesPerLine) == 0) break;

    reachable = driver.rendpage_cb(job, options.get(), device, pageNumber) && reachable;
    pagesPrinted = pageNumber;
    papplJobSetImpressionsCompleted(job, 1);
    papplLogJob(job, PAPPL_LOGLEVEL_INFO, "Page %u sent to the printer.", pageNumber);
    if (!reachable) return false;
    if (!complete && !canceled())
        return refuse("Ghostscript's page ended early.", PAPPL_JREASON_DOCUMENT_FORMAT_ERROR);
    return true;
}

}  // namespace

bool printPdf(pappl_job_t* job, pappl_device_t* device, void*) {
    pdfJob pdf(job, device);
    return pdf.print();
}

}  // namespace corvane
