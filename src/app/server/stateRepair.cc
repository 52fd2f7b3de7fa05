#include "app/server/stateRepair.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string_view>

#include <cups/cups.h>
#include <fcntl.h>
#include <unistd.h>

#include "app/server/parsedOptions.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

// PAPPL's job states and reasons, as numbers in the state file.
constexpr int jobProcessing = 5;
constexpr int jobStopped = 6;
constexpr int jobAborted = 8;
constexpr long abortedBySystem = 0x1;
// Printer states.
constexpr int printerIdle = 3;
constexpr int printerStopped = 5;
// A comment for PAPPL's reader: PAPPL 1.3 keeps no printer state, and its
// printer lines must hold exactly its own five values.
constexpr std::string_view pausedPrintersMark = "# Paused printers:";

// The job attributes PAPPL creates itself when it loads a job.
constexpr std::array<std::string_view, 6> attributesMadeOnLoad = {
    "job-id", "job-uri", "job-uuid", "job-printer-uri", "job-name", "job-originating-user-name"};

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    if (in) text << in.rdbuf();
    return text.str();
}

bool printerLine(const std::string& line) { return line.starts_with("<Printer ") && line.ends_with('>'); }
parsedOptions printerOptions(const std::string& line) { return parsedOptions(line.substr(9, line.size() - 10)); }

std::string jobFilePrefix(int printerId, int jobId) {
    char prefix[32];
    std::snprintf(prefix, sizeof prefix, "p%05dj%09d-", printerId, jobId);
    return prefix;
}

// The Job line with an interrupted job aborted; empty when it needs no change.
std::string abortedJobLine(const std::string& options, std::time_t now, int printerId,
                           std::vector<interruptedJob>& aborted) {
    parsedOptions job(options);
    const long state = job.number("state");
    if (state != jobProcessing && state != jobStopped) return {};
    aborted.push_back({printerId, static_cast<int>(job.number("id"))});
    if (const char* document = job.get("filename")) {
        std::error_code ignored;
        fs::remove(document, ignored);
        job.remove("filename");
    }
    job.set("state", std::to_string(jobAborted));
    job.set("state_reasons", std::to_string(job.number("state_reasons") | abortedBySystem));
    job.set("completed", std::to_string(static_cast<long>(now)));
    return "Job " + job.text();
}

// The state's lines as PAPPL reads them back (cupsFileGetConf). PAPPL
// writes a job's name and user name between quotes with only backslashes
// and quotes escaped, while the reader ends a line at a line feed or a
// carriage return and drops what follows a '#': a name holding one of them
// would cut its Job line, and the rest of the name would be read as lines
// of its own (a printer, say). Inside a Job line's quotes, line breaks
// become spaces and '#' is escaped.
std::vector<std::string> stateLines(const std::string& text, bool& changed) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        at = end + 1;
        if (!line.starts_with("Job ")) {
            lines.push_back(std::move(line));
            continue;
        }
        std::string joined;
        bool quoted = false, escaped = false;
        for (std::size_t i = 0;; ++i) {
            if (i == line.size()) {
                if (!quoted || at >= text.size()) break;
                // The quotes are still open: the line break was the name's.
                end = text.find('\n', at);
                if (end == std::string::npos) end = text.size();
                line += ' ' + text.substr(at, end - at);
                at = end + 1;
                changed = true;
            }
            char c = line[i];
            if (escaped) {
                escaped = false;
            } else if (c == '\\') {
                escaped = true;
            } else if (c == '"') {
                quoted = !quoted;
            } else if (quoted && c == '\r') {
                c = ' ';
                changed = true;
            } else if (quoted && c == '#') {
                joined += '\\';
                changed = true;
            }
            joined += c;
        }
        lines.push_back(std::move(joined));
    }
    return lines;
}

bool writeReplacing(const fs::path& path, const std::string& text) {
    const fs::path temporary = path.string() + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out.write(text.data(), static_cast<std::streamsize>(text.size()))) return false;
    }
    fs::permissions(temporary, fs::perms::owner_read | fs::perms::owner_write);
    std::error_code error;
    fs::rename(temporary, path, error);
    return !error;
}

class fileDescriptor {
public:
    explicit fileDescriptor(int fd) : fd(fd) {}
    ~fileDescriptor() { if (fd >= 0) close(fd); }
    fileDescriptor(const fileDescriptor&) = delete;
    fileDescriptor& operator=(const fileDescriptor&) = delete;
    int get() const { return fd; }

private:
    int fd;
};

using ippMessage = std::unique_ptr<ipp_t, decltype(&ippDelete)>;

// Rewrites a queued job's attribute file without the attributes PAPPL makes
// again on load.
void dropAttributesMadeOnLoad(const fs::path& path) {
    ippMessage attrs(ippNew(), ippDelete);
    {
        const fileDescriptor in(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
        if (in.get() < 0 || ippReadFile(in.get(), attrs.get()) != IPP_STATE_DATA) return;
    }
    bool changed = false;
    for (ipp_attribute_t* attr = ippFirstAttribute(attrs.get()); attr;) {
        ipp_attribute_t* next = ippNextAttribute(attrs.get());
        const char* name = ippGetName(attr);
        if (name && std::ranges::find(attributesMadeOnLoad, std::string_view(name)) !=
                        attributesMadeOnLoad.end()) {
            ippDeleteAttribute(attrs.get(), attr);
            changed = true;
        }
        attr = next;
    }
    if (!changed) return;
    const fs::path temporary = path.string() + ".new";
    {
        const fileDescriptor out(open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (out.get() < 0) return;
        ippSetState(attrs.get(), IPP_STATE_IDLE);
        if (ippWriteFile(out.get(), attrs.get()) != IPP_STATE_DATA) return;
    }
    std::error_code ignored;
    fs::rename(temporary, path, ignored);
}

void repairSpool(const fs::path& spool, const std::vector<interruptedJob>& aborted) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(spool, error)) {
        if (entry.path().extension() != ".ipp" || !entry.is_regular_file()) continue;
        const std::string name = entry.path().filename().string();
        const bool ofAborted = std::ranges::any_of(aborted, [&](const interruptedJob& job) {
            return name.starts_with(jobFilePrefix(job.printerId, job.jobId));
        });
        if (ofAborted) fs::remove(entry.path(), error);
        else dropAttributesMadeOnLoad(entry.path());
    }
}

}  // namespace

std::vector<interruptedJob> repairSavedState(const std::string& statePath,
                                             const std::string& spoolDirectory, std::time_t now) {
    std::vector<interruptedJob> aborted;
    const std::string saved = readAll(statePath);
    if (saved.empty()) return aborted;
    std::ostringstream repaired;
    int printerId = 0;
    bool changed = false;
    for (std::string& line : stateLines(saved, changed)) {
        if (printerLine(line)) {
            printerId = static_cast<int>(printerOptions(line).number("id"));
        } else if (line.starts_with("Job ")) {
            if (std::string fixed = abortedJobLine(line.substr(4), now, printerId, aborted); !fixed.empty()) {
                line = std::move(fixed);
                changed = true;
            }
        }
        repaired << line << '\n';
    }
    if (changed) writeReplacing(statePath, repaired.str());
    repairSpool(spoolDirectory, aborted);
    return aborted;
}

void savePrinterStates(const std::string& statePath, const std::vector<int>& stoppedIds) {
    std::ostringstream saved;
    if (!stoppedIds.empty()) {
        saved << pausedPrintersMark;
        for (const int id : stoppedIds) saved << ' ' << id;
        saved << '\n';
    }
    bool changed = !stoppedIds.empty();
    for (std::string& line : stateLines(readAll(statePath), changed)) {
        if (line.starts_with(pausedPrintersMark)) {
            changed = true;
            continue;
        }
        if (printerLine(line)) {
            parsedOptions printer = printerOptions(line);
            const bool stopped = std::ranges::find(stoppedIds, printer.number("id")) != stoppedIds.end();
            const long state = stopped ? printerStopped : printerIdle;
            if (printer.get("state") && printer.number("state") != state) {
                printer.set("state", std::to_string(state));
                line = "<Printer " + printer.text() + ">";
                changed = true;
            }
        }
        saved << line << '\n';
    }
    if (changed) writeReplacing(statePath, saved.str());
}

std::vector<int> savedStoppedPrinters(const std::string& statePath) {
    std::vector<int> stopped;
    std::istringstream lines(readAll(statePath));
    for (std::string line; std::getline(lines, line);) {
        if (!line.starts_with(pausedPrintersMark)) continue;
        std::istringstream ids(line.substr(pausedPrintersMark.size()));
        for (int id; ids >> id;) stopped.push_back(id);
    }
    return stopped;
}

}  // namespace corvane
