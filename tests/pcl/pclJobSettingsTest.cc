#include <gtest/gtest.h>

#include "pclTestJob.h"
#include "support/bytes.h"

namespace corvane {
namespace {

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

}  // namespace
}  // namespace corvane
