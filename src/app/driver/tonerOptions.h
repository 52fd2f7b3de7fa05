// The printer's own toner settings, offered to clients as two vendor
// attributes beside PAPPL's standard ones.
#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace corvane {

// "toner-darkness": "auto" leaves the density to the printer's panel, the
// others are densities 1 to 5.
inline constexpr char tonerDarknessAttribute[] = "toner-darkness";
inline constexpr std::array<std::string_view, 6> tonerDarknessKeywords = {
    "auto", "lightest", "light", "medium", "dark", "darkest"};

// "toner-save": economy mode at the chosen density.
inline constexpr char tonerSaveAttribute[] = "toner-save";

// 1 to 5 for a density keyword, nothing for "auto" or an unknown value.
inline std::optional<int> tonerDarknessLevel(std::string_view keyword) {
    for (std::size_t level = 1; level < tonerDarknessKeywords.size(); ++level)
        if (tonerDarknessKeywords[level] == keyword) return static_cast<int>(level);
    return std::nullopt;
}

}  // namespace corvane
