#include "filter/platformOptions.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string_view>

// cups.h first: pwg.h relies on the types it declares.
#include <cups/cups.h>
#include <cups/pwg.h>

namespace corvane {
namespace {

// Portrait dimensions in PWG units (hundredths of a millimetre).
struct paperSize {
    std::string_view name;
    int width;
    int length;
};

constexpr int inches(double value) { return static_cast<int>(value * 2540 + 0.5); }
constexpr int millimetres(int value) { return value * 100; }

// Every paper size name the PCL generator sends a page size code for, except
// "Universal" and "OthEnv", which stand for no fixed dimensions. B4 and B5
// are the JIS sizes (PCL codes 46 and 45); ISOB5 is the ISO B5 envelope.
constexpr std::array<paperSize, 17> paperSizes = {{
    {"Letter", inches(8.5), inches(11)},
    {"Legal", inches(8.5), inches(14)},
    {"A3", millimetres(297), millimetres(420)},
    {"A4", millimetres(210), millimetres(297)},
    {"A5", millimetres(148), millimetres(210)},
    {"A6", millimetres(105), millimetres(148)},
    {"B4", millimetres(257), millimetres(364)},
    {"B5", millimetres(182), millimetres(257)},
    {"Executive", inches(7.25), inches(10.5)},
    {"Folio", inches(8.5), inches(13)},
    {"Statement", inches(5.5), inches(8.5)},
    {"Monarch", inches(3.875), inches(7.5)},
    {"C4", millimetres(229), millimetres(324)},
    {"Comm10", inches(4.125), inches(9.5)},
    {"DL", millimetres(110), millimetres(220)},
    {"C5", millimetres(162), millimetres(229)},
    {"ISOB5", millimetres(176), millimetres(250)},
}};

// Names written in millimetres for inch sizes (and the reverse) are rounded;
// half a millimetre absorbs that without joining two different sizes.
constexpr int sizeTolerance = 50;

constexpr std::array<std::string_view, 5> otherKnownSizes = {
    "PrinterS", "11x17", "Tabloid", "Universal", "OthEnv"};

bool isKnownSizeValue(std::string_view value) {
    if (value.find("Custom.") != std::string_view::npos) return true;
    for (const auto& size : paperSizes)
        if (size.name == value) return true;
    for (const auto name : otherKnownSizes)
        if (name == value) return true;
    return false;
}

const paperSize* sizeWithDimensions(int width, int length) {
    // libcups reads any number of digits from a PWG name, down to INT_MIN:
    // the differences are taken in 64 bits so that they cannot overflow.
    const auto near = [](int a, int b) {
        return std::llabs(static_cast<long long>(a) - b) <= sizeTolerance;
    };
    for (const auto& size : paperSizes)
        if (near(size.width, width) && near(size.length, length)) return &size;
    return nullptr;
}

// Points with at most two decimals and no trailing zeros: 612, 283.46.
std::string formatPoints(int pwgUnits) {
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%.2f", PWG_TO_POINTS(pwgUnits));
    std::string points(text.data());
    points.erase(points.find_last_not_of('0') + 1);
    if (points.back() == '.') points.pop_back();
    return points;
}

std::string paperSizeName(std::string value) {
    if (isKnownSizeValue(value)) return value;
    const pwg_media_t* media = pwgMediaForPWG(value.c_str());
    if (media == nullptr) return value;
    if (const paperSize* size = sizeWithDimensions(media->width, media->length))
        return std::string(size->name);
    return "Custom." + formatPoints(media->width) + "x" + formatPoints(media->length);
}

}  // namespace

void adaptPlatformOptions(optionMap& options) {
    auto media = options.find("media");
    if (media == options.end()) {
        for (const char* standIn : {"PageSize", "PageRegion"}) {
            if (const auto found = options.find(standIn); found != options.end()) {
                media = options.emplace("media", found->second).first;
                break;
            }
        }
    }
    if (media != options.end()) media->second = paperSizeName(std::move(media->second));

    // No Linux client sends the first-page source, so without this a job's
    // first page would come from the printer's default source and only the
    // later pages from the tray the user chose.
    if (const auto slot = options.find("InputSlot"); slot != options.end())
        options.try_emplace("com.apple.print.PrintSettings.PMPrimaryPaperFeed..a.1", slot->second);
}

}  // namespace corvane
