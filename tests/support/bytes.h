// Small helpers that build expected printer bytes in tests.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::test {

// "\x1b" + text: one PCL escape sequence.
std::string esc(std::string_view text);
// Bytes from a list of values, e.g. hex({0x40, 0xFF}).
std::string hex(std::initializer_list<int> values);
// Readable dump for failure messages: printable ASCII as is, ESC as "<ESC>", others as <hh>.
std::string printable(std::string_view bytes);
// Lines of a text, split at line feeds.
std::vector<std::string> lines(std::string_view text);

// The fixed start of every job without options: escape run, UEL, PJL header.
std::string pjlHeader(std::string_view jobName = "", std::string_view extraLines = "");
inline constexpr std::string_view uel = "\x1b%-12345X";

}  // namespace corvane::test
