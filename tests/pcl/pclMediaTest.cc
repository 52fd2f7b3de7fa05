#include <gtest/gtest.h>

#include "encoder/pclTables.h"
#include "pclTestJob.h"
#include "support/bytes.h"

namespace corvane {
namespace {

using test::pclTestJob;

// The settings between the fixed start and the top margin of the preamble.
std::string settingsFor(const std::string& options, std::string* errors = nullptr) {
    pclTestJob t(options.c_str());
    const std::string preamble = t.preamble();
    const std::string start = "\x1b*t600R\x1b&u600D";
    const std::string end = "\x1b&l0E";
    EXPECT_TRUE(preamble.starts_with(start) && preamble.ends_with(end));
    if (errors) *errors = t.job.errorText();
    return preamble.substr(start.size(), preamble.size() - start.size() - end.size());
}

TEST(PaperSize, NamedSizesAndEnvelopes) {
    struct row {
        const char* name;
        const char* command;
    };
    const row rows[] = {
        {"Letter", "\x1b&l2A"},     {"Legal", "\x1b&l3A"},     {"A3", "\x1b&l27A"},
        {"A4", "\x1b&l26A"},        {"A5", "\x1b&l25A"},       {"A6", "\x1b&l24A"},
        {"B4", "\x1b&l46A"},        {"B5", "\x1b&l45A"},       {"Executive", "\x1b&l1A"},
        {"Folio", "\x1b&l4A"},      {"Statement", "\x1b&l15A"}, {"Universal", "\x1b&l101A"},
        {"OthEnv", "\x1b&l600A"},   {"Monarch", "\x1b&l80A"},  {"C4", "\x1b&l89A"},
        {"Comm10", "\x1b&l81A"},    {"DL", "\x1b&l90A"},       {"C5", "\x1b&l91A"},
        {"ISOB5", "\x1b&l100A"},
    };
    for (const auto& [name, command] : rows) {
        SCOPED_TRACE(name);
        EXPECT_EQ(settingsFor(std::string("media=") + name), command);
        // "PrinterS" media type sends the envelope type only after an envelope size.
        const bool envelope = findPageSize(name)->isEnvelope;
        EXPECT_EQ(settingsFor(std::string("MediaType=PrinterS media=") + name),
                  std::string(command) + (envelope ? "\x1b&n9WdEnvelope" : ""));
    }
    EXPECT_EQ(findPageSize("a4"), std::nullopt);
}

TEST(PaperSize, ValuesThatSendNothing) {
    for (const char* value : {"PrinterS", "11x17", "Tabloid"}) {
        std::string errors;
        EXPECT_EQ(settingsFor(std::string("media=") + value, &errors), "") << value;
        EXPECT_EQ(errors, "");
    }
    EXPECT_EQ(settingsFor(""), "");
}

TEST(PaperSize, CustomSizesInPoints) {
    struct row {
        const char* value;
        const char* commands;
    };
    const row rows[] = {
        {"Custom.612x792", "\x1b&l101A\x1b&f8.50G\x1b&f11.00F"},
        {"Custom.595x842", "\x1b&l101A\x1b&f8.26G\x1b&f11.69F"},
        {"Custom.8.5x11in", "\x1b&l101A\x1b&f0.12G\x1b&f0.15F"},
        {"Custom.612x792Custom.612x792", "\x1b&l101A\x1b&f0.00G\x1b&f0.00F"},
        {"xyCustom.72x144", "\x1b&l101A\x1b&f1.00G\x1b&f2.00F"},
        {"612x792", "\x1b&l101A\x1b&f8.50G\x1b&f11.00F"},
        {"Custom.72x144x9", "\x1b&l101A\x1b&f1.00G\x1b&f2.00F"},
        {"Custom.abcx-72", "\x1b&l101A\x1b&f0.00G\x1b&f-1.00F"},
        {"Custom.1e3x7.2e1", "\x1b&l101A\x1b&f13.89G\x1b&f1.00F"},
        {"Custom.infxnan", "\x1b&l101A\x1b&f0.00G\x1b&f0.00F"},
        {"Custom.0x48x72", "\x1b&l101A\x1b&f0.00G\x1b&f0.67F"},
        {"Custom.612X792", ""},  // upper-case X does not split
    };
    for (const auto& [value, commands] : rows) {
        SCOPED_TRACE(value);
        EXPECT_EQ(settingsFor(std::string("media=") + value), commands);
    }
}

TEST(PaperSize, SizeWithoutLengthIsReportedAndNotSent) {
    for (const char* value : {"Custom.612", "Postcard", "Custom."}) {
        SCOPED_TRACE(value);
        std::string errors;
        EXPECT_EQ(settingsFor(std::string("media=") + value, &errors), "");
        EXPECT_EQ(errors, "ERROR: Custom media size value\n");
    }
}

TEST(MediaType, TableNamesAndCounts) {
    struct row {
        const char* value;
        const char* command;
    };
    const row rows[] = {
        {"Plain", "\x1b&n6WdPlain"},
        {"Bond", "\x1b&n5WdBond"},
        {"Transparency", "\x1b&n13WdTransparency"},
        {"Card", "\x1b&n11WdCard Stock"},
        {"Labels", "\x1b&n7WdLabels"},
        {"Letterhead", "\x1b&n11WdLetterhead"},
        {"Preprint", "\x1b&n11WdPreprinted"},
        {"Colored", "\x1b&n6WdColor"},
        {"Envelope", "\x1b&n9WdEnvelope"},
        {"Custom1", "\x1b&n14WdCustom Type 1"},
        {"Custom6", "\x1b&n14WdCustom Type 6"},
        {"plain", ""},
        {"PrinterS", ""},
        {"Cardstock", ""},
    };
    for (const auto& [value, command] : rows) {
        SCOPED_TRACE(value);
        EXPECT_EQ(settingsFor(std::string("MediaType=") + value), command);
    }
    EXPECT_EQ(settingsFor("MediaType=Card"),
              test::hex({0x1B, 0x26, 0x6E, 0x31, 0x31, 0x57, 0x64, 0x43, 0x61, 0x72, 0x64, 0x20,
                         0x53, 0x74, 0x6F, 0x63, 0x6B}));
}

TEST(PaperSource, CodesDoNotFollowTrayNumbers) {
    struct row {
        const char* name;
        const char* command;
    };
    const row rows[] = {
        {"Tray1", "\x1b&l1H"},  {"ManualPaper", "\x1b&l2H"},        {"ManualEnv", "\x1b&l3H"},
        {"EnvFeeder", "\x1b&l6H"}, {"MultipurposeFeeder", "\x1b&l8H"}, {"Tray2", "\x1b&l4H"},
        {"Tray3", "\x1b&l5H"},  {"Tray4", "\x1b&l20H"},             {"Tray5", "\x1b&l21H"},
        {"tray1", ""},          {"PrinterS", ""},                   {"'Tray1 '", ""},
    };
    for (const auto& [name, command] : rows) {
        SCOPED_TRACE(name);
        EXPECT_EQ(settingsFor(std::string("com.apple.print.PrintSettings.PMPrimaryPaperFeed..a.1=") +
                              name),
                  command);
    }
}

TEST(JobPreamble, OrderOfSettings) {
    EXPECT_EQ(settingsFor("com.apple.print.PrintSettings.PMCopyCollate..b.=true "
                          "com.apple.print.PrintSettings.PMCopies..n.=2 media=Comm10 "
                          "MediaType=PrinterS com.apple.print.PrintSettings.PMPrimaryPaperFeed..a.1="
                          "EnvFeeder"),
              "\x1b&l1X\x1b&l81A\x1b&n9WdEnvelope\x1b&l6H");
}

}  // namespace
}  // namespace corvane
