#include "pclinspect/jobDecoder.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <string_view>

#include "pclinspect/deltaRow.h"
#include "pclinspect/glossary.h"

namespace pclinspect {
namespace {

std::string trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return std::string(s);
}

std::string upper(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

// The printer state that matters for reading pages back. Defaults are the
// PCL 5 power-on values, restored by ESC E.
struct PrinterState {
    int unitsPerInch = 300;
    int rasterDpi = 75;
    long cursorY = 0;  // in units of measure
    unsigned width = 0, height = 0;
    unsigned bitsPerPixel = 1;
    int compression = 0;
    PageSettings settings;
};

// The raster graphics in progress: where the next row lands and the seed row
// of delta-row compression. The seed row is zero at raster start and after
// any vertical move, since the rows skipped over were never sent.
struct RasterState {
    bool active = false;
    long top = 0;   // cursor position at start of raster graphics
    long row = 0;   // raster row the next transfer fills
    std::vector<std::uint8_t> seed;
};

class Decoder {
public:
    Decoder(Bytes stream, const DecodeOptions& options)
        : s_(stream), options_(options), materialize_(options.keepRasters || options.onPage) {}

    Job run() {
        job_.streamBytes = s_.size();
        job_.tokens = tokenize(s_);
        job_.glosses.reserve(job_.tokens.size());
        for (index_ = 0; index_ < job_.tokens.size(); ++index_)
            job_.glosses.push_back(visit(job_.tokens[index_]));
        if (page_) closePage(s_.size(), false);
        checkFraming();
        std::stable_sort(job_.problems.begin(), job_.problems.end(),
                         [](const Problem& a, const Problem& b) { return a.offset < b.offset; });
        return std::move(job_);
    }

private:
    Bytes s_;
    const DecodeOptions& options_;
    const bool materialize_;
    Job job_;
    std::size_t index_ = 0;
    PrinterState printer_;
    RasterState raster_;
    std::optional<Page> page_;
    std::map<long, std::vector<std::uint8_t>> pageRows_;  // rows of the open page by index
    std::optional<int> pendingCopies_, pendingSource_;    // page-level commands since the last page
    bool preambleDone_ = false;
    bool sawUel_ = false;
    bool pjlLevel_ = true;  // after a UEL, until ENTER LANGUAGE
    bool sawOtherThanEscapeRun_ = false;
    bool sawPcl_ = false;

    void problem(std::size_t offset, ProblemKind kind, std::string message) {
        job_.problems.push_back({offset, kind, std::move(message)});
    }

    std::string visit(const Token& t) {
        if (t.kind != TokenKind::escapeRun && t.kind != TokenKind::uel && t.kind != TokenKind::pjlLine)
            leavePjl(t.offset);
        switch (t.kind) {
            case TokenKind::escapeRun:
                // The run before the job: after the host's PJL blocks, if any.
                if (!sawPcl_) job_.escapeRun += t.length;
                return "escape run, " + std::to_string(t.length) + " bytes";
            case TokenKind::uel:
                return visitUel(t);
            case TokenKind::pjlLine:
                sawOtherThanEscapeRun_ = true;
                return visitPjl(t);
            case TokenKind::formFeed:
                sawOtherThanEscapeRun_ = true;
                return visitFormFeed(t);
            case TokenKind::stray:
                sawOtherThanEscapeRun_ = true;
                problem(t.offset, ProblemKind::strayData,
                        std::to_string(t.length) + " bytes outside any command");
                return std::to_string(t.length) + " stray bytes";
            case TokenKind::malformed:
                sawOtherThanEscapeRun_ = true;
                problem(t.offset, ProblemKind::malformedEscape, "malformed escape sequence: " + t.problem);
                return "malformed: " + t.problem;
            case TokenKind::escape:
                sawOtherThanEscapeRun_ = true;
                return t.parameterized == 0 ? visitTwoCharacter(t) : visitParameterized(t);
        }
        return {};
    }

    void leavePjl(std::size_t offset) {
        sawPcl_ = true;
        if (pjlLevel_ && sawUel_)
            problem(offset, ProblemKind::pjlProblem, "PCL data without @PJL ENTER LANGUAGE");
        pjlLevel_ = false;
    }

    std::string visitUel(const Token& t) {
        if (page_) closePage(t.offset, false);
        if (!sawOtherThanEscapeRun_) job_.uelAtStart = true;
        sawOtherThanEscapeRun_ = true;
        sawUel_ = true;
        pjlLevel_ = true;
        return "universal exit language (UEL)";
    }

    std::string visitPjl(const Token& t) {
        std::string_view line(reinterpret_cast<const char*>(s_.data() + t.offset), t.length);
        if (t.unterminated)
            problem(t.offset, ProblemKind::pjlProblem, "PJL line without a line feed");
        else
            line.remove_suffix(1);
        std::string_view rest = line.substr(4);  // after "@PJL"
        const std::string head = upper(trim(rest));
        if (head.starts_with("COMMENT")) {
            job_.pjlComment = trim(trim(rest).substr(7));
            return "PJL comment";
        }
        if (head.starts_with("JOB")) {
            const auto open = line.find('"'), close = line.rfind('"');
            if (open != std::string_view::npos && close > open)
                job_.jobName = std::string(line.substr(open + 1, close - open - 1));
            return "PJL job, name \"" + job_.jobName.value_or("") + "\"";
        }
        if (head.starts_with("SET")) {
            const std::string body = trim(trim(rest).substr(3));
            const auto eq = body.find('=');
            const std::string key = trim(body.substr(0, eq));
            const std::string value = eq == std::string::npos ? "" : trim(body.substr(eq + 1));
            job_.pjlSettings.emplace_back(key, value);
            return "PJL setting " + key + " = " + value;
        }
        if (head.starts_with("ENTER")) {
            pjlLevel_ = false;
            job_.enteredPcl = true;
            return "PJL enter language PCL";
        }
        return "PJL command";
    }

    std::string visitFormFeed(const Token& t) {
        if (!page_) openPage(t.offset);
        const int number = page_->number;
        closePage(t.offset + 1, true);
        return "form feed: page " + std::to_string(number) + " ends";
    }

    std::string visitTwoCharacter(const Token& t) {
        if (t.finalChar == 'E') {
            if (page_) closePage(t.offset, false);
            printer_ = PrinterState{};
            raster_ = RasterState{};
            return "printer reset";
        }
        problem(t.offset, ProblemKind::unknownEscape, "unknown escape sequence " + escapeText(t, s_));
        return "unknown command";
    }

    std::string visitParameterized(const Token& t) {
        std::string gloss;
        for (const Parameter& p : t.params) {
            if (!gloss.empty()) gloss += "; ";
            if (!isKnownCommand(t.parameterized, t.group, p.letter)) {
                problem(t.offset, ProblemKind::unknownEscape, "unknown escape sequence " + escapeText(t, s_));
                gloss += "unknown command";
                continue;
            }
            gloss += apply(t, p);
        }
        if (!page_ && !preambleDone_) job_.preamble.push_back(gloss);
        if (t.parameterized == '&' && t.group == 'l' &&
            std::any_of(t.params.begin(), t.params.end(), [](const Parameter& p) { return p.letter == 'E'; }))
            preambleDone_ = true;
        return gloss;
    }

    // Applies one command to the printer state; returns its gloss.
    std::string apply(const Token& t, const Parameter& p) {
        const int n = static_cast<int>(numericValue(p));
        const std::string gloss = describeParameter(t.parameterized, t.group, p, s_);
        const Bytes payload = s_.subspan(p.payloadOffset, p.payloadLength);
        if (p.payloadTruncated && !(t.group == 'b' && p.letter == 'W'))
            problem(t.offset, ProblemKind::truncatedData,
                    "data count " + p.value + " runs past the end of the stream");
        switch (t.parameterized << 16 | t.group << 8 | p.letter) {
            case '*' << 16 | 't' << 8 | 'R': if (n > 0) printer_.rasterDpi = n; break;
            case '&' << 16 | 'u' << 8 | 'D': if (n > 0) printer_.unitsPerInch = n; break;
            case '&' << 16 | 'l' << 8 | 'X':
                printer_.settings.copies = n;
                (preambleDone_ || page_ ? pendingCopies_ : job_.jobCopies) = n;
                break;
            case '&' << 16 | 'l' << 8 | 'H':
                printer_.settings.paperSource = n;
                (preambleDone_ || page_ ? pendingSource_ : job_.jobSource) = n;
                break;
            case '&' << 16 | 'l' << 8 | 'A': printer_.settings.pageSize = n; break;
            case '&' << 16 | 'f' << 8 | 'G': printer_.settings.customWidth = p.value; break;
            case '&' << 16 | 'f' << 8 | 'F': printer_.settings.customLength = p.value; break;
            case '&' << 16 | 'n' << 8 | 'W':
                if (!payload.empty() && payload[0] == 'd')
                    printer_.settings.mediaType = std::string(payload.begin() + 1, payload.end());
                break;
            case '*' << 16 | 'v' << 8 | 'W': configureImage(payload); break;
            case '*' << 16 | 'p' << 8 | 'Y': return gloss + moveVertically(t, p);
            case '*' << 16 | 'r' << 8 | 'T': printer_.height = static_cast<unsigned>(std::max(n, 0)); break;
            case '*' << 16 | 'r' << 8 | 'S': printer_.width = static_cast<unsigned>(std::max(n, 0)); break;
            case '*' << 16 | 'r' << 8 | 'A': startRaster(t.offset); break;
            case '*' << 16 | 'r' << 8 | 'C':
            case '*' << 16 | 'r' << 8 | 'B': raster_.active = false; break;
            case '*' << 16 | 'b' << 8 | 'M': printer_.compression = n; break;
            case '*' << 16 | 'b' << 8 | 'Y':
                if (raster_.active) {
                    raster_.row += n;
                    std::fill(raster_.seed.begin(), raster_.seed.end(), 0);
                }
                break;
            case '*' << 16 | 'b' << 8 | 'W': return transferRow(t, p);
            default: break;
        }
        return gloss;
    }

    void configureImage(Bytes data) {
        if (data.size() < 6) return;
        const bool direct = data[1] >= 2;
        printer_.bitsPerPixel = direct ? unsigned{data[3]} + data[4] + data[5] : std::max(1u, unsigned{data[2]});
    }

    std::string moveVertically(const Token& t, const Parameter& p) {
        const long value = static_cast<long>(numericValue(p));
        const bool relative = !p.value.empty() && (p.value[0] == '+' || p.value[0] == '-');
        printer_.cursorY = relative ? printer_.cursorY + value : value;
        if (!raster_.active) return {};
        raster_.row = (printer_.cursorY - raster_.top) * printer_.rasterDpi / printer_.unitsPerInch;
        std::fill(raster_.seed.begin(), raster_.seed.end(), 0);
        if (page_) ++page_->stats.cursorMoves;
        if (raster_.row < 0)
            problem(t.offset, ProblemKind::pastHeight, "cursor moved above the start of raster graphics");
        return " (raster row " + std::to_string(raster_.row) + ")";
    }

    void startRaster(std::size_t offset) {
        if (raster_.active) return;  // ignored by the printer while raster graphics run
        if (!page_) openPage(offset);
        raster_.active = true;
        raster_.top = printer_.cursorY;
        raster_.row = 0;
        raster_.seed.assign(rowBytes(), 0);
    }

    std::size_t rowBytes() const {
        return (std::size_t{printer_.width} * printer_.bitsPerPixel + 7) / 8;
    }

    std::string transferRow(const Token& t, const Parameter& p) {
        const Bytes data = s_.subspan(p.payloadOffset, p.payloadLength);
        if (p.payloadTruncated)
            problem(t.offset, ProblemKind::truncatedData,
                    "row data count " + p.value + " runs past the end of the stream (" +
                        std::to_string(data.size()) + " bytes present)");
        if (!raster_.active) {
            problem(t.offset, ProblemKind::rowOutsideRaster, "raster row outside raster graphics");
            return "raster row outside raster graphics, " + std::to_string(data.size()) + " bytes";
        }
        const long rowIndex = raster_.row++;
        raster_.seed.resize(rowBytes(), 0);
        std::vector<std::uint8_t> row;
        std::string gloss = "raster row " + std::to_string(rowIndex) + ", ";
        page_->stats.dataBytes += data.size();
        if (printer_.compression == 3) {
            if (data.empty()) {
                ++page_->stats.rowsRepeated;
                gloss += "repeats the seed row";
            } else {
                ++page_->stats.rowsSent;
                gloss += std::to_string(data.size()) + " bytes (delta row)";
            }
            DeltaRowResult decoded = decodeDeltaRow(raster_.seed, data);
            if (decoded.pastWidth)
                problem(t.offset, ProblemKind::pastWidth,
                        "delta row writes past the raster width of " + std::to_string(raster_.seed.size()) + " bytes");
            if (decoded.truncated)
                problem(t.offset, ProblemKind::badCompression, "delta row data ends inside a command");
            row = std::move(decoded.row);
        } else if (printer_.compression == 0) {
            ++page_->stats.rowsSent;
            gloss += std::to_string(data.size()) + " bytes (unencoded)";
            if (data.size() > raster_.seed.size())
                problem(t.offset, ProblemKind::pastWidth,
                        "unencoded row of " + std::to_string(data.size()) + " bytes is wider than the raster width of " +
                            std::to_string(raster_.seed.size()) + " bytes");
            row.assign(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(std::min(data.size(), raster_.seed.size())));
            row.resize(raster_.seed.size(), 0);
        } else {
            problem(t.offset, ProblemKind::badCompression,
                    "rows in compression method " + std::to_string(printer_.compression) + " are not decoded");
            return gloss + std::to_string(data.size()) + " bytes (" + compressionName(printer_.compression) + ")";
        }
        if (rowIndex < 0 || rowIndex >= static_cast<long>(printer_.height))
            problem(t.offset, ProblemKind::pastHeight,
                    "raster row " + std::to_string(rowIndex) + " is outside the raster height of " +
                        std::to_string(printer_.height) + " rows");
        raster_.seed = row;
        if (!materialize_) row.clear();
        pageRows_[rowIndex] = std::move(row);
        return gloss;
    }

    void openPage(std::size_t offset) {
        page_.emplace();
        page_->number = static_cast<int>(job_.pages.size()) + 1;
        page_->startOffset = offset;
        preambleDone_ = true;
        pageRows_.clear();
    }

    void closePage(std::size_t endOffset, bool ended) {
        Page& page = *page_;
        const std::string label = "page " + std::to_string(page.number);
        if (raster_.active && ended)
            problem(endOffset - 1, ProblemKind::pageWithoutEnd,
                    label + ": form feed inside raster graphics (no ESC*rC)");
        if (!ended)
            problem(endOffset, ProblemKind::pageWithoutEnd, label + " has no form feed");
        raster_.active = false;
        page.ended = ended;
        page.endOffset = endOffset;
        page.settings = printer_.settings;
        page.copiesCommand = std::exchange(pendingCopies_, std::nullopt);
        page.sourceCommand = std::exchange(pendingSource_, std::nullopt);
        page.stats.pageBytes = endOffset - page.startOffset;

        PageRaster& r = page.raster;
        r.width = printer_.width;
        r.height = printer_.height;
        r.bitsPerPixel = printer_.bitsPerPixel;
        r.rowBytes = rowBytes();
        if (materialize_) r.rows.assign(r.height, std::vector<std::uint8_t>(r.rowBytes, 0xFF));
        unsigned placed = 0;
        for (auto& [index, bytes] : pageRows_) {
            if (index < 0 || index >= static_cast<long>(r.height)) continue;
            ++placed;
            if (!materialize_) continue;
            // A short unencoded row ends in zeros, as the printer pads it.
            bytes.resize(r.rowBytes, 0);
            r.rows[static_cast<std::size_t>(index)] = std::move(bytes);
        }
        page.stats.rowsSkipped = r.height - placed;
        pageRows_.clear();
        if (options_.onPage) options_.onPage(page);
        if (!options_.keepRasters) r.rows = {};
        job_.pages.push_back(std::move(page));
        page_.reset();
        printer_.cursorY = 0;
    }

    // Job framing: UEL first and last, a reset before the closing UEL.
    void checkFraming() {
        const auto& tokens = job_.tokens;
        std::size_t last = tokens.size();
        if (last > 0 && tokens[last - 1].kind == TokenKind::uel &&
            (!job_.uelAtStart || std::count_if(tokens.begin(), tokens.end(),
                                               [](const Token& t) { return t.kind == TokenKind::uel; }) > 1)) {
            job_.uelAtEnd = true;
            --last;
        }
        // The reset is the last PCL command before the closing UEL; blocks
        // of PJL lines alone may follow it (a host's end-of-job and status
        // commands).
        for (std::size_t i = last; i-- > 0;) {
            if (tokens[i].kind == TokenKind::uel || tokens[i].kind == TokenKind::pjlLine) continue;
            if (tokens[i].kind != TokenKind::escape) break;
            job_.resetAtEnd = tokens[i].parameterized == 0 && tokens[i].finalChar == 'E';
            break;
        }
        if (!job_.uelAtStart)
            problem(job_.escapeRun, ProblemKind::missingUel, "the job does not begin with a UEL");
        if (!job_.uelAtEnd)
            problem(s_.size(), ProblemKind::missingUel, "the job does not end with a UEL");
        if (!job_.resetAtEnd)
            problem(last < tokens.size() ? tokens[last].offset : s_.size(), ProblemKind::missingReset,
                    "no printer reset (ESC E) before the end of the job");
    }
};

}  // namespace

Job decodeJob(Bytes stream, const DecodeOptions& options) { return Decoder(stream, options).run(); }

std::vector<PageRaster> decodeRasters(Bytes stream) {
    Job job = decodeJob(stream);
    std::vector<PageRaster> rasters;
    for (Page& page : job.pages) rasters.push_back(std::move(page.raster));
    return rasters;
}

}  // namespace pclinspect
