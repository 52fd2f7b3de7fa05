#include "pclinspect/tokenizer.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace pclinspect {
namespace {

constexpr std::uint8_t kEsc = 0x1B;
constexpr std::uint8_t kFormFeed = 0x0C;
constexpr std::string_view kUel = "\x1b%-12345X";
constexpr std::string_view kPjlPrefix = "@PJL";

bool startsWith(Bytes s, std::size_t at, std::string_view text) {
    if (s.size() - at < text.size()) return false;
    return std::equal(text.begin(), text.end(), s.begin() + static_cast<std::ptrdiff_t>(at),
                      [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
}

bool isParameterizedChar(std::uint8_t c) { return c >= 0x21 && c <= 0x2F; }
bool isGroupChar(std::uint8_t c) { return c >= 0x60 && c <= 0x7E; }
bool isTerminator(std::uint8_t c) { return c >= 0x40 && c <= 0x5E; }
bool isContinuation(std::uint8_t c) { return c >= 0x60 && c <= 0x7E; }

std::string hexByte(std::uint8_t c) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02X", c);
    return buf;
}

// "@PJL ENTER LANGUAGE = PCL" in any case and spacing switches the printer to PCL.
bool entersPcl(std::string_view line) {
    std::string squeezed;
    for (char c : line)
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
            squeezed.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    return squeezed == "@PJLENTERLANGUAGE=PCL";
}

// Does data follow this parameter? Raster rows, image configuration, media
// type and fonts all use W; transparent print data uses ESC&p#X.
bool carriesPayload(const Token& t, char letter) {
    return letter == 'W' || (t.parameterized == '&' && t.group == 'p' && letter == 'X');
}

// Parses the escape sequence starting at `at` (an ESC not followed by ESC).
Token parseEscape(Bytes s, std::size_t at) {
    Token t;
    t.offset = at;
    std::size_t j = at + 1;
    auto fail = [&](std::string why) {
        t.kind = TokenKind::malformed;
        t.problem = std::move(why);
        t.length = std::max<std::size_t>(j - at, 1);
        t.params.clear();
        return t;
    };
    if (j >= s.size()) return fail("ESC at the end of the stream");
    const std::uint8_t first = s[j];
    if (!isParameterizedChar(first)) {
        if (first >= 0x30 && first <= 0x7E) {
            t.kind = TokenKind::escape;
            t.finalChar = static_cast<char>(first);
            t.length = 2;
            return t;
        }
        j = at + 1;
        return fail("ESC followed by " + hexByte(first));
    }
    t.parameterized = static_cast<char>(first);
    ++j;
    if (j < s.size() && isGroupChar(s[j])) t.group = static_cast<char>(s[j++]);
    for (;;) {
        Parameter p;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) p.value.push_back(static_cast<char>(s[j++]));
        bool seenPoint = false;
        while (j < s.size() && (std::isdigit(s[j]) || (s[j] == '.' && !seenPoint))) {
            seenPoint = seenPoint || s[j] == '.';
            p.value.push_back(static_cast<char>(s[j++]));
        }
        if (j >= s.size()) return fail("escape sequence cut off by the end of the stream");
        const std::uint8_t c = s[j];
        if (!isTerminator(c) && !isContinuation(c))
            return fail("unexpected byte " + hexByte(c) + " in escape sequence");
        ++j;
        p.letter = static_cast<char>(std::toupper(c));
        if (carriesPayload(t, p.letter)) {
            const long count = countValue(p);
            if (count < 0) return fail("data count \"" + p.value + "\" is not a byte count");
            p.hasPayload = true;
            p.payloadOffset = j;
            p.payloadLength = std::min<std::size_t>(static_cast<std::size_t>(count), s.size() - j);
            p.payloadTruncated = p.payloadLength < static_cast<std::size_t>(count);
            j += p.payloadLength;
        }
        t.params.push_back(std::move(p));
        if (isTerminator(c)) break;
    }
    t.kind = TokenKind::escape;
    t.length = j - at;
    return t;
}

}  // namespace

double numericValue(const Parameter& p) {
    return p.value.empty() ? 0.0 : std::strtod(p.value.c_str(), nullptr);
}

long countValue(const Parameter& p) {
    if (p.value.empty()) return 0;
    std::size_t i = p.value[0] == '+' ? 1 : 0;
    if (i == p.value.size()) return -1;
    long n = 0;
    for (; i < p.value.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(p.value[i]))) return -1;
        n = n * 10 + (p.value[i] - '0');
        if (n > 100'000'000) return -1;
    }
    return n;
}

std::vector<Token> tokenize(Bytes s) {
    bool pjlMode = true;  // a printer starts at the PJL level
    return tokenize(s, pjlMode);
}

std::vector<Token> tokenize(Bytes s, bool& pjlMode) {
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < s.size()) {
        Token t;
        t.offset = i;
        if (s[i] == kEsc && i + 1 < s.size() && s[i + 1] == kEsc) {
            std::size_t j = i;
            while (j + 1 < s.size() && s[j] == kEsc && s[j + 1] == kEsc) ++j;
            t.kind = TokenKind::escapeRun;
            t.length = j - i;
        } else if (startsWith(s, i, kUel)) {
            t.kind = TokenKind::uel;
            t.length = kUel.size();
            pjlMode = true;
        } else if (s[i] == kEsc) {
            t = parseEscape(s, i);
            if (t.kind == TokenKind::escape) pjlMode = false;
        } else if (s[i] == kFormFeed) {
            t.kind = TokenKind::formFeed;
            t.length = 1;
        } else if (pjlMode && startsWith(s, i, kPjlPrefix)) {
            const auto end = std::find(s.begin() + static_cast<std::ptrdiff_t>(i), s.end(), '\n');
            t.kind = TokenKind::pjlLine;
            t.unterminated = end == s.end();
            t.length = static_cast<std::size_t>(end - s.begin()) - i + (t.unterminated ? 0 : 1);
            std::string_view line(reinterpret_cast<const char*>(s.data() + i), t.length);
            if (entersPcl(line)) pjlMode = false;
        } else {
            std::size_t j = i;
            while (j < s.size() && s[j] != kEsc && s[j] != kFormFeed &&
                   !(pjlMode && startsWith(s, j, kPjlPrefix)))
                ++j;
            t.kind = TokenKind::stray;
            t.length = j - i;
        }
        i += t.length;
        tokens.push_back(std::move(t));
    }
    return tokens;
}

}  // namespace pclinspect
