#include "app/driver/driverCallbacks.h"

#include <memory>
#include <optional>
#include <string>

#include "app/driver/deviceSink.h"
#include "app/driver/deviceWait.h"
#include "app/driver/driverContext.h"
#include "app/driver/jobReadback.h"
#include "app/driver/pageCopies.h"
#include "app/driver/papplJobSettings.h"
#include "app/driver/rasterJob.h"
#include "app/pappl131/papplRepairs.h"

namespace corvane {
namespace {

// What a job keeps from its start to its end: its guard, its wait for an
// unreachable printer, and the encoder's state over the device the job
// writes to (the guard's).
struct jobState {
    jobState(pappl_job_t* job, std::unique_ptr<jobGuard> admitted, ticketRef ticket)
        : guard(std::move(admitted)), wait(job, guard->device()), sink(guard->device()),
          raster(std::move(ticket), sink) {}
    std::unique_ptr<jobGuard> guard;  // first, so that it goes last: after the job's last byte
    jobDeviceWait wait;
    deviceSink sink;
    rasterJob raster;
    std::unique_ptr<jobReadback> readback;  // a printer that talks back
};

jobState* stateOf(pappl_job_t* job) { return static_cast<jobState*>(papplJobGetData(job)); }

// Ends the job with the reason in its state message: the caller returns
// false and PAPPL aborts the job.
bool refuse(pappl_job_t* job, const std::string& reason, pappl_jreason_t jobReason) {
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "%s", reason.c_str());
    papplJobSetMessage(job, "%s", reason.c_str());
    papplJobSetReasons(job, jobReason, PAPPL_JREASON_NONE);
    return false;
}

// The folder PAPPL keeps the job's files in: the name PAPPL gives a job
// file there, which is removed (there is none).
std::string spoolFolder(pappl_job_t* job) {
    char path[1024] = "";
    papplJobOpenFile(job, path, sizeof path, nullptr, "copies", "x");
    const std::string file(path);
    return file.substr(0, file.rfind('/'));
}

bool reachable(pappl_job_t* job, const jobState& state) {
    if (!state.sink.failed()) return true;
    return refuse(job, "The printer stopped taking the print stream.", PAPPL_JREASON_ABORTED_BY_SYSTEM);
}

}  // namespace

bool startJob(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device) {
    const driverContext* context = driverContextOf(papplJobGetPrinter(job));
    auto guard = std::make_unique<jobGuard>(job, device, context ? context->repairs : nullptr);
    if (guard->device() == nullptr) return false;
    const ippJobSettings settings = settingsOfJob(job, *options);
    auto state = std::make_unique<jobState>(job, std::move(guard), jobTicket(settings));
    if (!state->wait.reachPrinter()) return false;  // canceled while the printer could not be reached
    state->readback = jobReadback::start(job, state->guard->device());
    if (state->readback) state->sink.sendFirst(state->readback->opening());
    if (settings.copies > 1 && settings.collated)
        state->raster.repeatPages(std::make_unique<pageSpool>(spoolFolder(job)), settings.copies - 1);
    papplJobSetData(job, state.release());
    return true;
}

namespace {

bool beginPage(pappl_job_t* job, const pappl_pr_options_t& options, bool encodedRows) {
    jobState* state = stateOf(job);
    if (state == nullptr) return false;
    const auto refusal = encodedRows ? state->raster.beginEncodedPage(options.header)
                                     : state->raster.beginPage(options.header);
    if (refusal) return refuse(job, *refusal, PAPPL_JREASON_DOCUMENT_UNPRINTABLE_ERROR);
    return reachable(job, *state);
}

}  // namespace

bool startPage(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t*, unsigned) {
    return beginPage(job, *options, false);
}

bool startEncodedPage(pappl_job_t* job, pappl_pr_options_t* options) { return beginPage(job, *options, true); }

bool writeEncodedRows(pappl_job_t* job, std::span<const std::uint8_t> bytes) {
    jobState* state = stateOf(job);
    if (state == nullptr) return false;
    state->raster.addEncodedRows(bytes);
    return !state->sink.failed();
}

bool writeRow(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t*, unsigned,
              const unsigned char* line) {
    jobState* state = stateOf(job);
    if (state == nullptr) return false;
    state->raster.addRow({line, options->header.cupsBytesPerLine});
    return !state->sink.failed();
}

bool endPage(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t*, unsigned) {
    jobState* state = stateOf(job);
    if (state == nullptr) return false;
    // PAPPL reports a raster stream that stops inside a page as printed: the
    // missing rows are the only sign of it.
    const auto incomplete = state->raster.endPage();
    if (incomplete && !papplJobIsCanceled(job))
        return refuse(job, *incomplete, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR);
    return reachable(job, *state);
}

bool endJob(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t*) {
    const std::unique_ptr<jobState> state(stateOf(job));
    papplJobSetData(job, nullptr);
    if (!state) return false;
    // PAPPL ends a streamed raster at the first page header it cannot read
    // and calls the job printed; data left after it means pages were lost.
    const bool pagesLost =
        state->guard->documentCutShort() && !papplJobIsCanceled(job) && papplJobGetMessage(job) == nullptr;
    const auto copiesProblem = state->raster.end([&] {
        return !pagesLost && !papplJobIsCanceled(job) && !state->sink.failed();
    });
    if (state->readback) state->readback->finish(state->sink);
    if (state->sink.failed()) {
        papplJobSetMessage(job, "The printer stopped taking the print stream.");
        return false;
    }
    if (pagesLost)
        return refuse(job,
                      "A page header after page " + std::to_string(state->raster.pagesStarted()) +
                          " cannot be read; the pages after it were not printed.",
                      PAPPL_JREASON_DOCUMENT_FORMAT_ERROR);
    if (copiesProblem && !papplJobIsCanceled(job))
        return refuse(job, *copiesProblem, PAPPL_JREASON_ABORTED_BY_SYSTEM);
    return true;
}

}  // namespace corvane
