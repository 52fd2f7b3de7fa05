// The printer's PJL status codes as IPP printer-state-reasons. The code says
// what is wrong; the panel text beside it is localized and only shown.
#pragma once

#include <cstdint>
#include <string>

#include "app/devices/pjlReplies.h"

namespace corvane {

// IPP printer-state-reasons keywords the codes map onto, as bits. An open
// door is "cover-open": PAPPL (1.3.1 and 1.4.11 alike) leaves "door-open"
// out of printer-state-reasons, and with it alone sends no reasons at all.
enum stateReason : std::uint32_t {
    reasonNone = 0,
    reasonOther = 1u << 0,
    reasonCoverOpen = 1u << 1,  // a door or cover
    reasonInputTrayMissing = 1u << 2,
    reasonMediaEmpty = 1u << 3,
    reasonMediaJam = 1u << 4,
    reasonMediaLow = 1u << 5,
    reasonMediaNeeded = 1u << 6,
    reasonOffline = 1u << 7,
    reasonTonerEmpty = 1u << 8,
    reasonTonerLow = 1u << 9,
};
using stateReasons = std::uint32_t;

// The reasons of a status report. ONLINE=FALSE adds "offline" unless the
// code itself says why the printer stopped.
stateReasons reasonsOf(const deviceStatus& status);

// "media-jam, offline": the keywords of the bits, for logs and tests.
std::string reasonKeywords(stateReasons reasons);

}  // namespace corvane
