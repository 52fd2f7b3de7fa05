// Unit tests of the printer application's pure parts: the job settings
// mapping onto the filter's ticket, the row fitting, the checks on what the
// PDF renderer says (its pages' encoding in renderedPagesTest.cc), the test page document and the server options.
// (Raster checks are shown end to end by hostile.sh, gray rows by
// same-bytes.sh, and both are fuzzed by fuzz/appFuzzer.cc.)
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include "app/documents/bandProtocol.h"
#include "app/documents/childProcess.h"
#include "app/documents/ghostscriptCommand.h"
#include "app/driver/jobSettings.h"
#include "app/driver/rasterJob.h"
#include "app/documents/pageFit.h"
#include "app/documents/rendererPool.h"
#include "app/driver/testPageDocument.h"
#include "app/server/serverOptions.h"
#include "support/printerBytes.h"

namespace corvane {
namespace {

constexpr const char* firstPageSource = "com.apple.print.PrintSettings.PMPrimaryPaperFeed..a.1";
// The same-bytes app test prints the common settings end to end (A4, Letter,
// 4 x 6 in, tray-2, manual, letterhead, card stock, two darkness levels, auto,
// a UTF-8 job name); these are the edges it does not reach.
TEST(JobSettings, EdgesOfTheMappingOntoTheFilterTicket) {
    const struct {
        ippJobSettings settings;
        const char* key;
        std::optional<std::string> value;
    } cases[] = {
        {{.mediaWidth = 25700, .mediaLength = 36400, .mediaName = "jis_b4_257x364mm"}, "media", "B4"},
        {{.mediaWidth = 17600, .mediaLength = 25000, .mediaName = "iso_b5_176x250mm"}, "media", "ISOB5"},
        {{.mediaWidth = 10000, .mediaLength = 15000, .mediaName = "custom_100x150mm_100x150mm"}, "media",
         "Custom.283.46x425.2"},
        {{.mediaWidth = 12345, .mediaLength = 20000}, "media", "Custom.349.94x566.93"},
        {{.mediaName = "iso_a5_148x210mm"}, "media", "A5"},  // no dimensions: the name stands for the size
        {{.source = "by-pass-tray"}, "InputSlot", "MultipurposeFeeder"},
        {{.source = "tray-6"}, "InputSlot", std::nullopt},
        {{.source = "tray-6"}, firstPageSource, std::nullopt},
        {{.type = "photographic"}, "MediaType", std::nullopt},
        {{.darkness = 5}, "TonerDarkness", "10"},
        {{.tonerSave = true}, "TonerDarkness", std::nullopt},
        {{.darkness = 0}, "TonerDarkness", std::nullopt},
        {{.darkness = 6, .tonerSave = true}, "TonerDarkness", std::nullopt},
    };
    for (const auto& c : cases) {
        const optionMap options = ticketOptions(c.settings);
        const auto found = options.find(c.key);
        EXPECT_EQ(found == options.end() ? std::nullopt : std::optional(found->second), c.value)
            << c.key << " " << c.settings.mediaName << c.settings.source << c.settings.type;
    }
}

struct rasterRun {
    std::string stream;
    std::optional<std::string> problem;
};

// The pages through rasterJob, `refused` pages refused at their start;
// collated copies kept in `spoolFolder`; `copiesAllowed` repeated copies.
rasterRun printRaster(const ippJobSettings& settings, const std::vector<test::RasterPage>& pages,
                      const std::string& spoolFolder = "/tmp", int copiesAllowed = 99, std::size_t refused = 99) {
    test::memorySink sink(true);
    rasterJob job(jobTicket(settings), sink);
    if (settings.copies > 1 && settings.collated)
        job.repeatPages(std::make_unique<pageSpool>(spoolFolder), settings.copies - 1);
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const auto& page = pages[i];
        cups_page_header2_t header = test::pageHeader(page);
        if (i == refused) header.HWResolution[0] = 300;
        if (job.beginPage(header)) continue;
        for (const auto& row : page.rows) job.addRow(row);
        job.endPage();
    }
    auto problem = job.end([&] { return copiesAllowed-- > 0; });
    return {sink.text, problem};
}

// Copies of raster documents, whose pages arrive once: collated, the
// stream is the filter's for the pages repeated, under one copy command;
// uncollated, each page asks the printer for its copies. A job whose pages
// went wrong, or whose copies were cancelled, gets no more copies, and a job
// without a page sends nothing at all.
TEST(RasterJob, CopiesOfPagesSentOnce) {
    using test::row;
    const std::vector<test::RasterPage> pages = {{2, 2, 0, {row(6, 0), row{1, 2, 3, 4, 5, 6}}},
                                                 {3, 1, 0, {test::patternRow(9, 4)}}};
    const auto times = [&](std::size_t count) {
        std::vector<test::RasterPage> repeated;
        for (std::size_t i = 0; i < count; ++i) repeated.insert(repeated.end(), pages.begin(), pages.end());
        return repeated;
    };
    ippJobSettings settings{.mediaName = "iso_a4_210x297mm", .source = "tray-2", .jobName = "Copies", .copies = 3};
    const auto filterStream = [&](std::size_t copies) {
        return test::encodeJob(ticketOptions(settings), times(copies), ticketText::utf8).stream;
    };

    const auto collated = printRaster(settings, pages);
    EXPECT_EQ(collated.stream, filterStream(3));
    EXPECT_NE(collated.stream.find(test::esc("&l1X")), std::string::npos);
    EXPECT_EQ(collated.problem, std::nullopt);
    EXPECT_EQ(printRaster(settings, pages, "/tmp", 1).stream, filterStream(2));
    const auto refusedAfterPage1 = printRaster(settings, pages, "/tmp", 99, 1);
    EXPECT_EQ(refusedAfterPage1.stream, test::encodeJob(ticketOptions(settings), {pages[0]}, ticketText::utf8).stream);
    const auto noSpool = printRaster(settings, pages, "/nonexistent");
    EXPECT_EQ(noSpool.stream, filterStream(1));
    EXPECT_EQ(noSpool.problem, "The file for the copies cannot be made in the spool folder: No such file or directory. "
                               "1 of 3 copies were printed whole.");

    settings.collated = false;
    const auto uncollated = printRaster(settings, pages).stream;
    EXPECT_EQ(uncollated, filterStream(1));
    std::size_t copyCommands = 0;
    for (std::size_t at = 0; (at = uncollated.find(test::esc("&l3X"), at)) != std::string::npos; ++at) ++copyCommands;
    EXPECT_EQ(copyCommands, pages.size());

    EXPECT_EQ(printRaster(settings, {pages[0]}, "/tmp", 99, 0).stream, "");
}

TEST(PageFit, RowsAreCutOrPaddedWithWhite) {
    const std::vector<std::uint8_t> rendered = {1, 2, 3, 4, 5, 6};
    std::vector<std::uint8_t> narrower(4, 0);
    fitRow(rendered, narrower);
    EXPECT_EQ(narrower, (std::vector<std::uint8_t>{1, 2, 3, 4}));
    std::vector<std::uint8_t> wider(9, 0);
    fitRow(rendered, wider);
    EXPECT_EQ(wider, (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 0xFF, 0xFF, 0xFF}));
}

// Whatever the renderer process says, the app sends on only bytes inside
// its slots, and the renderer only page sizes it can encode.
TEST(BandProtocol, OnlyBytesInsideASlotAndRealPageSizesAreUsed) {
    using bands::recordType;
    EXPECT_TRUE(bands::usableData({recordType::data, 0, 1}));
    EXPECT_TRUE(bands::usableData({recordType::data, bands::slotCount - 1, bands::slotBytes}));
    EXPECT_FALSE(bands::usableData({recordType::data, 0, bands::slotBytes + 1}));  // past its slot
    EXPECT_FALSE(bands::usableData({recordType::data, bands::slotCount, 1}));      // no such slot
    EXPECT_FALSE(bands::usableData({recordType::data, 0, 0}));                     // empty
    EXPECT_FALSE(bands::usableData({recordType::page, 0, 1}));

    const auto letter = bands::parsePageSize(bands::toText({5100, 6600}));
    ASSERT_TRUE(letter);
    EXPECT_EQ(letter->width, 5100u);
    EXPECT_EQ(letter->height, 6600u);
    for (const char* bad : {"", "5100", "5100 ", "0 6600", "5100 0", "5100 6600 1", "-1 6600", "5100x6600"})
        EXPECT_FALSE(bands::parsePageSize(bad)) << bad;
}

// A second renderer's descriptors travel with a message; the renderer
// that forks it reports its end through a pipe.
TEST(BandProtocol, DescriptorsWithAMessageAndAForkedRenderersEnd) {
    int sockets[2], carried[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, sockets), 0);
    ASSERT_EQ(pipe(carried), 0);
    ASSERT_TRUE(bands::sendMessage(sockets[0], "/spool/d.pdf", std::span<const int>(carried, 1)));
    ASSERT_TRUE(bands::sendMessage(sockets[0], "next"));
    std::vector<int> received;
    EXPECT_EQ(bands::receiveMessage(sockets[1], &received), "/spool/d.pdf");
    ASSERT_EQ(received.size(), 1u);
    ASSERT_EQ(write(carried[1], "x", 1), 1);
    char c = 0;
    EXPECT_EQ(read(received[0], &c, 1), 1);  // the same pipe
    EXPECT_EQ(bands::receiveMessage(sockets[1], &received), "next");
    EXPECT_EQ(received.size(), 1u);
    close(sockets[0]);
    EXPECT_FALSE(bands::receiveMessage(sockets[1]));
    for (const int fd : {sockets[1], carried[0], carried[1], received[0]}) close(fd);

    for (const bool reported : {true, false}) {
        int output[2], status[2];
        ASSERT_EQ(pipe(output), 0);
        ASSERT_EQ(pipe(status), 0);
        forkedProcess copy(output[0], -1, status[0]);
        EXPECT_TRUE(copy.running());
        const int exitStatus = 1;
        if (reported) {
            ASSERT_EQ(write(status[1], &exitStatus, sizeof exitStatus), 4);
        }
        close(status[1]);  // a parent that ended without a report: killed
        close(output[1]);
        EXPECT_FALSE(copy.running());
        EXPECT_EQ(copy.wait(), reported ? 1 : -1);
    }
}

// A job of a few pages has one renderer; a longer one, on two cores, two,
// each with every other page of the job's range. gs alone gets the range
// and the document on its command line.
TEST(PageSelection, LongJobsAreSharedByTwoRenderers) {
    const auto texts = [](const std::vector<pageSelection>& shares) {
        std::vector<std::string> text;
        for (const auto& share : shares) text.push_back(toText(share));
        return text;
    };
    const pageSelection whole;
    using texts_t = std::vector<std::string>;
    EXPECT_EQ(texts(shareOut(whole, 20, 1)), texts_t{"1-/1"});
    EXPECT_EQ(texts(shareOut(whole, 20, 8)), (texts_t{"1-/2", "2-/2"}));
    EXPECT_EQ(texts(shareOut(whole, pagesWorthTwoRenderers - 1, 2)), texts_t{"1-/1"});
    EXPECT_EQ(texts(shareOut(whole, pagesWorthTwoRenderers, 2)), (texts_t{"1-/2", "2-/2"}));
    EXPECT_EQ(texts(shareOut({3, 8, 1}, 20, 2)), (texts_t{"3-8/2", "4-8/2"}));
    EXPECT_EQ(texts(shareOut({3, 4, 1}, 20, 2)), texts_t{"3-4/1"});      // two pages of a long document
    EXPECT_EQ(texts(shareOut({18, std::nullopt, 1}, 20, 2)), texts_t{"18-/1"});

    const renderRequest range{.file = "/spool/d.pdf", .widthPwg = 21590, .lengthPwg = 27940,
                              .firstPage = 3, .lastPage = 8};
    EXPECT_EQ(toText(jobPages(range)), "3-8/1");
    for (const auto& option : ghostscriptOptions(range)) EXPECT_EQ(option.find("d.pdf"), std::string::npos);
    const auto arguments = ghostscriptArguments(range);
    EXPECT_EQ(std::vector(arguments.end() - 4, arguments.end()),
              (std::vector<std::string>{"-dFirstPage=3", "-dLastPage=8", "-f", "/spool/d.pdf"}));
}

// The renderer's pages: its text form both ways, and the pages a document
// of a given length has of it.
TEST(PageSelection, PagesOfTheDocument) {
    const struct {
        const char* text;
        unsigned pageCount;
        std::vector<unsigned> pages;
    } cases[] = {
        {"1-/1", 3, {1, 2, 3}},
        {"2-/2", 5, {2, 4}},
        {"2-/2", 1, {}},            // a one-page document has no even page
        {"3-9/2", 20, {3, 5, 7, 9}},
        {"3-9/2", 6, {3, 5}},       // a range past the document's end
        {"7-/1", 3, {}},
        {"1-/4294967295", 3, {1}},  // no endless count past the last page
    };
    for (const auto& c : cases) {
        const auto parsed = parsePageSelection(c.text);
        ASSERT_TRUE(parsed) << c.text;
        EXPECT_EQ(toText(*parsed), c.text);
        EXPECT_EQ(selectedPages(*parsed, c.pageCount), c.pages) << c.text << " of " << c.pageCount;
    }
    for (const char* bad : {"", "all", "0-/1", "1-/0", "1/1", "1-2", "1-2/", "x-/1", "1-/1 ", "-3/1"})
        EXPECT_FALSE(parsePageSelection(bad)) << bad;
}

// A renderer started for a next job waits five minutes for it, then stops.
TEST(RendererPool, PreparedRendererStopsAfterFiveIdleMinutes) {
    rendererPool pool;
    const auto start = rendererPool::clock::now();
    const renderRequest letter{.file = "", .widthPwg = 21590, .lengthPwg = 27940};
    pool.prepare(letter, start);
    EXPECT_TRUE(pool.hasPrepared());
    pool.dropIdle(start + std::chrono::minutes(4));
    EXPECT_TRUE(pool.hasPrepared());
    pool.dropIdle(start + std::chrono::minutes(5));
    EXPECT_FALSE(pool.hasPrepared());
}

TEST(TestPageDocument, CrossReferencePointsAtEveryObject) {
    testPageContent content;
    content.printerName = "front (desk) \\ \xC3\xA9";
    content.settings = {{"Source", "tray-2"}};
    const std::string pdf = testPageDocument(content);
    ASSERT_TRUE(pdf.starts_with("%PDF-1.4\n"));
    EXPECT_NE(pdf.find("(Printer: front \\(desk\\) \\\\ ?\?)"), std::string::npos);

    const std::size_t startxref = pdf.rfind("startxref\n");
    ASSERT_NE(startxref, std::string::npos);
    const std::size_t xref = std::stoul(pdf.substr(startxref + 10));
    ASSERT_EQ(pdf.compare(xref, 5, "xref\n"), 0);
    std::size_t entry = pdf.find('\n', pdf.find('\n', pdf.find('\n', xref) + 1) + 1) + 1;
    for (int object = 1; pdf.compare(entry, 7, "trailer") != 0; ++object, entry += 20) {
        const std::size_t offset = std::stoul(pdf.substr(entry, 10));
        const std::string start = std::to_string(object) + " 0 obj";
        EXPECT_EQ(pdf.compare(offset, start.size(), start), 0) << object;
    }
}

// TLS only where a client can use it: a loopback-only server's clients are
// this machine's, to whom PAPPL never offers it.
TEST(ServerOptions, NoTlsOnAServerOnlyLoopbackReaches) {
    EXPECT_TRUE(isLoopbackHost("localhost"));
    EXPECT_TRUE(isLoopbackHost("127.0.0.1"));
    EXPECT_TRUE(isLoopbackHost("::1"));
    EXPECT_FALSE(isLoopbackHost(nullptr));  // every address of the machine
    EXPECT_FALSE(isLoopbackHost("192.0.2.7"));

    const auto offersTls = [](pappl_soptions_t options) { return !(options & PAPPL_SOPTIONS_NO_TLS); };
    EXPECT_TRUE(offersTls(serverOptions(nullptr, false)));
    EXPECT_FALSE(offersTls(serverOptions(nullptr, true)));
    EXPECT_FALSE(offersTls(serverOptions("web-log,no-tls", false)));
    // "none" clears PAPPL's defaults, not the loopback server's lack of TLS.
    const pappl_soptions_t cleared = serverOptions("none,web-log", true);
    EXPECT_FALSE(offersTls(cleared));
    EXPECT_EQ(cleared & ~PAPPL_SOPTIONS_NO_TLS, PAPPL_SOPTIONS_WEB_LOG);
    EXPECT_EQ(serverOptions("no-web-interface", false) & PAPPL_SOPTIONS_WEB_INTERFACE, 0);
}

}  // namespace
}  // namespace corvane
