// Reasons for raster jobs that PAPPL aborts without calling the driver, so
// that no driver code could say why: a stream whose first page header
// cannot be read, and a job refused with server-error-busy while another
// raster job was printing (it stays in the history as aborted). A timer
// looks at ended jobs once a second and gives such jobs a state message.
#pragma once

#include <pappl/pappl.h>

namespace corvane {

// The timer callback (papplSystemAddTimerCallback); always keeps running.
bool explainAbortedJobs(pappl_system_t* system, void* data);

}  // namespace corvane
