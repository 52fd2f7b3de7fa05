// Helpers shared by the harnesses: splitting one fuzz input into its parts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace corvane::fuzz {

// Splits at the first line feed: the options string before it, the rest
// after. Without a line feed everything is the rest and the options are empty.
// The options lose any NUL and what follows it, as an argument would.
inline std::pair<std::string, std::span<const std::uint8_t>> splitOptions(
    std::span<const std::uint8_t> input) {
    const std::string_view text(reinterpret_cast<const char*>(input.data()), input.size());
    const std::size_t end = text.find('\n');
    if (end == std::string_view::npos) return {std::string(), input};
    std::string options(text.substr(0, end));
    options.resize(std::string_view(options.c_str()).size());
    return {std::move(options), input.subspan(end + 1)};
}

}  // namespace corvane::fuzz
