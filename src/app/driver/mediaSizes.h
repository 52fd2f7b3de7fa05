// The paper the printer takes, as its IPP attributes list it.
#pragma once

#include <array>

namespace corvane {

// The filter's paper sizes as PWG names with their true dimensions (B4 and
// B5 are the JIS sizes, iso_b5 is the ISO B5 envelope), then the custom
// range of the printer: 3 x 5 to 12 x 18 inches.
inline constexpr std::array<const char*, 19> mediaNames = {
    "na_letter_8.5x11in",      "na_legal_8.5x14in",    "iso_a3_297x420mm",
    "iso_a4_210x297mm",        "iso_a5_148x210mm",     "iso_a6_105x148mm",
    "jis_b4_257x364mm",        "jis_b5_182x257mm",     "na_executive_7.25x10.5in",
    "na_foolscap_8.5x13in",    "na_invoice_5.5x8.5in", "na_monarch_3.875x7.5in",
    "iso_c4_229x324mm",        "na_number-10_4.125x9.5in", "iso_dl_110x220mm",
    "iso_c5_162x229mm",        "iso_b5_176x250mm",     "custom_min_3x5in",
    "custom_max_12x18in",
};

// The custom range in hundredths of a millimetre, as the last two names say.
inline constexpr int customMinWidth = 7620, customMinLength = 12700;
inline constexpr int customMaxWidth = 30480, customMaxLength = 45720;

}  // namespace corvane
