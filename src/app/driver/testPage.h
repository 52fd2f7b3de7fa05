// The printer's test page: its name, its settings and colour bars.
#pragma once

#include <pappl/pappl.h>

namespace corvane {

// PAPPL's test page callback: writes the page as a PDF file in the spool
// folder and returns its name (in `buffer`), or null.
const char* writeTestPage(pappl_printer_t* printer, char* buffer, size_t bufsize);

}  // namespace corvane
