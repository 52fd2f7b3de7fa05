// PAPPL's status and identify callbacks for the "corvane" driver: both only
// hand the work to the printer's status watch (PAPPL calls them on the
// thread that answers a client, which must not wait for a printer).
#pragma once

#include <pappl/pappl.h>

namespace corvane {

bool refreshStatus(pappl_printer_t* printer);
// Identify-Printer with "display": the message, or the printer's name, on
// the printer's panel.
void identifyPrinter(pappl_printer_t* printer, pappl_identify_actions_t actions, const char* message);

}  // namespace corvane
