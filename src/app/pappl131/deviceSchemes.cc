// Device schemes next to the app's own, on PAPPL 1.3. PAPPL 1.3.1 adds its
// built-in schemes (file, and the network and USB ones) only when a device
// is listed or opened while no scheme at all is registered, and the first
// registration of a scheme wins. Once the app has registered its own
// schemes, PAPPL's network schemes (dnssd, snmp) are therefore added here,
// through the function PAPPL itself uses: exported by libpappl1 (listed in
// its Debian symbols file since 1.0.1) but not declared in its headers. PAPPL
// 1.4 adds its schemes before any of the app's, which replace PAPPL's of the
// same name. Shown by tests/app/device.sh and the conformance test (their
// printers are socket:// ones).
//
// PAPPL 1.3.1 also reads a printer's device pointer just after releasing
// the printer's lock when a job starts; if another job on a file:// printer
// ends in that instant (PAPPL closes a file:// device after every job,
// holding the lock), the starting job is marked completed without printing
// (seen once in about 2,000 jobs from 6 clients at once, tests/app/load.sh).
// PAPPL 1.4 decides under the lock. The app's file device pauses 5 ms before
// closing a device nothing was written to, so that the starting job reads
// the pointer first; a starting job held off the processor for longer can
// still meet it.
#include <chrono>
#include <thread>

#include "app/pappl131/papplRepairs.h"

extern "C" void _papplDeviceAddNetworkSchemes(void);

namespace corvane {

void keepPapplDeviceSchemes() {
    _papplDeviceAddNetworkSchemes();
}

void idleDeviceClosing() { std::this_thread::sleep_for(std::chrono::milliseconds(5)); }

}  // namespace corvane
