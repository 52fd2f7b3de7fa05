// The printer's back channel without PAPPL: replies cut out of raw bytes
// however they arrive, what they mean, the status codes as IPP reasons, the
// app's own PJL blocks, and a job's reports on one connection, read by a
// thread while the other side writes (the socket path) or on demand (the
// USB path), both over a socket pair; and the Printer MIB's supply table
// over SNMP as bytes (the exchange with a real agent is supplies.sh's).
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <map>
#include <variant>
#include <cstdint>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "app/devices/backChannel.h"
#include "app/devices/pjlReplies.h"
#include "app/devices/printerMib.h"
#include "app/devices/statusCodes.h"
#include "app/devices/statusCommands.h"
#include "socketPair.h"

namespace corvane {
namespace {

std::span<const std::uint8_t> bytesOf(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

constexpr std::string_view jam = "@PJL USTATUS DEVICE\r\nCODE=40022\r\nDISPLAY=\"PAPER JAM\"\r\nONLINE=FALSE\r\n\f";
constexpr std::string_view ready = "@PJL INFO STATUS\r\nCODE=10001\r\nDISPLAY=\"00 READY\"\r\nONLINE=TRUE\r\n\f";

TEST(ReplySplitter, RepliesHoweverTheBytesArrive) {
    const std::string stream = std::string(jam) + std::string(ready);
    // One byte at a time, all at once, and cut at every place in between.
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        pjlReplySplitter splitter;
        auto replies = splitter.take(bytesOf(std::string_view(stream).substr(0, cut)));
        const auto rest = splitter.take(bytesOf(std::string_view(stream).substr(cut)));
        replies.insert(replies.end(), rest.begin(), rest.end());
        ASSERT_EQ(replies.size(), 2u) << "cut at " << cut;
        EXPECT_EQ(replies[0].head, "USTATUS DEVICE");
        EXPECT_EQ(replies[1].lines, (std::vector<std::string>{"CODE=10001", "DISPLAY=\"00 READY\"", "ONLINE=TRUE"}));
    }
    pjlReplySplitter bytewise;
    std::size_t found = 0;
    for (const char c : stream) found += bytewise.take(bytesOf(std::string_view(&c, 1))).size();
    EXPECT_EQ(found, 2u);
    EXPECT_EQ(bytewise.buffered(), 0u);
}

TEST(ReplySplitter, GarbageFloodsAndOverlongRepliesCostBoundedMemory) {
    pjlReplySplitter splitter;
    // A PostScript ^D, a NUL and half a reply cut off by a printer reset before a whole one.
    auto replies = splitter.take(bytesOf(std::string("\x04\0@PJL USTATUS DEV", 18) + std::string(ready)));
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].head, "INFO STATUS");
    // Megabytes without a form feed, then without "@PJL" at all: the buffer stays bounded.
    const std::string noise(1 << 20, 'x');
    EXPECT_TRUE(splitter.take(bytesOf("@PJL USTATUS DEVICE\r\nDISPLAY=\"" + noise)).empty());
    EXPECT_LE(splitter.buffered(), pjlReplySplitter::longestReply);
    EXPECT_TRUE(splitter.take(bytesOf(noise + "\f")).empty());
    EXPECT_LE(splitter.buffered(), pjlReplySplitter::longestReply);
    // And the next reply is read whole.
    replies = splitter.take(bytesOf(jam));
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(readReport(replies[0]).status.code, 40022);
    // A flood of unsolicited reports: every one is read, nothing piles up.
    std::string flood;
    for (int i = 0; i < 5000; ++i) flood += jam;
    EXPECT_EQ(splitter.take(bytesOf(flood)).size(), 5000u);
    EXPECT_EQ(splitter.buffered(), 0u);
}

printerReport reportOf(std::string_view text) {
    pjlReplySplitter splitter;
    const auto replies = splitter.take(bytesOf(text));
    EXPECT_EQ(replies.size(), 1u) << text;
    return replies.empty() ? printerReport{} : readReport(replies[0]);
}

TEST(PrinterReports, WhatEachReplySaysInThePrintersFormats) {
    using kind = printerReport::kind;
    auto status = reportOf(jam);
    EXPECT_EQ(status.what, kind::status);
    EXPECT_EQ(status.status.code, 40022);
    EXPECT_EQ(status.status.display, "PAPER JAM");
    EXPECT_FALSE(status.status.online);
    // Spaces around '=', LF line ends, lower case, no ONLINE line.
    status = reportOf("@PJL  ustatus device\nCODE = 10006\nDISPLAY = \"16 TONER LOW\"\n\f");
    EXPECT_EQ(status.what, kind::status);
    EXPECT_EQ(status.status.code, 10006);
    EXPECT_EQ(status.status.display, "16 TONER LOW");
    EXPECT_TRUE(status.status.online);
    EXPECT_EQ(reportOf("@PJL USTATUS TIMED\r\nCODE=10001\r\n\f").what, kind::status);
    EXPECT_EQ(reportOf("@PJL INFO STATUS\r\nDISPLAY=\"READY\"\r\n\f").what, kind::other);  // no code
    EXPECT_EQ(reportOf("@PJL INFO STATUS\r\nCODE=12x\r\n\f").what, kind::other);

    auto end = reportOf("@PJL USTATUS JOB\r\nEND\r\nNAME=\"corvane 7-1\"\r\nPAGES=5\r\nRESULT=OK\r\n\f");
    EXPECT_EQ(end.what, kind::jobEnd);
    EXPECT_EQ(end.text, "corvane 7-1");
    EXPECT_EQ(end.number, 5);
    EXPECT_EQ(end.result, "OK");
    const auto start = reportOf("@PJL USTATUS JOB\nSTART\nNAME = \"Quarterly report\"\n\f");
    EXPECT_EQ(start.what, kind::jobStart);
    EXPECT_EQ(start.text, "Quarterly report");
    EXPECT_EQ(reportOf("@PJL USTATUS PAGE\r\n3\r\n\f").number, 3);
    EXPECT_EQ(reportOf("@PJL USTATUS PAGE\r\nthree\r\n\f").what, kind::other);
    const auto echo = reportOf("@PJL ECHO corvane 7-1 start\r\n\f");
    EXPECT_EQ(echo.what, kind::echo);
    EXPECT_EQ(echo.text, "corvane 7-1 start");
    EXPECT_EQ(reportOf("@PJL INFO PAGECOUNT\r\nPAGECOUNT=1234\r\n\f").number, 1234);
    EXPECT_EQ(reportOf("@PJL INFO PAGECOUNT\n  98765\n\f").number, 98765);
    EXPECT_EQ(reportOf("@PJL INFO CONFIG\r\nIN TRAYS [1 ENUMERATED]\r\n\f").what, kind::other);
}

TEST(StatusCodes, CodeGroupsAsStateReasons) {
    const struct {
        int code;
        bool online;
        const char* reasons;
    } cases[] = {
        {10001, true, "none"},          {10002, false, "offline"},
        {10006, true, "toner-low"},     {10006, false, "offline, toner-low"},
        {10023, true, "none"},          {11204, true, "media-low"},
        {12201, true, "input-tray-missing"}, {12202, true, "none"},
        {15001, false, "other"},        {20001, true, "none"},
        {30016, true, "other"},         {35078, true, "none"},
        {35075, true, "other"},         {40000, true, "none"},
        {40021, false, "cover-open"},    {40022, false, "media-jam"},
        {40038, false, "toner-low, offline"}, {40079, false, "offline"},
        {40010, false, "other"},        {41302, false, "media-empty, media-needed"},
        {42103, false, "media-jam"},    {44001, false, "media-jam"},
        {43501, false, "other"},        {50003, false, "other"},
        {60000, true, "none"},
    };
    for (const auto& c : cases) {
        const std::string keywords = reasonKeywords(reasonsOf({c.code, "", c.online}));
        // Order of the keywords is the bits' order; compare as sets.
        for (const char* keyword : {"other", "cover-open", "input-tray-missing", "media-empty", "media-jam",
                                    "media-low", "media-needed", "offline", "toner-empty", "toner-low"})
            EXPECT_EQ(keywords.find(keyword) != std::string::npos,
                      std::string_view(c.reasons).find(keyword) != std::string_view::npos)
                << c.code << (c.online ? " online: " : " offline: ") << keywords;
    }
}

// UEL, "@PJL" lines, UEL; nothing else.
bool wellFormedBlock(std::string_view text) {
    constexpr std::string_view uel = "\x1b%-12345X";
    if (!text.starts_with(uel) || !text.ends_with(uel) || text.size() < 2 * uel.size()) return false;
    text = text.substr(uel.size(), text.size() - 2 * uel.size());
    while (!text.empty()) {
        const auto end = text.find("\r\n");
        if (end == std::string_view::npos || !text.starts_with("@PJL")) return false;
        for (const char c : text.substr(0, end))
            if (static_cast<unsigned char>(c) < 0x20) return false;
        text.remove_prefix(end + 2);
    }
    return true;
}

TEST(StatusCommands, BlocksAreWellFormedAndTextCannotBreakOut) {
    for (const std::string& block : {openingBlock("3-1"), closingBlock("3-1"),
                                     statusOffBlock(), statusQueryBlock(), panelMessageBlock("Hello.")})
        EXPECT_TRUE(wellFormedBlock(block)) << block;
    EXPECT_NE(openingBlock("3-1").find("@PJL USTATUS PAGE=ON\r\n"), std::string::npos);
    EXPECT_NE(closingBlock("3-1").find("@PJL EOJ NAME=\"corvane 3-1\"\r\n@PJL ECHO corvane 3-1 end\r\n"),
              std::string::npos);

    // A message that tries to end the quote, the line and the PJL block.
    const std::string hostile = panelMessageBlock("Hi\"\r\n@PJL ECHO x\x1b%-12345X\x7f");
    EXPECT_TRUE(wellFormedBlock(hostile)) << hostile;
    EXPECT_NE(hostile.find("DISPLAY=\"Hi'  @PJL ECHO x %-12345X \""), std::string::npos) << hostile;
    EXPECT_TRUE(wellFormedBlock(panelMessageBlock("")));
    // 80 bytes at most, never half a character: 'é' is two bytes.
    std::string accents;
    for (int i = 0; i < 50; ++i) accents += "\xc3\xa9";
    EXPECT_EQ(pjlQuotedText(accents).size(), 80u);
    EXPECT_EQ(pjlQuotedText("x" + accents).size(), 79u);
    EXPECT_EQ(pjlQuotedText("Caf\xc3\xa9 \"Lune\""), "Caf\xc3\xa9 'Lune'");
}

TEST(BackChannel, AJobsReportsCountFromItsOpeningEcho) {
    backChannel channel;
    channel.beginJob("9-1");
    // The end of an earlier job and its pages arrive before this job's echo.
    channel.take(bytesOf("@PJL USTATUS PAGE\r\n4\r\n\f@PJL USTATUS JOB\r\nSTART\r\n\f"));
    auto seen = channel.snapshot();
    EXPECT_TRUE(seen.heard);
    EXPECT_FALSE(seen.jobStarted);
    EXPECT_EQ(seen.pagesPrinted, 0);
    channel.take(bytesOf("@PJL ECHO corvane 9-1 start\r\n\f@PJL USTATUS JOB\r\nSTART\r\nNAME=\"report\"\r\n\f"
                         "@PJL USTATUS PAGE\r\n1\r\n\f@PJL USTATUS PAGE\r\n2\r\n\f"));
    channel.take(bytesOf(jam));
    seen = channel.snapshot();
    EXPECT_TRUE(seen.jobEchoed);
    EXPECT_TRUE(seen.jobStarted);
    EXPECT_EQ(seen.pagesPrinted, 2);
    ASSERT_TRUE(seen.status);
    EXPECT_EQ(seen.status->code, 40022);
    // Another job's end, then this one's.
    channel.take(bytesOf("@PJL ECHO corvane 9-1 end\r\n\f@PJL USTATUS JOB\r\nEND\r\nNAME=\"corvane 8-1\"\r\nPAGES=3\r\n\f"));
    EXPECT_TRUE(channel.snapshot().closingEchoed);
    EXPECT_FALSE(channel.snapshot().jobEnded);
    const auto before = channel.changes();
    channel.take(bytesOf("@PJL USTATUS JOB\r\nEND\r\nNAME=\"corvane 9-1\"\r\nPAGES=5\r\nRESULT=OK\r\n\f"));
    EXPECT_GT(channel.changes(), before);
    seen = channel.snapshot();
    EXPECT_TRUE(seen.jobEnded);
    EXPECT_EQ(seen.endPages, 5);
    EXPECT_EQ(seen.endResult, "OK");
}

using test::socketPair;
using test::writeAll;

TEST(BackChannelReader, ReadsWhileTheSameDescriptorIsWrittenAndStopsAtTheEnd) {
    socketPair pair;
    const int app = pair.fds[0], printer = pair.fds[1];
    auto channel = std::make_shared<backChannel>();
    {
        const backChannelReader reader(backChannelReader::fromDescriptor(app), channel);
        // The printer side drains the job while it reports, one byte at a time.
        std::size_t received = 0;
        std::thread printerSide([&] {
            const std::string reports = std::string(jam) + std::string(ready);
            for (const char c : reports) writeAll(printer, std::string_view(&c, 1));
            char buffer[65536];
            for (ssize_t got; (got = read(printer, buffer, sizeof buffer)) > 0;) received += static_cast<std::size_t>(got);
        });
        // Eight megabytes written on the descriptor the reader reads.
        const std::string job(8 << 20, 'j');
        writeAll(app, job);
        shutdown(app, SHUT_WR);
        printerSide.join();
        EXPECT_EQ(received, job.size());
        const auto deadline = backChannel::clock::now() + std::chrono::seconds(10);
        while (channel->snapshot().statusReports < 2 && backChannel::clock::now() < deadline)
            channel->waitForChange(channel->changes(), deadline);
        EXPECT_EQ(channel->snapshot().status->code, 10001);
        close(pair.release(1));
        const auto closeDeadline = backChannel::clock::now() + std::chrono::seconds(5);
        while (!channel->snapshot().closed && backChannel::clock::now() < closeDeadline)
            channel->waitForChange(channel->changes(), closeDeadline);
        EXPECT_TRUE(channel->snapshot().closed);
    }
}

std::vector<std::uint8_t> fromHex(std::string_view hex) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) bytes.push_back(static_cast<std::uint8_t>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
    return bytes;
}

// Expected bytes made by an independent BER writer (Python's int.to_bytes).
TEST(PrinterMib, RequestsAndResponsesAsBytes) {
    const snmpOid description = {1, 3, 6, 1, 2, 1, 43, 11, 1, 1, 6};
    EXPECT_EQ(snmpGetNext(description, 7, "public"),
              fromHex("302802010004067075626c6963a11b0201070201000201003010300e060a2b060102012b0b0101060500"));

    auto response = readSnmpResponse(fromHex("303602010004067075626c6963a229020107020100020100301e301c060d2b06010201"
                                             "2b0b010106018148040b426c61636b20546f6e6572"));
    ASSERT_TRUE(response);
    EXPECT_EQ(response->requestId, 7);
    ASSERT_EQ(response->bindings.size(), 1u);
    EXPECT_EQ(response->bindings[0].name, (snmpOid{1, 3, 6, 1, 2, 1, 43, 11, 1, 1, 6, 1, 200}));  // 200: two bytes
    EXPECT_EQ(std::get<std::string>(response->bindings[0].value), "Black Toner");

    // A negative integer, and unsigned time ticks of five bytes.
    const auto bytes = fromHex("303f02010004067075626c6963a2320202012c02010002010030263011060c2b060102012b0b0101090101"
                               "0201fd301106082b0601020101030043058000000000");
    response = readSnmpResponse(bytes);
    ASSERT_TRUE(response);
    EXPECT_EQ(response->requestId, 300);
    ASSERT_EQ(response->bindings.size(), 2u);
    EXPECT_EQ(std::get<long>(response->bindings[0].value), -3);
    EXPECT_EQ(std::get<long>(response->bindings[1].value), 0x8000000000L);
    // Cut anywhere, or a request instead of a response: nothing.
    for (std::size_t cut = 0; cut < bytes.size(); ++cut)
        EXPECT_FALSE(readSnmpResponse(std::span(bytes).first(cut))) << cut;
    EXPECT_FALSE(readSnmpResponse(snmpGetNext(description, 1, "public")));
}

TEST(PrinterMib, SupplyTableWalkAndLevels) {
    // An agent as a sorted table: two toners, a waste box, a drum, and colorants.
    std::map<snmpOid, std::variant<std::monostate, long, std::string>> agent;
    const auto row = [&](std::uint32_t index, long colorant, long kind, long type, const char* text, long most, long level) {
        const snmpOid entry = {1, 3, 6, 1, 2, 1, 43, 11, 1, 1};
        const auto at = [&](std::uint32_t column) {
            snmpOid name = entry;
            name.insert(name.end(), {column, 1, index});
            return name;
        };
        agent[at(3)] = colorant, agent[at(4)] = kind, agent[at(5)] = type, agent[at(6)] = std::string(text);
        agent[at(8)] = most, agent[at(9)] = level;
    };
    row(1, 1, 3, 21, "Black Toner", 100, 80);
    row(2, 2, 3, 21, "Cyan Toner", 2000, 500);
    row(3, 0, 4, 4, "Waste Toner Box", 100, 30);
    row(4, 0, 3, 9, "Drum", -2, -3);
    agent[{1, 3, 6, 1, 2, 1, 43, 12, 1, 1, 4, 1, 1}] = std::string("black");
    agent[{1, 3, 6, 1, 2, 1, 43, 12, 1, 1, 4, 1, 2}] = std::string("cyan");
    agent[{1, 3, 6, 1, 2, 1, 99}] = 1L;  // beyond the Printer MIB
    int questions = 0;
    const auto ask = [&](const snmpOid& name) -> std::optional<snmpResponse> {
        ++questions;
        const auto next = agent.upper_bound(name);
        if (next == agent.end()) return snmpResponse{1, 2, {}};  // noSuchName: the end of the MIB
        return snmpResponse{1, 0, {{next->first, next->second}}};
    };
    const auto supplies = walkSupplies(ask);
    ASSERT_EQ(supplies.size(), 4u);
    EXPECT_EQ(supplies[1].description, "Cyan Toner");
    EXPECT_EQ(supplies[1].colorant, "cyan");
    EXPECT_EQ(supplies[2].colorant, "");
    std::vector<int> levels;
    for (const auto& supply : supplies) levels.push_back(supplyPercent(supply));
    EXPECT_EQ(levels, (std::vector<int>{80, 25, 70, -3}));  // the waste box: room left
    EXPECT_LT(questions, 40);

    // No agent: one unanswered question, no supply. An agent that does not
    // move on: the walk ends.
    questions = 0;
    EXPECT_TRUE(walkSupplies([&](const snmpOid&) -> std::optional<snmpResponse> { ++questions; return std::nullopt; }).empty());
    EXPECT_EQ(questions, 1);
    const snmpOid stuck = {1, 3, 6, 1, 2, 1, 43, 11, 1, 1, 6, 1, 1};
    const auto stuckAgent = [&](const snmpOid&) -> std::optional<snmpResponse> {
        return snmpResponse{1, 0, {{stuck, std::string("Toner")}}};
    };
    EXPECT_EQ(walkSupplies(stuckAgent).size(), 1u);
    EXPECT_EQ(supplyPercent({.maxCapacity = -2, .level = 150}), -1);
}

}  // namespace
}  // namespace corvane
