// Mac OS Roman text: every byte is one character.
#pragma once

#include <string>
#include <string_view>

namespace corvane {

// Reads the bytes as Mac OS Roman characters and returns their UTF-8 form.
// Bytes below 0x80 are ASCII and come out unchanged.
std::string macRomanToUtf8(std::string_view bytes);

}  // namespace corvane
