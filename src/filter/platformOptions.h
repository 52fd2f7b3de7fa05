// Option adaptation for CUPS print queues: brings the options a CUPS queue
// sends into the form the job ticket's readers expect.
#pragma once

#include "encoder/argumentStore.h"

namespace corvane {

// Runs once over the parsed options, before anyone reads them:
// - "media" absent: the value of "PageSize", else of "PageRegion", stands in.
// - "media" holding a self-describing PWG media name (iso_a4_210x297mm,
//   na_letter_8.5x11in, ...) becomes the paper size name of the same
//   dimensions, or "Custom.WxH" in points when no paper size name matches.
// - the first-page source absent and "InputSlot" present: the first page
//   comes from "InputSlot" too.
// Paper size names, "PrinterS", "11x17", "Tabloid", "Custom." sizes and any
// value libcups does not read as a PWG name pass unchanged; no other option
// is touched.
void adaptPlatformOptions(optionMap& options);

}  // namespace corvane
