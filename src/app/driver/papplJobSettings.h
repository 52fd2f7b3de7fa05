// Reads the settings the encoder needs from a PAPPL job and its options.
#pragma once

#include <pappl/pappl.h>

#include "app/driver/jobSettings.h"

namespace corvane {

// Media size and type from the job's media, the source the client asked for
// (or the printer's default source), the toner options from
// the job's vendor attributes (or the printer's defaults), the job's name.
ippJobSettings settingsOfJob(pappl_job_t* job, const pappl_pr_options_t& options);

}  // namespace corvane
