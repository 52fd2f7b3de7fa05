#include "app/driver/jobSettings.h"

#include <array>
#include <cstdio>
#include <string_view>

#include "filter/platformOptions.h"

namespace corvane {
namespace {

struct keywordName {
    std::string_view keyword;  // IPP keyword
    std::string_view name;     // the filter's option value
};

constexpr std::array<keywordName, 8> sourceNames = {{
    {"tray-1", "Tray1"},
    {"tray-2", "Tray2"},
    {"tray-3", "Tray3"},
    {"tray-4", "Tray4"},
    {"tray-5", "Tray5"},
    {"manual", "ManualPaper"},
    {"by-pass-tray", "MultipurposeFeeder"},
    {"envelope", "EnvFeeder"},
}};

constexpr std::array<keywordName, 9> typeNames = {{
    {"stationery", "Plain"},
    {"bond", "Bond"},
    {"transparency", "Transparency"},
    {"cardstock", "Card"},
    {"labels", "Labels"},
    {"stationery-letterhead", "Letterhead"},
    {"stationery-preprinted", "Preprint"},
    {"stationery-colored", "Colored"},
    {"envelope", "Envelope"},
}};

template <std::size_t N>
const std::string_view* nameFor(const std::array<keywordName, N>& table, std::string_view keyword) {
    for (const auto& entry : table)
        if (entry.keyword == keyword) return &entry.name;
    return nullptr;
}

// A PWG name the option adaptation reads the size from. Sizes in
// hundredths of a millimetre are exact with two decimals in millimetres, so
// the name made from the dimensions names the same size as the client's.
std::string mediaValue(const ippJobSettings& settings) {
    if (settings.mediaWidth <= 0 || settings.mediaLength <= 0) return settings.mediaName;
    char text[64];
    std::snprintf(text, sizeof text, "custom_size_%.2fx%.2fmm", settings.mediaWidth / 100.0,
                  settings.mediaLength / 100.0);
    return text;
}

}  // namespace

optionMap ticketOptions(const ippJobSettings& settings) {
    optionMap options;
    if (std::string media = mediaValue(settings); !media.empty()) options["media"] = std::move(media);
    if (const auto* slot = nameFor(sourceNames, settings.source)) options["InputSlot"] = *slot;
    if (const auto* type = nameFor(typeNames, settings.type)) options["MediaType"] = *type;
    if (settings.darkness && *settings.darkness >= 1 && *settings.darkness <= 5) {
        // 1-5 print in economy mode, 6-10 at full toner.
        const int level = *settings.darkness + (settings.tonerSave ? 0 : 5);
        options["TonerDarkness"] = std::to_string(level);
    }
    options["com.apple.print.JobInfo.PMJobName"] = settings.jobName;
    // Collated: one copy of each page, the pages sent again per copy;
    // uncollated: every page carries the copy count.
    if (settings.copies > 1) {
        options["com.apple.print.PrintSettings.PMCopies..n."] = std::to_string(settings.copies);
        options["com.apple.print.PrintSettings.PMCopyCollate..b."] = settings.collated ? "true" : "false";
    }
    adaptPlatformOptions(options);
    return options;
}

ticketRef jobTicket(const ippJobSettings& settings) {
    return std::make_shared<const argumentStore>(ticketOptions(settings), ticketText::utf8);
}

}  // namespace corvane
