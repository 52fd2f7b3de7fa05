#include "app/pappl131/papplRepairs.h"

#include "app/pappl131/jobRuns.h"
#include "app/pappl131/printerGate.h"
#include "app/pappl131/requestRaster.h"
#include "app/pappl131/secondRuns.h"

namespace corvane {

papplRepairs::papplRepairs(pappl_system_t* system, const char* driverFormat)
    : runs(std::make_unique<jobRuns>()), gates(std::make_unique<printerGates>()),
      spooled(std::make_unique<spooledRuns>()) {
    for (const char* format : {"image/pwg-raster", "image/urf"})
        papplSystemAddMIMEFilter(system, format, driverFormat, jobRuns::secondRun, runs.get());
}

papplRepairs::~papplRepairs() = default;

void papplRepairs::addFilter(pappl_system_t* system, const char* from, const char* to,
                             pappl_mime_filter_cb_t filter, void* data) {
    papplSystemAddMIMEFilter(system, from, to, runOnce, &filters.emplace_back(onceFilter{filter, data, spooled.get()}));
}

bool papplRepairs::runOnce(pappl_job_t* job, pappl_device_t* device, void* context) {
    const auto& once = *static_cast<onceFilter*>(context);
    bool lateOutcome = false;
    if (!once.runs->first(job, lateOutcome)) return lateOutcome;
    const bool printed = once.filter(job, device, once.data);
    once.runs->ended(job, printed);
    return printed;
}

void papplRepairs::observe(pappl_job_t* job, pappl_event_t event) { runs->observe(job, event); }

jobGuard::jobGuard(pappl_job_t* job, pappl_device_t* papplDevice, papplRepairs* repairs)
    : job(job), gates(repairs ? repairs->gates.get() : nullptr),
      output(gates ? gates->enter(job, papplDevice) : papplDevice) {}

jobGuard::~jobGuard() {
    if (gates) gates->leave(job);
}

bool jobGuard::documentCutShort() const { return requestRasterLeftUnread(); }

}  // namespace corvane
