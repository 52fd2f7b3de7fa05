#include "app/driver/deviceWait.h"

#include "app/driver/driverContext.h"

namespace corvane {

jobDeviceWait::jobDeviceWait(pappl_job_t* job, pappl_device_t* device)
    : job(job), printer(papplJobGetPrinter(job)), device(device), own(appDevice::of(device)) {
    const driverContext* context = driverContextOf(printer);
    notices = context ? context->devices : nullptr;
}

jobDeviceWait::~jobDeviceWait() {
    if (own) own->jobEnded();
    if (!shown.empty() && notices) notices->withdraw(printer, job, false);
}

bool jobDeviceWait::reachPrinter() { return own == nullptr || own->reachFor(device, *this); }

bool jobDeviceWait::abandoned() { return papplJobIsCanceled(job) || papplPrinterIsDeleted(printer); }

void jobDeviceWait::unreachable(const std::string& why) {
    if (why == shown) return;
    if (notices) notices->unreachable(printer, job, why);
    shown = why;
}

void jobDeviceWait::reachable() {
    if (!shown.empty() && notices) notices->withdraw(printer, job, true);
    shown.clear();
}

}  // namespace corvane
