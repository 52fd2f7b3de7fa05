// What a PJL printer says on its back channel, read from raw bytes: replies
// to INFO and ECHO, and the unsolicited USTATUS reports. Each one starts
// with "@PJL" and ends with a form feed; they arrive split across reads,
// several in one read, with unsolicited reports between them, and a printer
// may send garbage (a PostScript ^D, a half-written reply after a reset).
// Pure: bytes in, reports out, with a fixed bound on what is kept.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace corvane {

// One reply as sent: the words after "@PJL" on its first line ("INFO
// STATUS", "USTATUS DEVICE", "ECHO some text"), then its other lines, with
// line ends and surrounding blanks taken off and empty lines left out.
struct pjlReply {
    std::string head;
    std::vector<std::string> lines;
};

// Cuts a byte stream into replies. Bytes before "@PJL" are dropped; a reply
// longer than longestReply is dropped whole, so a printer that floods or
// never ends a reply costs at most that much memory.
class pjlReplySplitter {
public:
    static constexpr std::size_t longestReply = 4096;

    // The replies completed by these bytes, in order.
    std::vector<pjlReply> take(std::span<const std::uint8_t> bytes);
    std::size_t buffered() const { return pending.size(); }

private:
    void trim();
    std::string pending;
};

// The printer's state as INFO STATUS and USTATUS DEVICE (or TIMED) tell it.
struct deviceStatus {
    int code = 0;
    std::string display;  // the panel's text, in the panel's language
    bool online = true;
};

// What one reply means to the app.
struct printerReport {
    enum class kind { status, jobStart, jobEnd, page, echo, pageCount, other };
    kind what = kind::other;
    deviceStatus status;     // status
    std::string text;        // jobStart, jobEnd: NAME; echo: the echoed words
    long number = -1;        // page: its number; jobEnd: PAGES; pageCount: the count
    std::string result;      // jobEnd: RESULT ("OK", "USER_CANCELED", ...), when given
};

printerReport readReport(const pjlReply& reply);

// The value of "KEY=value" or "KEY = value" among the lines (quotes taken
// off), compared without regard to case; nothing when absent.
std::optional<std::string> replyValue(const std::vector<std::string>& lines, const char* key);

}  // namespace corvane
