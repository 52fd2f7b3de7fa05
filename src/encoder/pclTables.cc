#include "encoder/pclTables.h"

#include <array>

namespace corvane {
namespace {

constexpr std::array<pageSizeEntry, 19> pageSizes = {{
    {"Letter", 2, false},     {"Legal", 3, false},      {"A3", 27, false},
    {"A4", 26, false},        {"A5", 25, false},        {"A6", 24, false},
    {"B4", 46, false},        {"B5", 45, false},        {"Executive", 1, false},
    {"Folio", 4, false},      {"Statement", 15, false}, {"Universal", 101, false},
    {"OthEnv", 600, true},    {"Monarch", 80, true},    {"C4", 89, true},
    {"Comm10", 81, true},     {"DL", 90, true},         {"C5", 91, true},
    {"ISOB5", 100, true},
}};

// ESC&n<count>Wd<name>: the count covers the operation byte d and the name.
struct mediaTypeEntry {
    std::string_view value;
    std::string_view command;
};
constexpr std::array<mediaTypeEntry, 15> mediaTypes = {{
    {"Plain", "\x1b&n6WdPlain"},
    {"Bond", "\x1b&n5WdBond"},
    {"Transparency", "\x1b&n13WdTransparency"},
    {"Card", "\x1b&n11WdCard Stock"},
    {"Labels", "\x1b&n7WdLabels"},
    {"Letterhead", "\x1b&n11WdLetterhead"},
    {"Preprint", "\x1b&n11WdPreprinted"},
    {"Colored", "\x1b&n6WdColor"},
    {"Envelope", "\x1b&n9WdEnvelope"},
    {"Custom1", "\x1b&n14WdCustom Type 1"},
    {"Custom2", "\x1b&n14WdCustom Type 2"},
    {"Custom3", "\x1b&n14WdCustom Type 3"},
    {"Custom4", "\x1b&n14WdCustom Type 4"},
    {"Custom5", "\x1b&n14WdCustom Type 5"},
    {"Custom6", "\x1b&n14WdCustom Type 6"},
}};

// Source codes are the printer's, not tray numbers: Tray2 is 4, Tray5 is 21.
struct paperSourceEntry {
    std::string_view name;
    int code;
};
constexpr std::array<paperSourceEntry, 9> paperSources = {{
    {"Tray1", 1}, {"ManualPaper", 2}, {"ManualEnv", 3}, {"MultipurposeFeeder", 8},
    {"EnvFeeder", 6}, {"Tray5", 21}, {"Tray4", 20}, {"Tray3", 5}, {"Tray2", 4},
}};

}  // namespace

std::optional<pageSizeEntry> findPageSize(std::string_view media) {
    for (const auto& entry : pageSizes)
        if (entry.name == media) return entry;
    return std::nullopt;
}

std::string_view mediaTypeCommand(std::string_view mediaType) {
    for (const auto& entry : mediaTypes)
        if (entry.value == mediaType) return entry.command;
    return {};
}

std::optional<int> paperSourceCode(std::string_view source) {
    for (const auto& entry : paperSources)
        if (entry.name == source) return entry.code;
    return std::nullopt;
}

}  // namespace corvane
