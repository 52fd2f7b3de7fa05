// JPEG and PNG jobs, decoded by the app (imageDecode.h) instead of PAPPL's
// own filters so that a damaged, truncated or oversized image ends its job
// aborted with the reason in the job's state message. The decoded image
// goes through PAPPL's placement (papplJobFilterImage) to the driver.
#pragma once

#include <pappl/pappl.h>

namespace corvane {

// The document format the driver claims as its own, so that PAPPL looks up
// the filters below before its own (its lookup tries the driver's format
// first). It is already in document-format-supported; such a document is
// never printed raw (printRaw refuses it).
inline constexpr const char* driverDocumentFormat = "application/octet-stream";

bool printJpeg(pappl_job_t* job, pappl_device_t* device, void* data);
bool printPng(pappl_job_t* job, pappl_device_t* device, void* data);
bool printRaw(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device);

// Registers both filters on the system.
void addImageFilters(pappl_system_t* system);

}  // namespace corvane
