// The job ticket: the job's options as key/value text, read by every part of
// the encoder that turns a setting into printer commands.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

namespace corvane {

using optionMap = std::unordered_map<std::string, std::string>;

// How the text of the ticket is encoded. CUPS filters receive option bytes
// that stand each for one Mac OS Roman character, so the mapping is lossless
// and comparisons on bytes are comparisons on characters; IPP front ends
// hand over UTF-8, which must not be converted a second time.
enum class ticketText { macRoman, utf8 };

class argumentStore {
public:
    explicit argumentStore(optionMap options, ticketText encoding = ticketText::macRoman)
        : options(std::move(options)), encoding(encoding) {}

    // The value stored under `key` (exact, case-sensitive), or null.
    const std::string* getValue(std::string_view key) const;

    // Every option, in the map's own order.
    const optionMap& keyEnumerator() const { return options; }

    // A value as UTF-8, whatever the ticket's own encoding.
    std::string utf8Text(std::string_view value) const;

private:
    optionMap options;
    ticketText encoding;
};

using ticketRef = std::shared_ptr<const argumentStore>;

}  // namespace corvane
