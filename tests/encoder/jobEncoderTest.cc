// Whole jobs through the encoder on a memory sink, with the settings given
// as a key/value ticket: the PJL header, the job preamble and what each page
// sends before its frame.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/printerBytes.h"

namespace corvane {
namespace {

using namespace test;

const std::string s = "com.apple.print.PrintSettings.";
const std::string copies = s + "PMCopies..n.", collate = s + "PMCopyCollate..b.", lastPage = s + "PMLastPage..n.",
                  firstSource = s + "PMPrimaryPaperFeed..a.1", jobName = "com.apple.print.JobInfo.PMJobName";

// A job of `pages` pages of 4 x 1 pixels, each one zero row (a repeat of the zero seed).
encodedJob encode(optionMap options, int pages, ticketText text = ticketText::macRoman) {
    return encodeJob(std::move(options), std::vector<RasterPage>(pages, {4, 1, 0, {row(12, 0)}}), text);
}

std::string expectedJob(const std::string& settings, const std::vector<std::string>& pagePrefixes) {
    std::string stream = pjlHeader() + jobPreamble(settings);
    for (const auto& prefix : pagePrefixes) stream += pageStart(4, 1, prefix) + repeatRow() + pageEnd();
    return stream + jobEnd();
}

TEST(JobEncoder, PjlHeaderFromTonerAndJobName) {
    const std::string normal3 = "@PJL SET DENSITY = 3\n@PJL SET ECONOMODE = OFF\n";
    const std::vector<std::tuple<optionMap, std::string, std::string, ticketText>> cases = {
        {{{"TonerDarkness", "8"}, {jobName, "Report"}}, "Report", normal3, ticketText::macRoman},
        {{{"TonerDarkness", "3"}}, "", "@PJL SET DENSITY = 3\n@PJL SET ECONOMODE = ON\n", ticketText::macRoman},
        {{{"TonerDarkness", "PrinterS"}}, "", "", ticketText::macRoman},
        {{{jobName, "100% \"final\" %s%d"}}, "100% 'final' %s%d", "", ticketText::macRoman},
        // CUPS option bytes are Mac OS Roman; IPP text is UTF-8 already.
        {{{jobName, "caf\xC3\xA9 \xDB"}}, "caf\xE2\x88\x9A\xC2\xA9 \xE2\x82\xAC", "", ticketText::macRoman},
        {{{jobName, "caf\xC3\xA9"}}, "caf\xC3\xA9", "", ticketText::utf8},
    };
    for (const auto& [options, name, tonerLines, text] : cases)
        EXPECT_EQ(encode(options, 0, text).stream, pjlHeader(name, tonerLines) + jobEnd());
    EXPECT_EQ(pjlHeader("Report", normal3).size(), 5211u);
}

// A name that would end the PJL line or string keeps its length, with each
// control character as a space and each double quote as an apostrophe, so
// the header stays one line per command whatever the name holds.
TEST(JobEncoder, JobNamesCannotAddPrinterCommands) {
    const std::vector<std::tuple<std::string, std::string, ticketText>> cases = {
        {"a\n@PJL SET COPIES = 99\n", "a @PJL SET COPIES = 99 ", ticketText::utf8},
        {"b\r\n@PJL FSDELETE NAME = \"0:\\pcl\\fonts\"", "b  @PJL FSDELETE NAME = '0:\\pcl\\fonts'", ticketText::utf8},
        {"c\x1b%-12345X@PJL ENTER LANGUAGE = POSTSCRIPT", "c %-12345X@PJL ENTER LANGUAGE = POSTSCRIPT", ticketText::utf8},
        {std::string("d\0e\x7f\x1f\t", 6), "d e   ", ticketText::utf8},
        // Bytes above ASCII are characters of their own, never controls.
        {"\xC3\xA9\xC2\x85\"", "\xC3\xA9\xC2\x85'", ticketText::utf8},
        {"ab\"cd\x7f\xDB", "ab'cd \xE2\x82\xAC", ticketText::macRoman},
    };
    for (const auto& [name, written, text] : cases)
        EXPECT_EQ(encode({{jobName, name}}, 0, text).stream.substr(5000), (pjlHeader(written) + jobEnd()).substr(5000))
            << testing::PrintToString(name);
}

TEST(JobEncoder, CopiesAndSourcesOverSixPages) {
    const auto all = [](const std::string& prefix) { return std::vector<std::string>(6, prefix); };
    const std::string l3X = esc("&l3X"), tray1 = esc("&l1H"), tray3 = esc("&l5H"),
                      tray4 = esc("&l20H"), tray5 = esc("&l21H");
    const std::vector<std::tuple<const char*, optionMap, std::string, std::vector<std::string>>> cases = {
        {"uncollated, one source for the job",
         {{collate, "false"}, {copies, "2"}, {firstSource, "Tray1"}, {"InputSlot", "Tray1"}, {"media", "A4"}},
         esc("&l26A") + tray1, all(esc("&l2X") + tray1)},
        {"collated copies of three pages", {{collate, "True"}, {lastPage, "3"}, {firstSource, "Tray3"}, {"InputSlot", "Tray4"}},
         "", {tray3, tray4, tray4, tray3, tray4, tray4}},
        {"collated without a copy length: one long copy",
         {{collate, "true"}, {lastPage, "0"}, {firstSource, "Tray3"}, {"InputSlot", "Tray4"}}, "",
         {tray3, tray4, tray4, tray4, tray4, tray4}},
        {"only true and True collate", {{collate, "TRUE"}, {copies, "3"}}, "", all(l3X)},
        {"copies are the leading integer", {{copies, "3 apples"}}, "", all(l3X)},
        {"copies saturate", {{copies, "-99999999999"}}, "", all(esc("&l-2147483648X"))},
        {"only the later pages' source", {{"InputSlot", "Tray3"}}, "", {"", tray3, tray3, tray3, tray3, tray3}},
        {"only the first page's source", {{firstSource, "Tray5"}}, tray5, {tray5, "", "", "", "", ""}},
        {"names not in the source table", {{firstSource, "tray1"}, {"InputSlot", "PrinterS"}}, "", all("")},
    };
    for (const auto& [what, options, settings, pagePrefixes] : cases)
        EXPECT_EQ(encode(options, 6).stream, expectedJob(settings, pagePrefixes)) << what;
}

TEST(JobEncoder, PaperSizesAndMediaTypes) {
    const auto custom = [](const char* width, const char* length) {
        return esc("&l101A") + esc("&f" + std::string(width) + "G") + esc("&f" + std::string(length) + "F");
    };
    const std::vector<std::tuple<optionMap, std::string, bool>> cases = {
        {{{"media", "Letter"}, {"MediaType", "Card"}}, esc("&l2A") + esc("&n11WdCard Stock"), false},
        {{{"media", "A4"}, {"MediaType", "PrinterS"}}, esc("&l26A"), false},
        {{{"media", "Comm10"}, {"MediaType", "PrinterS"}}, esc("&l81A") + esc("&n9WdEnvelope"), false},
        {{{"media", "ISOB5"}, {"MediaType", "Custom6"}}, esc("&l100A") + esc("&n14WdCustom Type 6"), false},
        {{{"media", "PrinterS"}, {"MediaType", "plain"}}, "", false},
        {{{"media", "Custom.612x792"}}, custom("8.50", "11.00"), false},
        {{{"media", "xyCustom.72x144x9"}}, custom("1.00", "2.00"), false},
        {{{"media", "Custom.1e3x7.2e1"}}, custom("13.89", "1.00"), false},
        {{{"media", "Custom.abcx-72"}}, custom("0.00", "-1.00"), false},
        {{{"media", "Custom.infxnan"}}, custom("0.00", "0.00"), false},
        {{{"media", "Custom.612x792Custom.612x792"}}, custom("0.00", "0.00"), false},
        {{{"media", "Custom.612X792"}}, "", true},
        {{{"media", "Postcard"}}, "", true},
    };
    for (const auto& [options, settings, unusable] : cases) {
        const auto job = encode(options, 2);
        EXPECT_EQ(job.stream, expectedJob(settings, {"", ""})) << options.at("media");
        EXPECT_EQ(job.customSizeUnusable, unusable) << options.at("media");
    }
}

TEST(JobEncoder, FlushesAfterTheHeaderEachPageAndTheEnd) {
    auto flushes = encode({}, 2).flushedAt;
    flushes.erase(std::unique(flushes.begin(), flushes.end()), flushes.end());
    const std::size_t header = pjlHeader().size(), page = pageStart(4, 1).size() + repeatRow().size() + pageEnd().size();
    const std::size_t first = header + jobPreamble().size() + page;
    EXPECT_EQ(flushes, (std::vector<std::size_t>{header, first, first + page, first + page + jobEnd().size()}));
}

}  // namespace
}  // namespace corvane
