#include "app/documents/pdfFilter.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "app/documents/pdfCheck.h"
#include "app/documents/pageRenderer.h"
#include "app/documents/rendererPool.h"
#include "app/driver/driverCallbacks.h"
#include "app/driver/rasterLayout.h"

namespace corvane {
namespace {

struct optionsDeleter {
    void operator()(pappl_pr_options_t* options) const { papplJobDeletePrintOptions(options); }
};
using printOptions = std::unique_ptr<pappl_pr_options_t, optionsDeleter>;

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

// With a second core, a second renderer interprets the next page while the
// first one's bands go to the printer.
unsigned cores() {
#ifdef CORVANE_BENCH_SWITCHES
    // bench/run's build times jobs with one renderer beside this.
    if (const char* renderers = std::getenv("CORVANE_BENCH_RENDERERS")) return std::atoi(renderers);
#endif
    return std::thread::hardware_concurrency();
}

// One PDF job: each copy is rendered by its own Ghostscript runs, and each
// page goes through the driver while the next ones are still being rendered.
class pdfJob {
public:
    pdfJob(pappl_job_t* job, pappl_device_t* device, rendererPool* pool)
        : job(job), device(device), pool(pool) {
        papplPrinterGetDriverData(papplJobGetPrinter(job), &driver);
    }

    bool print();

private:
    bool renderCopy(const renderRequest& request);
    bool endedWell(pageRenderer& renderer);
    bool printPage(pageRenderer& renderer);
    bool refuse(const std::string& message, pappl_jreason_t reason);
    // A renderer broke off its records or sent nonsense.
    bool unreadablePages() {
        return refuse("Unable to read Ghostscript's pages.", PAPPL_JREASON_ABORTED_BY_SYSTEM);
    }
    bool canceled() const { return papplJobIsCanceled(job); }

    pappl_job_t* job;
    pappl_device_t* device;
    rendererPool* pool;  // the server's prepared renderers; null: none
    pappl_pr_driver_data_t driver{};
    printOptions options;
    pixelLayout jobLayout = pixelLayout::rgb24;
    unsigned pagesPrinted = 0;
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
    request.widthPixels = options->header.cupsWidth;
    request.heightPixels = options->header.cupsHeight;
    if (options->first_page > 1) request.firstPage = options->first_page;
    if (options->last_page < INT_MAX) request.lastPage = options->last_page;

    if (!driver.rstartjob_cb(job, options.get(), device)) return false;
    bool printed = true;
    for (int copy = 0; printed && copy < std::max(options->copies, 1) && !canceled(); ++copy)
        printed = renderCopy(request);
    const bool ended = driver.rendjob_cb(job, options.get(), device);
    // The next job most likely has the same settings.
    if (pool) pool->prepare(request);
    // The page count is known only now, as for streamed raster jobs.
    papplJobSetImpressions(job, static_cast<int>(pagesPrinted));
    return printed && ended;
}

bool pdfJob::renderCopy(const renderRequest& request) {
    const auto renderers = pool ? pool->startDocument(request, cores()) : rendererPool{}.startDocument(request, cores());
    if (renderers.empty())
        return refuse("Unable to start Ghostscript (corvane-render).", PAPPL_JREASON_ABORTED_BY_SYSTEM);
    const unsigned pagesBefore = pagesPrinted;
    std::size_t turn = 0;  // page n comes from renderer n % count
    while (!canceled()) {
        pageRenderer& renderer = *renderers[turn % renderers.size()];
        if (!renderer.nextPage()) break;
        if (!printPage(renderer)) return false;  // the renderers are stopped on return
        ++turn;
    }
    if (canceled()) return true;
    // The document ends where the renderer whose turn it was ran out of
    // pages (or failed); the others must have run out too.
    for (std::size_t i = 0; i < renderers.size(); ++i) {
        pageRenderer& renderer = *renderers[(turn + i) % renderers.size()];
        if (i > 0 && renderer.nextPage())
            return unreadablePages();
        if (!endedWell(renderer)) return false;
    }
    if (pagesPrinted == pagesBefore)
        return unreadablePages();
    return true;
}

bool pdfJob::endedWell(pageRenderer& renderer) {
    const int status = renderer.wait();
    papplLogJob(job, PAPPL_LOGLEVEL_INFO, "Ghostscript finished with status %d after page %u.",
                status, pagesPrinted);
    if (status < 0)  // a signal: killed, or crashed
        return refuse("Ghostscript stopped unexpectedly while rendering the PDF document.",
                      PAPPL_JREASON_ABORTED_BY_SYSTEM);
    if (status != 0) {
        const std::string said = renderer.errorText();
        if (const auto problem = pdfFileProblem(papplJobGetFilename(job), said))
            return refuse(problem->message, problem->reason);
        return refuse("The PDF document could not be rendered: " + errorLine(said), PAPPL_JREASON_DOCUMENT_FORMAT_ERROR);
    }
    if (renderer.broken())
        return unreadablePages();
    return true;
}

bool pdfJob::printPage(pageRenderer& renderer) {
    const unsigned pageNumber = pagesPrinted + 1;
    // The renderer encodes the rows at the job's page size; they go to the
    // printer straight from its memory.
    if (!startEncodedPage(job, options.get())) return false;
    bool reachable = true;
    while (const auto rows = renderer.nextRows()) {
        reachable = writeEncodedRows(job, rows->bytes);
        renderer.giveBack(*rows);
        if (!reachable || canceled()) break;
    }
    const bool complete = renderer.pageWhole();

    const bool ended = driver.rendpage_cb(job, options.get(), device, pageNumber);
    pagesPrinted = pageNumber;
    papplJobSetImpressionsCompleted(job, 1);
    papplLogJob(job, PAPPL_LOGLEVEL_INFO, "Page %u sent to the printer.", pageNumber);
    if (!reachable) return false;
    // The driver calls a short page the document's fault; here the renderer
    // stopped (a crash, or nonsense in its records), which says more.
    if (!complete && !canceled())
        return refuse("Ghostscript's page ended early.", PAPPL_JREASON_DOCUMENT_FORMAT_ERROR);
    return ended;
}

}  // namespace

void prepareRenderers(pappl_printer_t* printer, rendererPool& pool) {
    pappl_pr_driver_data_t driver{};
    papplPrinterGetDriverData(printer, &driver);
    renderRequest request;
    request.widthPwg = driver.media_default.size_width;
    request.lengthPwg = driver.media_default.size_length;
    // PAPPL prints a PDF job in colour unless the printer's colour mode
    // default says otherwise (it takes the document to be in colour).
    request.gray = driver.color_default != PAPPL_COLOR_MODE_AUTO && driver.color_default != PAPPL_COLOR_MODE_COLOR;
    pool.prepareIfNone(request);
}

bool printPdf(pappl_job_t* job, pappl_device_t* device, void* pool) {
    pdfJob pdf(job, device, static_cast<rendererPool*>(pool));
    return pdf.print();
}

}  // namespace corvane
