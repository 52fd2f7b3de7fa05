// The web interface's "Add Printer" page: a name, a device URI and the
// driver. PAPPL's own page lists network printers through DNS-SD, which
// aborts the server where no Avahi daemon runs; this one asks for the URI.
#pragma once

#include <pappl/pappl.h>

namespace corvane {

// Registers the page at /addprinter (the first registration of a path wins).
void addPrinterPage(pappl_system_t* system);

}  // namespace corvane
