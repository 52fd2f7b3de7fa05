#include "app/server/mediaRequest.h"

#include <algorithm>
#include <cstdio>
#include <string>

// cups.h first: pwg.h relies on the types it declares.
#include <cups/cups.h>
#include <cups/pwg.h>

#include "app/driver/mediaSizes.h"

namespace corvane {
namespace {

constexpr std::string_view range = "3 x 5 to 12 x 18 in";

bool customRangeName(std::string_view name) { return name.starts_with("custom_m"); }

mediaChoice refused(std::string why) {
    mediaChoice choice;
    choice.refusal = std::move(why);
    return choice;
}

mediaChoice listed(std::string_view name) {
    mediaChoice choice;
    choice.what = mediaChoice::kind::listed;
    choice.name = name;
    return choice;
}

// A client's text in a message: its control characters shown as '?'.
std::string shown(std::string_view text) {
    std::string out(text.substr(0, 100));
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return out;
}

std::string millimetres(int width, int length) {
    char text[64];
    std::snprintf(text, sizeof text, "%g x %g mm", width / 100.0, length / 100.0);
    return text;
}

// A number of the form 12 or 4.125, or -1.
double decimal(std::string_view text) {
    double value = 0, scale = 0;
    if (text.empty() || text.size() > 12) return -1;
    for (const char c : text) {
        if (c == '.' && scale == 0) scale = 1;
        else if (c >= '0' && c <= '9') value = value * 10 + (c - '0'), scale *= 10;
        else return -1;
    }
    return scale > 0 ? value / scale : value;
}

// The size a PWG self-describing name ends in ("_5x7in", "_100x150mm"), as
// libcups reads it only after a class and a name: not in custom_5x7in.
bool selfDescribedSize(std::string_view name, int& width, int& length) {
    const std::size_t underscore = name.rfind('_');
    if (underscore == std::string_view::npos) return false;
    std::string_view size = name.substr(underscore + 1);
    const double unit = size.ends_with("in") ? 2540 : size.ends_with("mm") ? 100 : 0;
    size.remove_suffix(std::min<std::size_t>(size.size(), 2));
    const std::size_t x = size.find('x');
    if (unit == 0 || x == std::string_view::npos) return false;
    const double w = decimal(size.substr(0, x)), l = decimal(size.substr(x + 1));
    if (w <= 0 || l <= 0) return false;
    width = static_cast<int>(w * unit + 0.5);
    length = static_cast<int>(l * unit + 0.5);
    return true;
}

// `size` says how the client named it, for the refusal.
mediaChoice bySize(int width, int length, const std::string& size) {
    if (width < customMinWidth || width > customMaxWidth || length < customMinLength || length > customMaxLength)
        return refused("The paper size " + size + " is outside the printer's range, " + std::string(range) + ".");
    for (const char* name : mediaNames) {
        const pwg_media_t* media = pwgMediaForPWG(name);
        if (!customRangeName(name) && media && media->width == width && media->length == length) return listed(name);
    }
    mediaChoice choice;
    choice.what = mediaChoice::kind::custom;
    choice.width = width;
    choice.length = length;
    return choice;
}

}  // namespace

mediaChoice chooseMedia(std::string_view name) {
    for (const char* known : mediaNames)
        if (name == known) return listed(name);
    const std::string text(name);
    const pwg_media_t* media = pwgMediaForPWG(text.c_str());
    if (media == nullptr) media = pwgMediaForLegacy(text.c_str());  // iso-a4, na-letter
    if (media == nullptr) media = pwgMediaForPPD(text.c_str());     // A4, Letter
    if (media != nullptr) return bySize(media->width, media->length, shown(text));
    int width = 0, length = 0;
    if (name.starts_with("custom_") && selfDescribedSize(name, width, length))
        return bySize(width, length, shown(text));
    return refused("The paper size " + shown(text) + " is not a media name the printer knows; it takes sizes from " +
                   std::string(range) + ".");
}

mediaChoice chooseMedia(int width, int length) { return bySize(width, length, millimetres(width, length)); }

}  // namespace corvane
