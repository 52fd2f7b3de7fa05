// Text output of pclinspect: the listing, the summary and the problem list.
// Pure formatting of a decoded Job.
#pragma once

#include <string>

#include "pclinspect/jobDecoder.h"

namespace pclinspect {

// One line per piece of the stream: byte offset, the piece, its meaning.
std::string formatListing(const Job& job, Bytes stream);
// Job name, PJL settings, copies and collation, pages with their settings and raster statistics.
std::string formatSummary(const Job& job);
// One line per problem ("offset: message"), or "no problems".
std::string formatProblems(const Job& job);

}  // namespace pclinspect
