#include "encoder/optionNumbers.h"

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

namespace corvane {
namespace {

bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::size_t skipSpace(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isSpace(text[i])) ++i;
    return i;
}

std::size_t skipDigits(std::string_view text, std::size_t i) {
    while (i < text.size() && isDigit(text[i])) ++i;
    return i;
}

}  // namespace

std::int32_t readLeadingInteger(std::string_view text) {
    std::size_t i = skipSpace(text);
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    // Accumulate as a negative number so INT32_MIN is reachable.
    constexpr std::int64_t limit = std::numeric_limits<std::int32_t>::max();
    std::int64_t magnitude = 0;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > limit + 1) magnitude = limit + 1;  // saturated
    }
    if (negative) return static_cast<std::int32_t>(-magnitude);
    return static_cast<std::int32_t>(magnitude > limit ? limit : magnitude);
}

float readLeadingDecimal(std::string_view text) {
    const std::size_t start = skipSpace(text);
    std::size_t i = start;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    const std::size_t integerEnd = skipDigits(text, i);
    std::size_t end = integerEnd;
    bool hasDigits = integerEnd > i;
    if (end < text.size() && text[end] == '.') {
        const std::size_t fractionEnd = skipDigits(text, end + 1);
        hasDigits = hasDigits || fractionEnd > end + 1;
        end = fractionEnd;
    }
    if (!hasDigits) return 0.0f;
    if (end < text.size() && (text[end] == 'e' || text[end] == 'E')) {
        std::size_t exponent = end + 1;
        if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-')) ++exponent;
        const std::size_t exponentEnd = skipDigits(text, exponent);
        if (exponentEnd > exponent) end = exponentEnd;
    }
    // The text has been checked to be a plain decimal, so strtof sees no
    // "inf", "nan" or "0x" forms; it rounds to the nearest float.
    const std::string number(text.substr(start, end - start));
    const float value = std::strtof(number.c_str(), nullptr);
    if (std::isinf(value)) return value < 0 ? -FLT_MAX : FLT_MAX;
    return value;
}

}  // namespace corvane
