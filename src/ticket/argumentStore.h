// The job ticket: the job's options, parsed once from the options argument.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

namespace corvane {

// Keys and values hold the option bytes as the print system sent them. Each
// byte stands for one Mac OS Roman character, so the mapping is lossless and
// comparisons on bytes are comparisons on characters.
using optionMap = std::unordered_map<std::string, std::string>;

class argumentStore {
public:
    // Runs once over the decoded options before the store is read by anyone;
    // used for platform adaptations of option values.
    using adaptation = std::function<void(optionMap&)>;

    // Parses a CUPS options string (name=value pairs) with cupsParseOptions.
    explicit argumentStore(const char* optionString, const adaptation& adapt = {});

    // The value stored under `key` (exact, case-sensitive), or null.
    const std::string* getValue(std::string_view key) const;

    // Every option, in the map's own order.
    const optionMap& keyEnumerator() const { return options; }

    // Replaces the six supported "<hh>" escapes in a value (see .cc).
    static std::string decodeEscapes(std::string value);

private:
    optionMap options;
};

using ticketRef = std::shared_ptr<const argumentStore>;

}  // namespace corvane
