// Numbers read from the start of an option value, the way the print dialogue
// writes them. Pure.
#pragma once

#include <cstdint>
#include <string_view>

namespace corvane {

// The leading decimal integer: white space skipped, an optional sign, digits
// up to the first other character. No digits reads as 0; values beyond the
// 32-bit range read as the nearest limit.
std::int32_t readLeadingInteger(std::string_view text);

// The leading decimal number: white space skipped, an optional sign, digits
// with an optional decimal point and an optional exponent. Infinity, NaN and
// hexadecimal forms are not numbers here. No number reads as 0; values beyond
// the float range read as the nearest finite limit.
float readLeadingDecimal(std::string_view text);

}  // namespace corvane
