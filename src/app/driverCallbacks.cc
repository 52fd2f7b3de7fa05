#include "app/driverCallbacks.h"

#include <memory>
#include <variant>

#include "app/papplJobSettings.h"
#include "app/printerGate.h"
#include "app/rasterJob.h"

namespace corvane {
namespace {

rasterJob* jobState(pappl_job_t* job) { return static_cast<rasterJob*>(papplJobGetData(job)); }

}  // namespace

bool startJob(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device) {
    printerGates* gates = printerGates::of(job);
    pappl_device_t* output = gates ? gates->enter(job, device) : device;
    if (output == nullptr) return false;
    auto state = std::make_unique<rasterJob>(jobTicket(settingsOfJob(job, *options)), output);
    state->begin();
    papplJobSetData(job, state.release());
    return true;
}

bool startPage(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t*, unsigned) {
    rasterJob* state = jobState(job);
    if (state == nullptr) return false;
    const auto checked = checkRaster(options->header);
    if (const auto* refusal = std::get_if<std::string>(&checked)) {
        papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "%s", refusal->c_str());
        papplJobSetMessage(job, "%s", refusal->c_str());
        papplJobSetReasons(job, PAPPL_JREASON_DOCUMENT_UNPRINTABLE_ERROR, PAPPL_JREASON_NONE);
        return false;
    }
    state->beginPage(std::get<acceptedRaster>(checked));
    return state->printerReachable();
}

bool writeRow(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t*, unsigned,
              const unsigned char* line) {
    rasterJob* state = jobState(job);
    if (state == nullptr) return false;
    state->addRow({line, options->header.cupsBytesPerLine});
    return state->printerReachable();
}

bool endPage(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t*, unsigned) {
    rasterJob* state = jobState(job);
    if (state == nullptr) return false;
    state->endPage();
    return state->printerReachable();
}

bool endJob(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t*) {
    const gateExit exit(job);  // after the job's last byte
    const std::unique_ptr<rasterJob> state(jobState(job));
    papplJobSetData(job, nullptr);
    if (!state) return false;
    state->end();
    if (!state->printerReachable()) {
        papplJobSetMessage(job, "The printer stopped taking the print stream.");
        return false;
    }
    return true;
}

}  // namespace corvane
