#include "pclinspect/report.h"

#include <algorithm>
#include <cstdio>
#include <set>

#include "pclinspect/glossary.h"

namespace pclinspect {
namespace {

std::string yesNo(bool b) { return b ? "yes" : "no"; }

// A payload as it appears in the listing: short text or hex inline, long data as a count.
std::string payloadSummary(const Token& t, const Parameter& p, Bytes stream) {
    const Bytes data = stream.subspan(p.payloadOffset, p.payloadLength);
    std::string inner;
    const bool rasterRow = t.parameterized == '*' && t.group == 'b';
    if (data.empty() && !p.payloadTruncated) return {};
    if (!rasterRow && data.size() <= 16) {
        const bool printable = std::all_of(data.begin(), data.end(), [](std::uint8_t b) { return b >= 0x20 && b < 0x7F; });
        inner = printable ? printableText(data) : hexBytes(data);
    } else {
        inner = std::to_string(data.size()) + " bytes";
    }
    if (p.payloadTruncated) inner += ", cut off";
    return " <" + inner + ">";
}

std::string tokenText(const Token& t, Bytes stream) {
    switch (t.kind) {
        case TokenKind::escapeRun: return "ESC x" + std::to_string(t.length);
        case TokenKind::pjlLine: {
            std::size_t n = t.length - (t.unterminated ? 0 : 1);
            return printableText(stream.subspan(t.offset, n));
        }
        case TokenKind::formFeed: return "FF";
        case TokenKind::stray: {
            const std::size_t shown = std::min<std::size_t>(t.length, 24);
            std::string text(1, '"');
            text += printableText(stream.subspan(t.offset, shown));
            text += shown < t.length ? "...\"" : "\"";
            return text;
        }
        case TokenKind::escape: {
            if (t.parameterized == 0) return std::string("ESC ") + t.finalChar;
            std::string text = escapeText(t, stream);
            for (const Parameter& p : t.params)
                if (p.hasPayload) text += payloadSummary(t, p, stream);
            return text;
        }
        case TokenKind::uel:
        case TokenKind::malformed: return printableText(stream.subspan(t.offset, t.length));
    }
    return {};
}

std::string format(const char* fmt, double value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, fmt, value);
    return buf;
}

std::string pageSettingsLine(const Page& page) {
    const PageSettings& s = page.settings;
    std::string line = "page " + std::to_string(page.number) + ": size ";
    line += s.pageSize ? pageSizeName(*s.pageSize) : "printer default";
    if (s.pageSize == 101 && s.customWidth && s.customLength)
        line += " " + *s.customWidth + " x " + *s.customLength + " in";
    line += ", media " + (s.mediaType ? "\"" + *s.mediaType + "\"" : std::string("printer default"));
    line += ", source " + (s.paperSource ? paperSourceName(*s.paperSource) : std::string("printer default"));
    if (page.sourceCommand) line += " (sent for this page)";
    line += ", copies " + (s.copies ? std::to_string(*s.copies) : std::string("printer default"));
    if (page.copiesCommand) line += " (sent for this page)";
    if (!page.ended) line += ", NOT ENDED";
    return line + "\n";
}

std::string pageRasterLines(const Page& page) {
    const PageRaster& r = page.raster;
    const PageStats& st = page.stats;
    std::string out = "  raster " + std::to_string(r.width) + " x " + std::to_string(r.height) + " pixels, " +
                      std::to_string(r.bitsPerPixel) + " bits per pixel, " + std::to_string(r.rowBytes) +
                      " bytes per row\n";
    out += "  rows: " + std::to_string(st.rowsSent) + " sent, " + std::to_string(st.rowsRepeated) +
           " repeated, " + std::to_string(st.rowsSkipped) + " skipped, " + std::to_string(st.cursorMoves) +
           " cursor moves\n";
    const double raw = static_cast<double>(r.rowBytes) * r.height;
    out += "  bytes: " + std::to_string(st.pageBytes) + " in the page, " + std::to_string(st.dataBytes) +
           " of row data, raster " + std::to_string(static_cast<std::size_t>(raw)) + " uncompressed";
    if (st.pageBytes > 0) out += ", ratio " + format("%.1f", raw / static_cast<double>(st.pageBytes)) + ":1";
    return out + "\n";
}

std::string collationLine(const Job& job) {
    std::set<int> pageCopies;
    std::size_t pagesWithCopies = 0;
    for (const Page& p : job.pages)
        if (p.copiesCommand) {
            pageCopies.insert(*p.copiesCommand);
            ++pagesWithCopies;
        }
    std::string line = "copies: ";
    line += job.jobCopies ? std::to_string(*job.jobCopies) + " in the job preamble" : "none in the job preamble";
    line += ", ";
    if (pagesWithCopies == 0) {
        line += "none on the pages";
        if (job.jobCopies) line += " -> collated: the job carries its copies as pages";
        else line += " -> printer default";
    } else {
        line += "on " + std::to_string(pagesWithCopies) + " of " + std::to_string(job.pages.size()) + " pages (";
        bool first = true;
        for (int c : pageCopies) {
            line += (first ? "" : ", ") + std::to_string(c);
            first = false;
        }
        line += ")";
        if (pagesWithCopies == job.pages.size()) line += " -> uncollated: the printer repeats each page";
    }
    return line + "\n";
}

}  // namespace

std::string formatListing(const Job& job, Bytes stream) {
    std::string out;
    char offset[32];
    for (std::size_t i = 0; i < job.tokens.size(); ++i) {
        const Token& t = job.tokens[i];
        std::snprintf(offset, sizeof offset, "%8zu  ", t.offset);
        out += offset + tokenText(t, stream) + "  " + job.glosses[i] + "\n";
    }
    return out;
}

std::string formatSummary(const Job& job) {
    std::string out;
    out += "stream: " + std::to_string(job.streamBytes) + " bytes, escape run " + std::to_string(job.escapeRun) +
           " bytes, UEL at start " + yesNo(job.uelAtStart) + ", reset at end " + yesNo(job.resetAtEnd) +
           ", UEL at end " + yesNo(job.uelAtEnd) + "\n";
    out += "job name: " + (job.jobName ? "\"" + *job.jobName + "\"" : std::string("none")) + "\n";
    if (job.pjlComment) out += "PJL comment: " + *job.pjlComment + "\n";
    out += "PJL settings:";
    if (job.pjlSettings.empty()) out += " none";
    for (std::size_t i = 0; i < job.pjlSettings.size(); ++i)
        out += (i ? ", " : " ") + job.pjlSettings[i].first + "=" + job.pjlSettings[i].second;
    out += "\nPJL enters PCL: " + yesNo(job.enteredPcl) + "\n";
    out += "job preamble:";
    if (job.preamble.empty()) out += " none";
    for (std::size_t i = 0; i < job.preamble.size(); ++i) out += (i ? "; " : " ") + job.preamble[i];
    out += "\n" + collationLine(job);
    out += "pages: " + std::to_string(job.pages.size()) + "\n";
    for (const Page& page : job.pages) out += pageSettingsLine(page) + pageRasterLines(page);
    out += "problems: " + (job.problems.empty() ? std::string("none") : std::to_string(job.problems.size())) + "\n";
    return out;
}

std::string formatProblems(const Job& job) {
    if (job.problems.empty()) return "no problems\n";
    std::string out;
    for (const Problem& p : job.problems) out += "offset " + std::to_string(p.offset) + ": " + p.message + "\n";
    return out;
}

}  // namespace pclinspect
