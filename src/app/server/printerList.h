// Walking a system's printers without PAPPL's lock-order trap (seen on
// 1.3.1; 1.4.11 takes the locks in the same order): PAPPL
// holds the system's lock while it calls a printer iterator back, but when
// it refuses a streamed job as busy it holds the printer's lock and then
// takes the system's. Anything that takes a printer's lock inside the
// iterator (most printer accessors do) can deadlock against that refusal,
// and so can saving the state, which takes the system's lock and then each
// printer's.
#pragma once

#include <functional>

#include <pappl/pappl.h>

namespace corvane {

// Calls visit for each printer, found by its ID outside the system's lock.
void forEachPrinter(pappl_system_t* system, const std::function<void(pappl_printer_t*)>& visit);

// Calls work holding each printer's lock for reading, taken before the
// system's, so that work may take the system's lock and then the printers'
// (as papplSystemSaveState does). A printer without any job is not locked:
// it has no job that can be refused.
void withPrintersLocked(pappl_system_t* system, const std::function<void()>& work);

}  // namespace corvane
