#include <gtest/gtest.h>

#include "pclTestJob.h"
#include "support/bytes.h"

namespace corvane {
namespace {

using test::hex;
using test::pageFrame;
using test::pclTestJob;

constexpr const char* copies = "com.apple.print.PrintSettings.PMCopies..n.=";
constexpr const char* collate = "com.apple.print.PrintSettings.PMCopyCollate..b.=";
constexpr const char* lastPage = "com.apple.print.PrintSettings.PMLastPage..n.=";
constexpr const char* firstSource = "com.apple.print.PrintSettings.PMPrimaryPaperFeed..a.1=";

std::string options(std::initializer_list<std::string> parts) {
    std::string text;
    for (const auto& part : parts) text += part + " ";
    return text;
}

// The bytes each page preamble carries before the fixed frame.
std::vector<std::string> pagePrefixes(pclTestJob& t, int pages) {
    std::vector<std::string> prefixes;
    const std::string frame = pageFrame(t.header.cupsWidth, t.header.cupsHeight);
    for (int i = 0; i < pages; ++i) {
        const std::string block = t.nextPage();
        EXPECT_TRUE(block.ends_with(frame)) << test::printable(block);
        prefixes.push_back(block.substr(0, block.size() - frame.size()));
    }
    return prefixes;
}

TEST(JobPreamble, UncollatedExampleWithEqualSources) {
    const std::string o = options({std::string(collate) + "false", std::string(copies) + "2",
                                   std::string(firstSource) + "Tray1", "InputSlot=Tray1",
                                   "media=A4", "MediaType=Plain"});
    pclTestJob t(o.c_str());
    const std::string preamble = t.preamble();
    EXPECT_EQ(preamble.size(), 41u);
    EXPECT_EQ(preamble,
              hex({0x1B, 0x2A, 0x74, 0x36, 0x30, 0x30, 0x52, 0x1B, 0x26, 0x75, 0x36, 0x30, 0x30,
                   0x44, 0x1B, 0x26, 0x6C, 0x32, 0x36, 0x41, 0x1B, 0x26, 0x6E, 0x36, 0x57, 0x64,
                   0x50, 0x6C, 0x61, 0x69, 0x6E, 0x1B, 0x26, 0x6C, 0x31, 0x48, 0x1B, 0x26, 0x6C,
                   0x30, 0x45}));
    for (const auto& prefix : pagePrefixes(t, 6)) EXPECT_EQ(prefix, "\x1b&l2X\x1b&l1H");
}

TEST(JobPreamble, CollatedExampleWithDifferentSources) {
    const std::string o = options({std::string(collate) + "true", std::string(copies) + "3",
                                   std::string(lastPage) + "2", std::string(firstSource) + "Tray2",
                                   "InputSlot=Tray1", "media=Letter"});
    pclTestJob t(o.c_str());
    const std::string preamble = t.preamble();
    EXPECT_EQ(preamble.size(), 29u);
    EXPECT_EQ(preamble, "\x1b*t600R\x1b&u600D\x1b&l1X\x1b&l2A\x1b&l0E");
    const auto prefixes = pagePrefixes(t, 6);
    for (int page = 1; page <= 6; ++page)
        EXPECT_EQ(prefixes[page - 1], page % 2 == 1 ? "\x1b&l4H" : "\x1b&l1H") << page;
}

TEST(Collation, OnlyTrueAndTrueCollate) {
    struct row {
        const char* value;
        bool collated;
    };
    for (const auto& [value, collated] : {row{"true", true}, row{"True", true},
                                          row{"TRUE", false}, row{"1", false}, row{"''", false},
                                          row{"false", false}}) {
        SCOPED_TRACE(value);
        const std::string o = options({std::string(collate) + value, std::string(copies) + "3"});
        pclTestJob t(o.c_str());
        const std::string preamble = t.preamble();
        EXPECT_EQ(preamble.find("\x1b&l1X") != std::string::npos, collated);
        for (const auto& prefix : pagePrefixes(t, 2))
            EXPECT_EQ(prefix, collated ? "" : "\x1b&l3X");
    }
}

TEST(Copies, ValueIsTheLeadingInteger) {
    struct row {
        const char* value;
        const char* command;
    };
    for (const auto& [value, command] :
         {row{"3", "\x1b&l3X"}, row{"'3 apples'", "\x1b&l3X"}, row{"' 3'", "\x1b&l3X"},
          row{"abc", "\x1b&l0X"}, row{"-2", "\x1b&l-2X"}, row{"1", "\x1b&l1X"},
          row{"99999999999", "\x1b&l2147483647X"}, row{"-99999999999", "\x1b&l-2147483648X"}}) {
        SCOPED_TRACE(value);
        const std::string o = std::string(copies) + value;
        pclTestJob t(o.c_str());
        EXPECT_EQ(t.preamble(), "\x1b*t600R\x1b&u600D\x1b&l0E");
        EXPECT_EQ(pagePrefixes(t, 2), (std::vector<std::string>{command, command}));
    }
}

TEST(Copies, CollatedWithoutCopiesOptionSendsNoCopies) {
    const std::string o = std::string(collate) + "True";
    pclTestJob t(o.c_str());
    EXPECT_EQ(t.preamble(), "\x1b*t600R\x1b&u600D\x1b&l0E");
    EXPECT_EQ(pagePrefixes(t, 2), (std::vector<std::string>{"", ""}));
    EXPECT_EQ(t.pcl.copiesOfCurrentPage(), 1);
}

TEST(Collation, LastPageDecidesWhichPagesStartACopy) {
    struct row {
        const char* lastPage;
        const char* firstOfCopy;  // pages 1..6, 'F' first-page source, 'O' other
    };
    // 0, absent and non-numbers fall back to one long copy; negative values
    // work by magnitude; 1 makes the remainder always 0.
    for (const auto& [value, expected] :
         {row{"1", "OOOOOO"}, row{"2", "FOFOFO"}, row{"3", "FOOFOO"}, row{"0", "FOOOOO"},
          row{"-2", "FOFOFO"}, row{"x", "FOOOOO"}, row{nullptr, "FOOOOO"}}) {
        SCOPED_TRACE(value ? value : "absent");
        std::string o = options({std::string(collate) + "true", std::string(firstSource) + "Tray3",
                                 "InputSlot=Tray4"});
        if (value) o += std::string(lastPage) + value;
        pclTestJob t(o.c_str());
        EXPECT_EQ(t.preamble(), "\x1b*t600R\x1b&u600D\x1b&l0E");
        const auto prefixes = pagePrefixes(t, 6);
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(prefixes[i], expected[i] == 'F' ? "\x1b&l5H" : "\x1b&l20H") << i + 1;
    }
}

TEST(Sources, OnlyInputSlotOrOnlyFirstPageSource) {
    {
        pclTestJob t("InputSlot=Tray3");
        EXPECT_EQ(t.preamble(), "\x1b*t600R\x1b&u600D\x1b&l0E");
        EXPECT_EQ(pagePrefixes(t, 3), (std::vector<std::string>{"", "\x1b&l5H", "\x1b&l5H"}));
    }
    {
        const std::string o = std::string(firstSource) + "Tray5";
        pclTestJob t(o.c_str());
        EXPECT_EQ(t.preamble(), "\x1b*t600R\x1b&u600D\x1b&l21H\x1b&l0E");
        EXPECT_EQ(pagePrefixes(t, 3), (std::vector<std::string>{"\x1b&l21H", "", ""}));
    }
    {
        const std::string o = std::string(firstSource) + "Tray2 InputSlot=Tray2";
        pclTestJob t(o.c_str());
        EXPECT_EQ(t.preamble(), "\x1b*t600R\x1b&u600D\x1b&l4H\x1b&l0E");
        EXPECT_EQ(pagePrefixes(t, 2), (std::vector<std::string>{"\x1b&l4H", "\x1b&l4H"}));
    }
}

}  // namespace
}  // namespace corvane
