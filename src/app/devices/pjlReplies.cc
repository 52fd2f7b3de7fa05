#include "app/devices/pjlReplies.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>
#include <string_view>

namespace corvane {
namespace {

constexpr std::string_view replyStart = "@PJL";
constexpr char formFeed = '\f';

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\0'; }

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

// Runs of blanks become one space: "@PJL  USTATUS DEVICE" is "USTATUS DEVICE".
std::string squeezed(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (isBlank(c)) {
            if (!out.empty() && out.back() != ' ') out += ' ';
        } else {
            out += c;
        }
    }
    if (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

bool startsWithWord(std::string_view text, std::string_view word) {
    if (text.size() < word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(text[i])) != word[i]) return false;
    return text.size() == word.size() || text[word.size()] == ' ';
}

std::optional<pjlReply> parseReply(std::string_view chunk) {
    const auto start = chunk.rfind(replyStart);
    if (start == std::string_view::npos) return std::nullopt;
    std::string_view rest = chunk.substr(start + replyStart.size());
    pjlReply reply;
    bool first = true;
    while (!rest.empty() || first) {
        const auto end = rest.find('\n');
        const std::string_view line = trimmed(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
        if (first) reply.head = squeezed(line);
        else if (!line.empty()) reply.lines.emplace_back(line);
        first = false;
    }
    return reply;
}

std::optional<long> number(std::string_view text) {
    text = trimmed(text);
    long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

}  // namespace

std::vector<pjlReply> pjlReplySplitter::take(std::span<const std::uint8_t> bytes) {
    std::vector<pjlReply> replies;
    std::string_view rest(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    while (!rest.empty()) {
        const auto end = rest.find(formFeed);
        pending.append(rest.substr(0, end));
        if (pending.size() > longestReply) trim();
        if (end == std::string_view::npos) break;
        if (auto reply = parseReply(pending)) replies.push_back(std::move(*reply));
        pending.clear();
        rest.remove_prefix(end + 1);
    }
    return replies;
}

// Keeps the last reply begun, if it still fits; otherwise only the bytes
// that could be the start of the next one.
void pjlReplySplitter::trim() {
    const auto start = pending.rfind(replyStart);
    if (start != std::string::npos && start > 0) pending.erase(0, start);
    if (pending.size() <= longestReply) return;
    const std::size_t keep = start == std::string::npos ? replyStart.size() - 1 : 0;
    pending.erase(0, pending.size() - keep);
}

std::optional<std::string> replyValue(const std::vector<std::string>& lines, const char* key) {
    const std::size_t keyLength = std::strlen(key);
    for (const std::string& line : lines) {
        const auto equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string_view name = trimmed(std::string_view(line).substr(0, equals));
        if (name.size() != keyLength || !startsWithWord(name, key)) continue;
        std::string_view value = trimmed(std::string_view(line).substr(equals + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        else if (!value.empty() && value.front() == '"') value.remove_prefix(1);
        return std::string(value);
    }
    return std::nullopt;
}

printerReport readReport(const pjlReply& reply) {
    printerReport report;
    const std::string_view head = reply.head;
    const auto valueOf = [&](const char* key) { return replyValue(reply.lines, key); };
    if (startsWithWord(head, "ECHO")) {
        report.what = printerReport::kind::echo;
        report.text = head.size() > 4 ? std::string(head.substr(5)) : std::string();
    } else if (startsWithWord(head, "INFO STATUS") || startsWithWord(head, "USTATUS DEVICE") ||
               startsWithWord(head, "USTATUS TIMED")) {
        const auto code = valueOf("CODE");
        const auto parsed = code ? number(*code) : std::nullopt;
        if (!parsed) return report;
        report.what = printerReport::kind::status;
        report.status.code = static_cast<int>(std::clamp<long>(*parsed, 0, 99999));
        report.status.display = valueOf("DISPLAY").value_or("");
        const auto online = valueOf("ONLINE");
        report.status.online = !online || !startsWithWord(*online, "FALSE");
    } else if (startsWithWord(head, "USTATUS JOB") && !reply.lines.empty()) {
        const std::string& event = reply.lines.front();
        if (startsWithWord(event, "START")) report.what = printerReport::kind::jobStart;
        else if (startsWithWord(event, "END")) report.what = printerReport::kind::jobEnd;
        else return report;
        report.text = valueOf("NAME").value_or("");
        if (const auto pages = valueOf("PAGES")) report.number = number(*pages).value_or(-1);
        report.result = valueOf("RESULT").value_or("");
    } else if (startsWithWord(head, "USTATUS PAGE") && !reply.lines.empty()) {
        const auto page = number(reply.lines.front());
        if (!page) return report;
        report.what = printerReport::kind::page;
        report.number = *page;
    } else if (startsWithWord(head, "INFO PAGECOUNT") && !reply.lines.empty()) {
        const auto count = number(valueOf("PAGECOUNT").value_or(reply.lines.front()));
        if (!count) return report;
        report.what = printerReport::kind::pageCount;
        report.number = *count;
    }
    return report;
}

}  // namespace corvane
