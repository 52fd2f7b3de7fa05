#include "app/pdfFilter.h"

namespace corvane {

bool printPdf(pappl_job_t*, pappl_device_t*, void*) { return false; }

}  // namespace corvane
