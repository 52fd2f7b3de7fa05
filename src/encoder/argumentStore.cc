#include "encoder/argumentStore.h"

#include "encoder/macRoman.h"

namespace corvane {

const std::string* argumentStore::getValue(std::string_view key) const {
    const auto found = options.find(std::string(key));
    return found == options.end() ? nullptr : &found->second;
}

std::string argumentStore::utf8Text(std::string_view value) const {
    return encoding == ticketText::macRoman ? macRomanToUtf8(value) : std::string(value);
}

}  // namespace corvane
