// Hand-built printer streams for the inspector's tests: a well-formed job
// that tests break in one place at a time.
#pragma once

#include <string>
#include <string_view>

#include "support/bytes.h"
#include "support/inspect.h"

namespace corvane::test {

// Page preamble for a width x height 24-bit raster, then ESC*b3M.
inline std::string pageStart(unsigned height, unsigned width, std::string_view pageCommands = "") {
    return std::string(pageCommands) + esc("*p0Y") + esc("*p0P") + esc("*v6W") + hex({0, 3, 0, 8, 8, 8}) +
           esc("*r1A") + esc("*r" + std::to_string(height) + "t" + std::to_string(width) + "S") + esc("*b3M");
}

inline std::string pageEnd() {
    return esc("*rC") + esc("*v0O") + esc("*v0N") + esc("*l252O") + "\f";
}

inline std::string row(std::string_view deltaData) {
    return esc("*b" + std::to_string(deltaData.size()) + "W") + std::string(deltaData);
}

inline std::string moveTo(unsigned y) { return esc("*p0X") + esc("*p" + std::to_string(y) + "Y"); }

inline std::string jobPreamble() {
    return esc("*t600R") + esc("&u600D") + esc("&l26A") + esc("&l0E");
}

inline std::string jobEnd() { return esc("E") + std::string(uel); }

// One page, 4 x 2 pixels: row 0 blank, row 1 white/black/black/white.
inline std::string smallPage() {
    return pageStart(2, 4) + moveTo(1) + row(hex({0x40, 0xFF, 0xFF, 0xFF, 0x46, 0xFF, 0xFF, 0xFF})) + pageEnd();
}

inline std::string smallJob() { return pjlHeader("Report") + jobPreamble() + smallPage() + jobEnd(); }

}  // namespace corvane::test
