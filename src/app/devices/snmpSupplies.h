// A network printer's supplies, read from its Printer MIB over SNMPv1
// (community "public") and given as PAPPL's supply records: what the
// printer reports, its toners, drum, waste box and so on, and nothing when
// it does not answer. Each question waits a second for its answer and is
// asked twice.
#pragma once

#include <string>

#include <pappl/pappl.h>

namespace corvane {

// The number of supplies written to `supplies` (at most `most`).
int readPrinterSupplies(const std::string& host, int port, int most, pappl_supply_t* supplies);

}  // namespace corvane
