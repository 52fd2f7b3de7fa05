// JPEG and PNG jobs, decoded by the app (imageDecode.h) instead of PAPPL's
// own filters so that a damaged, truncated or oversized image ends its job
// aborted with the reason in the job's state message. The decoded image
// goes through PAPPL's placement (papplJobFilterImage) to the driver.
#pragma once

#include <pappl/pappl.h>

namespace corvane {

// PAPPL's MIME filters for JPEG and PNG documents.
bool printJpeg(pappl_job_t* job, pappl_device_t* device, void* data);
bool printPng(pappl_job_t* job, pappl_device_t* device, void* data);

}  // namespace corvane
