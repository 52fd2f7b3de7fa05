// The job options string of a CUPS filter, turned into the encoder's ticket.
#pragma once

#include <functional>
#include <string>

#include "encoder/argumentStore.h"

namespace corvane {

// Runs once over the decoded options before the ticket is read by anyone;
// used for platform adaptations of option values.
using optionAdaptation = std::function<void(optionMap&)>;

// Splits a CUPS options string (name=value pairs) with cupsParseOptions,
// undoes the print dialogue's escapes in every value (a later option replaces
// an earlier one of the same name) and applies `adapt`.
ticketRef ticketFromOptionString(const char* optionString, const optionAdaptation& adapt = {});

// Replaces the six "<hh>" escapes the print dialogue writes (see .cc).
std::string decodeEscapes(std::string value);

}  // namespace corvane
