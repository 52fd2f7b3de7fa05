// A paper size as a client names it, in the printer's terms: one of the
// sizes the printer lists, a custom size within its range, or a size it
// cannot print, which is refused rather than printed on other paper.
#pragma once

#include <string>
#include <string_view>

namespace corvane {

struct mediaChoice {
    enum class kind { listed, custom, refused };
    kind what = kind::refused;
    std::string name;       // listed: the printer's name for the size
    int width = 0;          // custom: the size in hundredths of a millimetre
    int length = 0;
    std::string refusal;    // refused: why, naming the printer's range
};

// A media name: one the printer lists, or a PWG name (self-describing such
// as custom_5x7in or custom_photo_100x150mm, or standard such as
// na_index-4x6_4x6in), or an older name such as iso-a4 or A4. A size the
// printer lists under another name becomes that name.
mediaChoice chooseMedia(std::string_view name);

// A media size in hundredths of a millimetre.
mediaChoice chooseMedia(int width, int length);

}  // namespace corvane
