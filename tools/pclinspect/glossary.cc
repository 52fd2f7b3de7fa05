#include "pclinspect/glossary.h"

#include <array>
#include <cstdio>
#include <string_view>
#include <utility>

namespace pclinspect {
namespace {

struct CommandKey {
    char parameterized, group, letter;
    std::string_view gloss;  // the meaning, the value follows where it matters
};

constexpr std::array kCommands{
    CommandKey{'*', 't', 'R', "raster resolution"},
    CommandKey{'&', 'u', 'D', "unit of measure"},
    CommandKey{'&', 'l', 'X', "copies"},
    CommandKey{'&', 'l', 'A', "page size"},
    CommandKey{'&', 'l', 'E', "top margin"},
    CommandKey{'&', 'l', 'H', "paper source"},
    CommandKey{'&', 'l', 'O', "orientation"},
    CommandKey{'&', 'f', 'G', "custom page width"},
    CommandKey{'&', 'f', 'F', "custom page length"},
    CommandKey{'&', 'n', 'W', "media type"},
    CommandKey{'*', 'p', 'X', "horizontal position"},
    CommandKey{'*', 'p', 'Y', "vertical position"},
    CommandKey{'*', 'p', 'P', "palette stack"},
    CommandKey{'*', 'v', 'W', "configure image data"},
    CommandKey{'*', 'v', 'O', "pattern transparency mode"},
    CommandKey{'*', 'v', 'N', "source transparency mode"},
    CommandKey{'*', 'l', 'O', "logical operation"},
    CommandKey{'*', 'r', 'A', "start raster graphics"},
    CommandKey{'*', 'r', 'T', "raster height"},
    CommandKey{'*', 'r', 'S', "raster width"},
    CommandKey{'*', 'r', 'C', "end raster graphics"},
    CommandKey{'*', 'r', 'B', "end raster graphics"},
    CommandKey{'*', 'b', 'M', "compression method"},
    CommandKey{'*', 'b', 'W', "raster row"},
    CommandKey{'*', 'b', 'Y', "raster y offset"},
};

const CommandKey* findCommand(char parameterized, char group, char letter) {
    for (const auto& c : kCommands)
        if (c.parameterized == parameterized && c.group == group && c.letter == letter) return &c;
    return nullptr;
}

std::string describeImageConfiguration(Bytes data) {
    if (data.size() != 6) return "configure image data, " + std::to_string(data.size()) + " bytes";
    static constexpr std::array<std::string_view, 7> spaces{
        "device RGB", "device CMY", "colorimetric RGB", "CIE L*a*b*", "luminance-chrominance", "", ""};
    static constexpr std::array<std::string_view, 4> modes{
        "indexed by plane", "indexed by pixel", "direct by plane", "direct by pixel"};
    std::string s = "configure image data: ";
    s += data[0] < 5 ? std::string(spaces[data[0]]) : "colour space " + std::to_string(data[0]);
    s += ", ";
    s += data[1] < 4 ? std::string(modes[data[1]]) : "encoding " + std::to_string(data[1]);
    s += ", " + std::to_string(data[3]) + "/" + std::to_string(data[4]) + "/" +
         std::to_string(data[5]) + " bits per primary";
    return s;
}

}  // namespace

bool isKnownCommand(char parameterized, char group, char letter) {
    return findCommand(parameterized, group, letter) != nullptr;
}

bool isKnownTwoCharacterEscape(char finalChar) { return finalChar == 'E'; }

std::string pageSizeName(int code) {
    static constexpr std::array<std::pair<int, std::string_view>, 18> names{{
        {1, "Executive"}, {2, "Letter"}, {3, "Legal"}, {4, "Folio"}, {6, "Ledger"},
        {15, "Statement"}, {24, "A6"}, {25, "A5"}, {26, "A4"}, {27, "A3"},
        {45, "B5 (JIS)"}, {46, "B4 (JIS)"}, {80, "Monarch envelope"}, {81, "Com-10 envelope"},
        {89, "C4 envelope"}, {90, "DL envelope"}, {91, "C5 envelope"}, {100, "B5 envelope"}}};
    std::string name = code == 101 ? "custom" : "code";
    for (const auto& [c, n] : names)
        if (c == code) name = n;
    return name + " (" + std::to_string(code) + ")";
}

std::string paperSourceName(int code) {
    std::string name;
    switch (code) {
        case 0: name = "current source"; break;
        case 1: name = "main tray"; break;
        case 2: name = "manual feed"; break;
        case 3: name = "manual envelope feed"; break;
        case 4: name = "lower tray"; break;
        case 5: name = "large-capacity tray"; break;
        case 6: name = "envelope feeder"; break;
        case 7: name = "auto select"; break;
        case 8: name = "multipurpose tray"; break;
        default: name = "tray code"; break;
    }
    return name + " (" + std::to_string(code) + ")";
}

std::string compressionName(int method) {
    switch (method) {
        case 0: return "unencoded";
        case 1: return "run-length";
        case 2: return "TIFF";
        case 3: return "delta row";
        case 5: return "adaptive";
        default: return "method " + std::to_string(method);
    }
}

std::string describeParameter(char parameterized, char group, const Parameter& p, Bytes stream) {
    const CommandKey* key = findCommand(parameterized, group, p.letter);
    if (key == nullptr) return "unknown command";
    const std::string gloss(key->gloss);
    const std::string& v = p.value.empty() ? std::string("0") : p.value;
    const int n = static_cast<int>(numericValue(p));
    const Bytes payload = stream.subspan(p.payloadOffset, p.payloadLength);
    switch (parameterized << 16 | group << 8 | p.letter) {
        case '*' << 16 | 't' << 8 | 'R': return gloss + " " + v + " dpi";
        case '&' << 16 | 'u' << 8 | 'D': return gloss + " " + v + " units per inch";
        case '&' << 16 | 'l' << 8 | 'A': return gloss + " " + pageSizeName(n);
        case '&' << 16 | 'l' << 8 | 'E': return gloss + " " + v + " lines";
        case '&' << 16 | 'l' << 8 | 'H': return gloss + " " + paperSourceName(n);
        case '&' << 16 | 'f' << 8 | 'G':
        case '&' << 16 | 'f' << 8 | 'F': return gloss + " " + v + " in";
        case '&' << 16 | 'n' << 8 | 'W':
            if (!payload.empty() && payload[0] == 'd')
                return gloss + " \"" + printableText(payload.subspan(1)) + "\"";
            return gloss + ", " + std::to_string(payload.size()) + " bytes";
        case '*' << 16 | 'p' << 8 | 'P': return n == 0 ? "push palette" : n == 1 ? "pop palette" : gloss + " " + v;
        case '*' << 16 | 'v' << 8 | 'W': return describeImageConfiguration(payload);
        case '*' << 16 | 'l' << 8 | 'O': return gloss + " " + v + (n == 252 ? " (source OR texture)" : "");
        case '*' << 16 | 'r' << 8 | 'A':
            return gloss + (n == 1 ? " at the cursor" : n == 0 ? " at the left edge" : " mode " + v);
        case '*' << 16 | 'r' << 8 | 'T': return gloss + " " + v + " rows";
        case '*' << 16 | 'r' << 8 | 'S': return gloss + " " + v + " pixels";
        case '*' << 16 | 'r' << 8 | 'C':
        case '*' << 16 | 'r' << 8 | 'B': return gloss;
        case '*' << 16 | 'b' << 8 | 'M': return gloss + " " + v + " (" + compressionName(n) + ")";
        case '*' << 16 | 'b' << 8 | 'W': return gloss + ", " + v + " bytes";
        case '*' << 16 | 'b' << 8 | 'Y': return gloss + " " + v + " rows";
        default: return gloss + " " + v;
    }
}

std::string hexBytes(Bytes bytes) {
    std::string out;
    char buf[4];
    for (std::uint8_t b : bytes) {
        std::snprintf(buf, sizeof buf, "%02X", b);
        if (!out.empty()) out += ' ';
        out += buf;
    }
    return out;
}

std::string printableText(Bytes bytes) {
    std::string out;
    char buf[8];
    for (std::uint8_t b : bytes) {
        if (b == 0x1B) {
            out += "ESC";
        } else if (b >= 0x20 && b < 0x7F) {
            out += static_cast<char>(b);
        } else {
            std::snprintf(buf, sizeof buf, "\\x%02X", b);
            out += buf;
        }
    }
    return out;
}

std::string escapeText(const Token& t, Bytes stream) {
    std::string out;
    std::size_t at = t.offset;
    for (const Parameter& p : t.params) {
        if (!p.hasPayload) continue;
        out += printableText(stream.subspan(at, p.payloadOffset - at));
        at = p.payloadOffset + p.payloadLength;
    }
    out += printableText(stream.subspan(at, t.offset + t.length - at));
    return out;
}

}  // namespace pclinspect
