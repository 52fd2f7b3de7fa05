#include "app/devices/statusCommands.h"

#include <initializer_list>

namespace corvane {
namespace {

constexpr std::string_view uel = "\x1b%-12345X";
constexpr std::size_t longestQuotedText = 80;

std::string block(std::initializer_list<std::string> commands) {
    std::string text(uel);
    text += "@PJL\r\n";
    for (const std::string& command : commands) text += "@PJL " + command + "\r\n";
    text += uel;
    return text;
}

bool continuesCharacter(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

}  // namespace

std::string echoWords(std::string_view token, std::string_view when) {
    return "corvane " + std::string(token) + " " + std::string(when);
}

std::string endOfJobName(std::string_view token) { return "corvane " + std::string(token); }

std::string openingBlock(std::string_view token) {
    return block({"USTATUS DEVICE=ON", "USTATUS JOB=ON", "USTATUS PAGE=ON", "ECHO " + echoWords(token, "start")});
}

std::string closingBlock(std::string_view token) {
    return block({"EOJ NAME=\"" + endOfJobName(token) + "\"", "ECHO " + echoWords(token, "end")});
}

std::string statusOffBlock() { return block({"USTATUSOFF"}); }

std::string statusQueryBlock() { return block({"INFO STATUS"}); }

std::string panelMessageBlock(std::string_view text) {
    return block({"RDYMSG DISPLAY=\"" + pjlQuotedText(text) + "\""});
}

std::string pjlQuotedText(std::string_view text) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) out += ' ';
        else if (c == '"') out += '\'';
        else out += c;
    }
    if (out.size() > longestQuotedText) {
        std::size_t cut = longestQuotedText;
        while (cut > 0 && continuesCharacter(out[cut])) --cut;
        out.resize(cut);
    }
    return out;
}

}  // namespace corvane
