// PDF documents: Ghostscript rasterizes the job at 600 dpi and every page
// goes to the driver as soon as it is rendered.
#pragma once

#include <pappl/pappl.h>

#include "app/documents/rendererPool.h"

namespace corvane {

// PAPPL's MIME filter callback for application/pdf; `pool` is the server's
// rendererPool, or null for renderers of the job's own.
bool printPdf(pappl_job_t* job, pappl_device_t* device, void* pool);

// Starts the renderers of a PDF job with the printer's defaults, for the
// printer's first job, unless renderers are waiting already.
void prepareRenderers(pappl_printer_t* printer, rendererPool& pool);

}  // namespace corvane
