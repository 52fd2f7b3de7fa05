// The server options PAPPL's own main loop reads, read the same way.
#pragma once

#include <pappl/pappl.h>

namespace corvane {

// The -o log-level= value (warn when absent or unknown).
pappl_loglevel_t logLevel(const char* value);

// The -o server-options= list.
pappl_soptions_t serverOptions(const char* value);

}  // namespace corvane
