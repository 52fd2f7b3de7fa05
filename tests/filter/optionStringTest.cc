// CUPS option strings into the encoder's ticket: parsing, the print
// dialogue's escapes, and the adaptation of the options CUPS queues send.
// (The first page's source filled from InputSlot is held end to end by
// EncoderMatchesFilter.)
#include <gtest/gtest.h>

#include "filter/optionString.h"
#include "filter/platformOptions.h"

namespace corvane {
namespace {

TEST(OptionString, EscapesAreUndoneInOrderOnePassAtATime) {
    const std::pair<const char*, const char*> cases[] = {
        {"<27><3D><20><2C><3C><3E>", "'= ,<>"},
        {"x<2c>y<3d>", "x,y="},  // hex digits in either case
        {"<3C>27>", "<27>"},      // made after the apostrophe pass ran: stays
        {"<3C>3E>", ">"},         // made before the '>' pass: replaced
        {"<3C>3C>", "<3C>"},      // a pass does not search its own output
        {"<22>", "<22>"},
        {"<20", "<20"},
        {"<2G>", "<2G>"},
    };
    for (const auto& [value, decoded] : cases) EXPECT_EQ(decodeEscapes(value), decoded) << value;
}

TEST(OptionString, CupsParsesTheStringValuesAreDecodedLaterOptionsWin) {
    const auto ticket = ticketFromOptionString("name=a<20>b key<20>x=1 quoted='two words' media=A4 media=Letter");
    EXPECT_EQ(ticket->keyEnumerator(), (optionMap{{"name", "a b"}, {"key<20>x", "1"}, {"quoted", "two words"},
                                                  {"media", "Letter"}}));
    EXPECT_TRUE(ticketFromOptionString("")->keyEnumerator().empty());
    // High bytes stay Mac OS Roman characters until the encoder needs UTF-8.
    const auto roman = ticketFromOptionString("title=\xA9");
    EXPECT_EQ(*roman->getValue("title"), "\xA9");
    EXPECT_EQ(roman->utf8Text("\xA9"), "\xC2\xA9");
}

optionMap adapted(optionMap options) {
    adaptPlatformOptions(options);
    return options;
}

TEST(PlatformOptions, MediaFromSizeOptionsNoOtherOptionTouched) {
    EXPECT_EQ(adapted({{"PageSize", "A5"}, {"PageRegion", "Legal"}}).at("media"), "A5");
    EXPECT_EQ(adapted({{"PageRegion", "iso_a5_148x210mm"}}).at("media"), "A5");
    EXPECT_EQ(adapted({{"media", "Letter"}, {"PageSize", "A4"}}).at("media"), "Letter");
    const optionMap others = {{"MediaType", "na_letter_8.5x11in"}, {"TonerDarkness", "3"}};
    EXPECT_EQ(adapted(others), others);
}

TEST(PlatformOptions, PwgNamesBecomeTheSizeOfTheSameDimensions) {
    const std::pair<const char*, const char*> cases[] = {
        {"na_number-10_4.125x9.5in", "Comm10"},
        // B4 and B5 are the JIS sizes, ISOB5 the envelope.
        {"jis_b5_182x257mm", "B5"},
        {"iso_b5_176x250mm", "ISOB5"},
        {"iso_b4_250x353mm", "Custom.708.66x1000.63"},
        {"om_letter-mm_216x279mm", "Letter"},  // an inch size in rounded millimetres
        {"custom_card_100x150mm", "Custom.283.46x425.2"},
        {"custom_wide_297x210mm", "Custom.841.89x595.28"},  // landscape is not A4 turned round
        // Names the encoder reads itself, and names libcups does not read.
        {"Custom.8.5x11in", "Custom.8.5x11in"},
        {"prefix Custom.100x200", "prefix Custom.100x200"},
        {"Tabloid", "Tabloid"},
        {"not_a_size", "not_a_size"},
    };
    // (Lengths libcups reads as INT_MIN or a wrapped value are printed end to
    // end by the hostile-input tests, under the sanitizers.)
    for (const auto& [pwg, media] : cases) EXPECT_EQ(adapted({{"media", pwg}}).at("media"), media) << pwg;
}

}  // namespace
}  // namespace corvane
