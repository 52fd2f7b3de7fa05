// The PJL blocks the app adds around a job's stream, and sends on its own,
// to hear from the printer. Each is a block of its own: a UEL, "@PJL" lines
// and a UEL, so the job's bytes between them stay exactly as the filter
// makes them.
#pragma once

#include <string>
#include <string_view>

namespace corvane {

// Before a job's first byte: unsolicited status for the device, the job
// and each printed page, then an echo that tells where this job's replies
// begin.
std::string openingBlock(std::string_view token);
// After the job's closing UEL: ends the PJL job under the token's name, so
// that the printer's end-of-job report is this job's, and asks for the
// closing echo.
std::string closingBlock(std::string_view token);
// After the end of the job: no more unsolicited status on this connection.
std::string statusOffBlock();
// While idle: the printer's status now.
std::string statusQueryBlock();
// The ready message of the printer's panel; an empty text restores the
// printer's own.
std::string panelMessageBlock(std::string_view text);

// The words the printer echoes for a token: "corvane TOKEN start" / "... end".
std::string echoWords(std::string_view token, std::string_view when);
// The job name in the closing block: "corvane TOKEN".
std::string endOfJobName(std::string_view token);

// Text that can stand inside a quoted PJL value: control characters become
// spaces and double quotes single ones; at most 80 bytes, cut between
// UTF-8 characters.
std::string pjlQuotedText(std::string_view text);

}  // namespace corvane
