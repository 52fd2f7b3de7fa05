#include "printersink/printerModel.h"

#include <algorithm>
#include <cctype>
#include <sstream>

#include "pclinspect/tokenizer.h"

namespace printersink {
namespace {

constexpr std::size_t mostReplyBytes = 8 << 20;  // what a flood may queue

std::string upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// The text between the first and the last double quote, if any.
std::string quoted(const std::string& text) {
    const auto open = text.find('"'), close = text.rfind('"');
    return open == std::string::npos || close == open ? std::string() : text.substr(open + 1, close - open - 1);
}

// "text" with its quotes (appended piece by piece: GCC 12 warns wrongly about
// a quote + string + quote expression).
std::string inQuotes(const std::string& text) {
    std::string out(1, '"');
    out += text;
    out += '"';
    return out;
}

bool startsWith(const std::string& text, const std::string& word) { return text.rfind(word, 0) == 0; }

// ON, VERBOSE or OFF after the '=' of a USTATUS command.
bool switchedOn(const std::string& command) {
    const auto equals = command.find('=');
    const std::string value = equals == std::string::npos ? std::string() : trimmed(command.substr(equals + 1));
    return value == "ON" || value == "VERBOSE";
}

bool entersPcl(std::string line) {
    line.erase(std::remove_if(line.begin(), line.end(), [](char c) { return std::isspace(static_cast<unsigned char>(c)); }),
               line.end());
    return upper(line) == "@PJLENTERLANGUAGE=PCL";
}

// The last token may be cut off by the end of what has arrived so far.
bool mayContinue(const pclinspect::Token& token, std::span<const std::uint8_t> bytes, bool pjlMode) {
    using pclinspect::TokenKind;
    switch (token.kind) {
        case TokenKind::pjlLine: return token.unterminated;
        case TokenKind::escapeRun:
        case TokenKind::malformed: return true;
        case TokenKind::escape:
            return std::any_of(token.params.begin(), token.params.end(), [](const auto& p) { return p.payloadTruncated; });
        case TokenKind::stray: {
            const std::string_view start = "@PJL";
            const std::string_view text(reinterpret_cast<const char*>(bytes.data() + token.offset), token.length);
            return pjlMode && text.size() < start.size() && start.starts_with(text);
        }
        default: return false;
    }
}

}  // namespace

void printerModel::connectionOpened() {
    deviceReports = jobReports = pageReports = false;
    connectionPrints = false;
    pjlMode = true;
    pending.clear();
    ++connection;
}

void printerModel::connectionClosed() {
    deviceReports = jobReports = pageReports = false;
    pending.clear();
}

void printerModel::receive(std::span<const std::uint8_t> bytes, clock::time_point now) {
    pending.insert(pending.end(), bytes.begin(), bytes.end());
    scan(now);
    advance(now);
}

void printerModel::scan(clock::time_point now) {
    bool mode = pjlMode;
    const auto tokens = pclinspect::tokenize(pending, mode);
    std::size_t used = 0;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const pclinspect::Token& token = tokens[i];
        if (i + 1 == tokens.size() && mayContinue(token, pending, pjlMode)) break;
        using pclinspect::TokenKind;
        if (token.kind == TokenKind::uel) {
            pjlMode = true;
        } else if (token.kind == TokenKind::escape) {
            pjlMode = false;
            connectionPrints = true;
        } else if (token.kind == TokenKind::formFeed && !pjlMode) {
            connectionPrints = true;
            pageReceived(now);
        } else if (token.kind == TokenKind::pjlLine) {
            const std::string line(pending.begin() + static_cast<std::ptrdiff_t>(token.offset),
                                   pending.begin() + static_cast<std::ptrdiff_t>(token.offset + token.length));
            if (entersPcl(line)) pjlMode = false;
            pjlCommand(line, now);
        }
        used = token.offset + token.length;
    }
    pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(used));
}

void printerModel::pjlCommand(std::string line, clock::time_point) {
    line = trimmed(line.substr(4));  // after "@PJL"
    const std::string command = upper(line);
    if (startsWith(command, "ECHO")) {
        const std::string words = trimmed(line.substr(4));
        reply(words.empty() ? std::string("ECHO") : "ECHO " + words, {});
    } else if (command == "INFO STATUS") {
        reply("INFO STATUS", statusLines());
    } else if (command == "INFO PAGECOUNT") {
        const std::string count = std::to_string(pagesPrintedTotal);
        reply("INFO PAGECOUNT", {set.spaced ? count : pair("PAGECOUNT", count)});
    } else if (command == "INFO ID") {
        reply("INFO ID", {"\"CORVANE STAND-IN\""});
    } else if (command == "USTATUSOFF") {
        deviceReports = jobReports = pageReports = false;
    } else if (startsWith(command, "USTATUS DEVICE")) {
        deviceReports = switchedOn(command);
    } else if (startsWith(command, "USTATUS JOB")) {
        jobReports = switchedOn(command);
    } else if (startsWith(command, "USTATUS PAGE")) {
        pageReports = switchedOn(command);
    } else if (command == "JOB" || startsWith(command, "JOB ")) {
        job started;
        started.name = quoted(line);
        started.connection = connection;
        jobs.push_back(std::move(started));
        ++jobsSeen;
        if (jobReports) reply("USTATUS JOB", {"START", pair("NAME", inQuotes(jobs.back().name))});
    } else if (command == "EOJ" || startsWith(command, "EOJ ")) {
        const auto open = std::find_if(jobs.rbegin(), jobs.rend(),
                                       [&](const job& j) { return !j.ended && j.connection == connection; });
        if (open == jobs.rend()) return;  // an EOJ without its JOB is ignored
        open->ended = true;
        open->endName = quoted(line);
        endIfDone(*open);
    } else if (startsWith(command, "RDYMSG")) {
        readyMessage = quoted(line);
    }
}

void printerModel::pageReceived(clock::time_point) {
    auto open = std::find_if(jobs.rbegin(), jobs.rend(), [&](const job& j) { return !j.ended && j.connection == connection; });
    if (open == jobs.rend()) {
        job unnamed;  // print data without a PJL job
        unnamed.connection = connection;
        jobs.push_back(std::move(unnamed));
        open = jobs.rbegin();
    }
    ++open->pagesReceived;
    queue.push_back(firstJob + static_cast<std::size_t>(jobs.rend() - open - 1));
}

void printerModel::advance(clock::time_point now) {
    while (!queue.empty() && !current.stops) {
        job& printing = jobs[queue.front() - firstJob];
        const long page = printing.pagesPrinted + 1;
        if (jamAt && page == *jamAt) {
            jamAt.reset();
            setStatus({40022, "PAPER JAM", false, true});
            return;
        }
        if (!nextPageAt) nextPageAt = now + set.pageTime;
        if (now < *nextPageAt) return;
        nextPageAt.reset();
        queue.pop_front();
        ++printing.pagesPrinted;
        ++pagesPrintedTotal;
        if (pageReports && printing.connection == connection) reply("USTATUS PAGE", {std::to_string(page)});
        endIfDone(printing);
    }
    // Jobs that are done and reported are forgotten.
    while (!jobs.empty() && (queue.empty() || queue.front() > firstJob) &&
           (jobs.front().reported || jobs.front().connection != connection) &&
           jobs.front().pagesPrinted == jobs.front().pagesReceived) {
        jobs.pop_front();
        ++firstJob;
    }
}

std::optional<clock::time_point> printerModel::nextEvent() const {
    if (queue.empty() || current.stops) return std::nullopt;
    return nextPageAt.value_or(clock::time_point{});
}

bool printerModel::takesData() const { return !(current.stops && queue.size() >= 2); }

void printerModel::endIfDone(job& done) {
    if (!done.ended || done.reported || done.pagesPrinted < done.pagesReceived) return;
    done.reported = true;
    if (jobReports && done.connection == connection)
        reply("USTATUS JOB", {"END", pair("NAME", inQuotes(done.endName)), pair("PAGES", std::to_string(done.pagesPrinted)),
                              pair("RESULT", "OK")});
}

void printerModel::setStatus(const status& next) {
    const bool changed = next.code != current.code || next.display != current.display || next.online != current.online;
    current = next;
    if (changed && deviceReports) reply("USTATUS DEVICE", statusLines());
}

std::string printerModel::panel() const {
    return current.code == 10001 && !readyMessage.empty() ? readyMessage : current.display;
}

std::vector<std::string> printerModel::statusLines() const {
    return {pair("CODE", std::to_string(current.code)), pair("DISPLAY", inQuotes(panel())),
            pair("ONLINE", current.online ? "TRUE" : "FALSE")};
}

std::string printerModel::pair(const std::string& key, const std::string& value) const {
    return key + (set.spaced ? " = " : "=") + value;
}

void printerModel::reply(const std::string& head, const std::vector<std::string>& lines) {
    if (set.silent || replies.size() > mostReplyBytes) return;
    const char* end = set.spaced ? "\n" : "\r\n";
    replies += "@PJL " + head + end;
    for (const std::string& line : lines) replies += line + end;
    replies += '\f';
}

std::string printerModel::control(const std::string& given, clock::time_point now) {
    std::istringstream words(given);
    std::string command, argument;
    words >> command >> argument;
    if (command == "jam-at") {
        jamAt = std::stol(argument);
    } else if (command == "jam") {
        setStatus({40022, "PAPER JAM", false, true});
    } else if (command == "paper-out") {
        setStatus({41202, "LOAD TRAY 2 LETTER", false, true});
    } else if (command == "door-open") {
        setStatus({40021, "FRONT DOOR OPEN", false, true});
    } else if (command == "offline") {
        setStatus({10002, "OFFLINE", false, true});
    } else if (command == "toner-low") {
        setStatus({10006, "TONER LOW", true, false});
    } else if (command == "ready") {
        setStatus({10001, "READY", true, false});
    } else if (command == "silent") {
        set.silent = argument != "off";
    } else if (command == "flood") {
        // Unsolicited, whether the host asked for them or not.
        for (long i = std::stol(argument); i > 0 && replies.size() <= mostReplyBytes; --i)
            replies += "@PJL USTATUS DEVICE\r\nCODE=" + std::to_string(current.code) + "\r\nDISPLAY=\"" + panel() +
                       "\"\r\nONLINE=" + (current.online ? "TRUE" : "FALSE") + "\r\n\f";
    } else if (command == "state") {
        return "pages=" + std::to_string(pagesPrintedTotal) + " panel=\"" + panel() + "\" code=" +
               std::to_string(current.code) + " jobs=" + std::to_string(jobsSeen);
    } else {
        return "unknown command";
    }
    advance(now);
    return "ok";
}

}  // namespace printersink
