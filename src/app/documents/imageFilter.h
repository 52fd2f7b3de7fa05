// JPEG and PNG jobs, decoded by the app (imageDecode.h) instead of PAPPL's
// own filters so that a damaged, truncated or oversized image ends its job
// aborted with the reason in the job's state message. The decoded image
// goes through PAPPL's placement (papplJobFilterImage) to the driver.
#pragma once

#include <pappl/pappl.h>

namespace corvane {

bool printJpeg(pappl_job_t* job, pappl_device_t* device, void* data);
bool printPng(pappl_job_t* job, pappl_device_t* device, void* data);

// Registers both filters on the system, to the driver's own format so that
// PAPPL looks them up before its own (driverDocumentFormat).
void addImageFilters(pappl_system_t* system);

}  // namespace corvane
