#include "app/abortedJobs.h"

#include <cstring>

namespace corvane {
namespace {

bool isRaster(const char* format) {
    return format != nullptr &&
           (std::strcmp(format, "image/pwg-raster") == 0 || std::strcmp(format, "image/urf") == 0);
}

void explainJob(pappl_job_t* job, void*) {
    if (papplJobGetState(job) != IPP_JSTATE_ABORTED || papplJobGetMessage(job) != nullptr ||
        !isRaster(papplJobGetFormat(job)) || papplJobGetImpressionsCompleted(job) != 0)
        return;
    if (papplJobGetTimeProcessed(job) == 0) {
        papplJobSetMessage(job, "The printer was busy with another raster job; the client sends it again.");
        return;
    }
    papplJobSetMessage(job, "The raster document could not be read: its first page header is damaged "
                            "or it is not PWG or Apple raster.");
    papplJobSetReasons(job, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR, PAPPL_JREASON_NONE);
}

void explainPrinter(pappl_printer_t* printer, void*) {
    papplPrinterIterateCompletedJobs(printer, explainJob, nullptr, 1, 0);
}

}  // namespace

bool explainAbortedJobs(pappl_system_t* system, void*) {
    papplSystemIteratePrinters(system, explainPrinter, nullptr);
    return true;
}

}  // namespace corvane
