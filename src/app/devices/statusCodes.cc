#include "app/devices/statusCodes.h"

#include <array>

namespace corvane {
namespace {

// Codes from first to last (inclusive) and their reasons. The first row
// that holds a code decides, so single codes come before their group.
struct codeRange {
    int first;
    int last;
    stateReasons reasons;
};

constexpr std::array<codeRange, 20> codeTable = {{
    {10006, 10006, reasonTonerLow},                       // toner low, still printing
    {10000, 10999, reasonNone},                           // informational: ready, warming up, busy
    {11000, 11999, reasonMediaLow},                       // background paper mount: a tray ran out, another feeds
    {12000, 12999, reasonNone},                           // background tray status (open trays below)
    {15000, 15999, reasonOther},                          // output bin full
    {20000, 27999, reasonNone},                           // PJL parser errors: about a command, not the device
    {30000, 30999, reasonOther},                          // auto-continuable conditions
    {32000, 32999, reasonNone},                           // PJL file system errors
    {35078, 35078, reasonNone},                           // power save
    {35000, 35999, reasonOther},                          // possible operator intervention
    {40000, 40000, reasonNone},                           // sleep mode
    {40021, 40021, reasonCoverOpen},                      // a door or cover is open
    {40022, 40022, reasonMediaJam},                       // paper jam
    {40038, 40038, reasonTonerLow},                       // toner low, stopped until continued
    {40079, 40079, reasonOffline},                        // taken offline at the panel
    {40000, 40999, reasonOther},                          // operator intervention needed
    {41000, 41999, reasonMediaEmpty | reasonMediaNeeded},  // load paper
    {42000, 42999, reasonMediaJam},                       // jams, by place
    {44000, 44999, reasonMediaJam},                       // jams, by place (later models)
    {43000, 59999, reasonOther},                          // paper-handling devices, hardware, personality errors
}};

// 12xyy with yy = 01: tray x is open, so paper cannot be taken from it.
bool trayOpen(int code) { return code / 1000 == 12 && code % 100 == 1; }

// Conditions that take a printer offline by themselves.
constexpr stateReasons stoppingReasons = reasonOther | reasonCoverOpen | reasonInputTrayMissing |
                                         reasonMediaEmpty | reasonMediaJam | reasonMediaNeeded |
                                         reasonOffline | reasonTonerEmpty;

}  // namespace

stateReasons reasonsOf(const deviceStatus& status) {
    stateReasons reasons = reasonNone;
    if (trayOpen(status.code)) {
        reasons = reasonInputTrayMissing;
    } else {
        for (const codeRange& row : codeTable) {
            if (status.code >= row.first && status.code <= row.last) {
                reasons = row.reasons;
                break;
            }
        }
    }
    if (!status.online && (reasons & stoppingReasons) == 0) reasons |= reasonOffline;
    return reasons;
}

std::string reasonKeywords(stateReasons reasons) {
    static constexpr std::array<const char*, 10> keywords = {
        "other",      "cover-open",    "input-tray-missing", "media-empty", "media-jam",
        "media-low",  "media-needed", "offline",            "toner-empty", "toner-low"};
    std::string text;
    for (std::size_t bit = 0; bit < keywords.size(); ++bit) {
        if ((reasons & (1u << bit)) == 0) continue;
        if (!text.empty()) text += ", ";
        text += keywords[bit];
    }
    return text.empty() ? "none" : text;
}

}  // namespace corvane
