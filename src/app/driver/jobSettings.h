// The job settings a client sends over IPP, turned into the encoder's job
// ticket with the same keys and values a CUPS queue gives the filter, so
// that both front ends write the same bytes for the same settings.
#pragma once

#include <optional>
#include <string>

#include "encoder/argumentStore.h"

namespace corvane {

struct ippJobSettings {
    // The paper size in hundredths of a millimetre; when unknown (0), the
    // PWG media name ("iso_a4_210x297mm") stands for it.
    int mediaWidth = 0;
    int mediaLength = 0;
    std::string mediaName;
    std::string source;     // "media-source" keyword, "auto" or empty for none
    std::string type;       // "media-type" keyword, "auto" or empty for none
    std::optional<int> darkness;  // 1 (lightest) to 5; empty: the printer's own
    bool tonerSave = false;
    std::string jobName;    // UTF-8
    // Copies the printer is to make from pages sent once (raster documents;
    // images and PDF documents are sent once per copy), in document order
    // or each page's copies together.
    int copies = 1;
    bool collated = true;
};

// The ticket's options: "media" (a paper size name or "Custom.WxH" in
// points, by the filter's own option adaptation), "InputSlot" and the
// first-page source, "MediaType", "TonerDarkness", the PJL job name, and
// copies with their collation when there is more than one. Settings that
// mean "the printer decides" leave their key out.
optionMap ticketOptions(const ippJobSettings& settings);

// The same options as a ticket whose text is UTF-8.
ticketRef jobTicket(const ippJobSettings& settings);

}  // namespace corvane
