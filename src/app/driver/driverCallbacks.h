// PAPPL's raster callbacks for the "corvane" driver. Each job's state is a
// device sink and rasterJob kept in the job's data from its start to its end.
#pragma once

#include <cstdint>
#include <span>

#include <pappl/pappl.h>

namespace corvane {

bool startJob(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device);
// Refuses (with the job's state message) a page the driver does not take.
bool startPage(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device, unsigned page);
bool writeRow(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device, unsigned y,
              const unsigned char* line);
// A page whose rows come already encoded for the printer (a pageBody of the
// job's page size), written with writeEncodedRows and ended with endPage.
bool startEncodedPage(pappl_job_t* job, pappl_pr_options_t* options);
bool writeEncodedRows(pappl_job_t* job, std::span<const std::uint8_t> bytes);
bool endPage(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device, unsigned page);
bool endJob(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device);

}  // namespace corvane
