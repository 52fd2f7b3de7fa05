#include "filter/platformOptions.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace corvane {
namespace {

optionMap adapted(optionMap options) {
    adaptPlatformOptions(options);
    return options;
}

std::string mediaFor(const std::string& value) { return adapted({{"media", value}}).at("media"); }

TEST(PlatformOptions, SizeOptionsDecideTheMedia) {
    EXPECT_EQ(adapted({{"PageSize", "A4"}}).at("media"), "A4");
    EXPECT_EQ(adapted({{"PageRegion", "Legal"}}).at("media"), "Legal");
    EXPECT_EQ(adapted({{"PageSize", "A5"}, {"PageRegion", "Legal"}}).at("media"), "A5");
    EXPECT_EQ(adapted({{"media", "Letter"}, {"PageSize", "A4"}}).at("media"), "Letter");
    // A PWG name given as PageSize is adapted too.
    EXPECT_EQ(adapted({{"PageSize", "iso_a5_148x210mm"}}).at("media"), "A5");
}

TEST(PlatformOptions, NoSizeOptionLeavesMediaAbsent) {
    EXPECT_EQ(adapted({{"MediaType", "Plain"}}), (optionMap{{"MediaType", "Plain"}}));
}

TEST(PlatformOptions, PwgNamesBecomeTheFilterSizeOfTheSameDimensions) {
    const std::pair<const char*, const char*> cases[] = {
        {"iso_a4_210x297mm", "A4"},
        {"na_letter_8.5x11in", "Letter"},
        {"na_legal_8.5x14in", "Legal"},
        {"iso_a3_297x420mm", "A3"},
        {"iso_a6_105x148mm", "A6"},
        {"na_executive_7.25x10.5in", "Executive"},
        {"na_invoice_5.5x8.5in", "Statement"},
        {"na_foolscap_8.5x13in", "Folio"},
        {"na_monarch_3.875x7.5in", "Monarch"},
        {"na_number-10_4.125x9.5in", "Comm10"},
        {"iso_dl_110x220mm", "DL"},
        {"iso_c4_229x324mm", "C4"},
        {"iso_c5_162x229mm", "C5"},
        // B4 and B5 are the JIS sizes, while ISO B5 is the envelope.
        {"jis_b4_257x364mm", "B4"},
        {"jis_b5_182x257mm", "B5"},
        {"iso_b5_176x250mm", "ISOB5"},
        {"iso_b4_250x353mm", "Custom.708.66x1000.63"},
        // An inch size named in rounded millimetres still matches.
        {"om_letter-mm_216x279mm", "Letter"},
        // Unmatched sizes become custom sizes in points.
        {"na_index-4x6_4x6in", "Custom.288x432"},
        {"custom_card_100x150mm", "Custom.283.46x425.2"},
        {"na_ledger_11x17in", "Custom.792x1224"},
        // Landscape dimensions are not a portrait size turned round.
        {"custom_wide_297x210mm", "Custom.841.89x595.28"},
    };
    for (const auto& [pwg, media] : cases) EXPECT_EQ(mediaFor(pwg), media) << pwg;
}

TEST(PlatformOptions, ValuesThatAreNotPwgNamesPassUnchanged) {
    // Names the filter already understands, then names libcups does not read.
    for (const char* value :
         {"Letter", "Legal", "A3", "A4", "A5", "A6", "B4", "B5", "Executive", "Folio",
          "Statement", "Monarch", "C4", "Comm10", "DL", "C5", "ISOB5", "PrinterS", "11x17",
          "Tabloid", "Universal", "OthEnv", "Custom.612x792", "Custom.8.5x11in",
          "prefix Custom.100x200", "a4", "iso-a4", "Env10", "", "not_a_size", "A4 "})
        EXPECT_EQ(mediaFor(value), value);
}

TEST(PlatformOptions, OtherOptionsAreNotTouched) {
    const optionMap before = {{"media", "iso_a4_210x297mm"},
                              {"PageSize", "iso_a4_210x297mm"},
                              {"MediaType", "na_letter_8.5x11in"},
                              {"InputSlot", "Tray2"},
                              {"TonerDarkness", "8"}};
    optionMap after = adapted(before);
    EXPECT_EQ(after.at("media"), "A4");
    after["media"] = before.at("media");
    EXPECT_EQ(after, before);
}

}  // namespace
}  // namespace corvane
