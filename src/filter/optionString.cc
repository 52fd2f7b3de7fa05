#include "filter/optionString.h"

#include <array>
#include <cups/cups.h>

namespace corvane {
namespace {

// The escapes the print dialogue writes into option values, in the order they
// are undone. Only these six are decoded; any other "<hh>" stays as it is.
struct escapePass {
    std::string_view hexDigits;  // the two characters between the brackets
    char replacement;
};
constexpr std::array<escapePass, 6> escapePasses = {{
    {"27", '\''}, {"3D", '='}, {"20", ' '}, {"2C", ','}, {"3C", '<'}, {"3E", '>'},
}};

char upperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool matchesEscape(std::string_view text, std::size_t at, std::string_view hexDigits) {
    return text[at] == '<' && upperAscii(text[at + 1]) == hexDigits[0] &&
           upperAscii(text[at + 2]) == hexDigits[1] && text[at + 3] == '>';
}

// One replace-all pass: scans the input once, so text it produces is never
// searched again by the same pass.
std::string replaceEscape(std::string_view text, const escapePass& pass) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        if (i + 4 <= text.size() && matchesEscape(text, i, pass.hexDigits)) {
            out.push_back(pass.replacement);
            i += 4;
        } else {
            out.push_back(text[i++]);
        }
    }
    return out;
}

// Frees the option array of cupsParseOptions however construction ends.
class parsedOptions {
public:
    explicit parsedOptions(const char* text) : count(cupsParseOptions(text, 0, &list)) {}
    ~parsedOptions() { cupsFreeOptions(count, list); }
    parsedOptions(const parsedOptions&) = delete;
    parsedOptions& operator=(const parsedOptions&) = delete;
    int size() const { return count; }
    const cups_option_t& operator[](int i) const { return list[i]; }

private:
    cups_option_t* list = nullptr;
    int count;
};

}  // namespace

std::string decodeEscapes(std::string value) {
    if (value.size() < 4) return value;
    for (const auto& pass : escapePasses) value = replaceEscape(value, pass);
    return value;
}

ticketRef ticketFromOptionString(const char* optionString, const optionAdaptation& adapt) {
    const parsedOptions parsed(optionString);
    optionMap options;
    options.reserve(static_cast<std::size_t>(parsed.size()));
    for (int i = 0; i < parsed.size(); ++i) {
        const char* value = parsed[i].value ? parsed[i].value : "";
        // Later options replace earlier ones with the same key.
        options[parsed[i].name] = decodeEscapes(value);
    }
    if (adapt) adapt(options);
    return std::make_shared<const argumentStore>(std::move(options), ticketText::macRoman);
}

}  // namespace corvane
