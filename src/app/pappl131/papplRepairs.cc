#include "app/pappl131/papplRepairs.h"

#include "app/pappl131/jobRuns.h"
#include "app/pappl131/printerGate.h"
#include "app/pappl131/requestRaster.h"

namespace corvane {

papplRepairs::papplRepairs(pappl_system_t* system, const char* driverFormat)
    : runs(std::make_unique<jobRuns>()), gates(std::make_unique<printerGates>()) {
    gates->threadEnds = [runs = runs.get()](pappl_job_t* job) { runs->threadEnds(job); };
    for (const char* format : {"image/pwg-raster", "image/urf"})
        papplSystemAddMIMEFilter(system, format, driverFormat, jobRuns::secondRun, runs.get());
}

papplRepairs::~papplRepairs() = default;

void papplRepairs::observe(pappl_job_t* job, pappl_event_t event) { runs->observe(job, event); }

jobGuard::jobGuard(pappl_job_t* job, pappl_device_t* papplDevice, papplRepairs* repairs)
    : job(job), gates(repairs ? repairs->gates.get() : nullptr),
      output(gates ? gates->enter(job, papplDevice) : papplDevice) {}

jobGuard::~jobGuard() {
    if (gates) gates->leave(job);
}

bool jobGuard::documentCutShort() const { return requestRasterLeftUnread(); }

}  // namespace corvane
