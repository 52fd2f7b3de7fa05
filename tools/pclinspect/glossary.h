// What the PCL commands of a printer stream mean: command recognition and
// readable names for the codes they carry. Written from the PCL 5 command
// set, independently of the filter's own tables.
#pragma once

#include <string>

#include "pclinspect/tokenizer.h"

namespace pclinspect {

// True when the command ESC <parameterized><group>#<letter> is one this reader understands.
bool isKnownCommand(char parameterized, char group, char letter);
bool isKnownTwoCharacterEscape(char finalChar);

// A short gloss of one parameter of an escape ("page size A4 (26)"). Raster
// transfers get their row context from the decoder, not from here.
std::string describeParameter(char parameterized, char group, const Parameter& p, Bytes stream);

std::string pageSizeName(int code);    // "A4 (26)"
std::string paperSourceName(int code); // "main tray (1)"
std::string compressionName(int method);

// Readable form of raw bytes: printable ASCII as is, ESC as "ESC", others \xNN.
std::string printableText(Bytes bytes);
// "00 03 00 08 08 08"
std::string hexBytes(Bytes bytes);
// The escape sequence as text without its payloads: "ESC*r6600t5100S".
std::string escapeText(const Token& t, Bytes stream);

}  // namespace pclinspect
