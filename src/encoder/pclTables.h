// The option values the printer knows, with their PCL codes. Lookups are
// exact and case-sensitive. Pure.
#pragma once

#include <optional>
#include <string_view>

namespace corvane {

struct pageSizeEntry {
    std::string_view name;
    int code;         // ESC&l<code>A
    bool isEnvelope;
};

// "media" values with a PCL page size code; nullopt for any other value.
std::optional<pageSizeEntry> findPageSize(std::string_view media);

// The whole media type command (ESC&n<count>Wd<name>) for a "MediaType"
// value, or an empty view when the value is not in the table.
std::string_view mediaTypeCommand(std::string_view mediaType);
inline constexpr std::string_view envelopeMediaCommand = "\x1b&n9WdEnvelope";

// The PCL paper source code for a source name, or nullopt.
std::optional<int> paperSourceCode(std::string_view source);

}  // namespace corvane
