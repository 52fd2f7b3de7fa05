// Whole-row tests of the page transfer. Pure.
#pragma once

#include <cstdint>
#include <cstring>
#include <span>

namespace corvane {

// True when every byte is 0xFF (white). One overlapping memcmp compares the
// row with itself shifted by one byte, which runs at memcmp speed.
inline bool isBlankRow(std::span<const std::uint8_t> row) {
    if (row.empty()) return true;
    return row[0] == 0xFF && std::memcmp(row.data(), row.data() + 1, row.size() - 1) == 0;
}

inline bool rowsEqual(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) {
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size()) == 0);
}

}  // namespace corvane
