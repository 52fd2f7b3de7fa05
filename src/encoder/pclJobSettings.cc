// The job preamble and the per-page copies and paper source step.
#include <cstdio>

#include "encoder/optionNumbers.h"
#include "encoder/pclCommands.h"
#include "encoder/pclTables.h"

namespace corvane {
namespace {

constexpr std::string_view collateKey = "com.apple.print.PrintSettings.PMCopyCollate..b.";
constexpr std::string_view copiesKey = "com.apple.print.PrintSettings.PMCopies..n.";
constexpr std::string_view lastPageKey = "com.apple.print.PrintSettings.PMLastPage..n.";
constexpr std::string_view firstSourceKey = "com.apple.print.PrintSettings.PMPrimaryPaperFeed..a.1";
constexpr std::string_view otherSourceKey = "InputSlot";

std::optional<std::string> copyOf(const std::string* value) {
    return value ? std::optional<std::string>(*value) : std::nullopt;
}

}  // namespace

pclCommands::jobSettingsReport pclCommands::createJobSettings() {
    jobSettingsReport report;
    startBlock(100);
    pageCount = 0;
    append("\x1b*t600R");  // raster resolution 600 dpi
    append("\x1b&u600D");  // unit of measure 600 per inch

    // Collated copies come from the print system as separate pages, so the
    // printer is told to make one copy of each.
    if (const std::string* collate = ticketData->getValue(collateKey)) {
        isCollated = *collate == "true" || *collate == "True";
        if (isCollated) setCopies();
    }

    setPaperSize(report);
    setMediaType();

    paperSource1 = copyOf(ticketData->getValue(firstSourceKey));
    paperSource2 = copyOf(ticketData->getValue(otherSourceKey));
    // One source for the whole job can be set once here; with two different
    // sources each page selects its own.
    if (paperSource1 && (!paperSource2 || *paperSource2 == *paperSource1))
        setPaperSource(paperSource1);

    append("\x1b&l0E");  // top margin 0 lines
    writeCommands();
    return report;
}

void pclCommands::setCopies() {
    const std::string* copies = ticketData->getValue(copiesKey);
    if (!copies) return;
    totalCopies = readLeadingInteger(*copies);
    copiesSent = true;
    append("\x1b&l");  // number of copies
    appendNumber(isCollated ? 1 : totalCopies);
    append("X");
}

int pclCommands::copiesOfCurrentPage() const {
    if (isCollated || !copiesSent) return 1;
    return totalCopies > 0 ? totalCopies : 1;
}

void pclCommands::jobCollated() {
    // Page n starts a copy when n mod L is 1, L being the pages of one copy.
    // Without a usable L (absent, not a number, 0) the copy length is
    // unknown: the job is then fed like one long copy, only its first page
    // from the first-page source.
    const std::string* lastPage = ticketData->getValue(lastPageKey);
    const std::int32_t pagesPerCopy = lastPage ? readLeadingInteger(*lastPage) : 0;
    const bool startsCopy =
        pagesPerCopy == 0 ? pageCount == 1 : pageCount % pagesPerCopy == 1;
    setPaperSource(startsCopy ? paperSource1 : paperSource2);
}

void pclCommands::jobUnCollated() {
    setPaperSource(pageCount == 1 ? paperSource1 : paperSource2);
}

void pclCommands::setPaperSize(jobSettingsReport& report) {
    const std::string* media = ticketData->getValue("media");
    if (!media || *media == "PrinterS") return;
    if (const auto entry = findPageSize(*media)) {
        if (entry->isEnvelope) isEnvelope = true;
        append("\x1b&l");  // page size
        appendNumber(entry->code);
        append("A");
        return;
    }
    if (*media == "11x17" || *media == "Tabloid") return;
    setCustomPaperSize(*media, report);
}

void pclCommands::setCustomPaperSize(std::string_view value, jobSettingsReport& report) {
    // The size text follows "Custom." when the marker appears exactly once;
    // without it the whole value is the size; with it twice nothing is
    // usable and both dimensions read as 0.
    constexpr std::string_view marker = "Custom.";
    std::string_view sizeText = value;
    const std::size_t first = value.find(marker);
    bool twoMarkers = false;
    if (first != std::string_view::npos) {
        sizeText = value.substr(first + marker.size());
        twoMarkers = sizeText.find(marker) != std::string_view::npos;
    }

    float widthPoints = 0.0f;
    float lengthPoints = 0.0f;
    if (!twoMarkers) {
        const std::size_t x = sizeText.find('x');
        if (x == std::string_view::npos) {
            // A single number is not a page size: sending a zero length
            // would be worse than leaving the printer's own size.
            report.customSizeUnusable = true;
            return;
        }
        const std::string_view rest = sizeText.substr(x + 1);
        widthPoints = readLeadingDecimal(sizeText.substr(0, x));
        lengthPoints = readLeadingDecimal(rest.substr(0, rest.find('x')));
    }

    char number[64];
    append("\x1b&l101A");  // custom page size
    // Points to inches in float, printed with two decimals.
    std::snprintf(number, sizeof number, "%.2f", static_cast<double>(widthPoints / 72.0f));
    append("\x1b&f");  // custom width in inches
    append(number);
    append("G");
    std::snprintf(number, sizeof number, "%.2f", static_cast<double>(lengthPoints / 72.0f));
    append("\x1b&f");  // custom length in inches
    append(number);
    append("F");
}

void pclCommands::setMediaType() {
    const std::string* mediaType = ticketData->getValue("MediaType");
    if (!mediaType) return;
    // "PrinterS" keeps the printer's media type, except that an envelope
    // size needs the envelope type.
    if (*mediaType == "PrinterS") {
        if (isEnvelope) append(envelopeMediaCommand);
        return;
    }
    append(mediaTypeCommand(*mediaType));
}

void pclCommands::setPaperSource(const std::optional<std::string>& source) {
    if (!source) return;
    if (const auto code = paperSourceCode(*source)) {
        append("\x1b&l");  // paper source
        appendNumber(*code);
        append("H");
    }
}

}  // namespace corvane
