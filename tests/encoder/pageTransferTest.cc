// The push-style page transfer on a memory sink: which rows go out, and how.
#include <gtest/gtest.h>

#include <optional>

#include "encoder/pclCommands.h"
#include "encoder/rasterData.h"
#include "support/printerBytes.h"

namespace corvane {
namespace {

using namespace test;
using result = rasterData::rowResult;

struct transferCase {
    const char* what;
    unsigned width;
    std::vector<std::optional<row>> rows;  // nullopt: the row is missing
    std::string expected;                   // after the ESC*b3M of the page start
    std::vector<result> results;
};

TEST(PageTransfer, RowsGoOutSkippedRepeatedCompressedOrUnencoded) {
    const row a = {1, 2, 3, 4, 5, 6}, zeros(6, 0), white = whiteRow(6);
    const std::string aFromZero = bytes({0xA0, 1, 2, 3, 4, 5, 6});
    row lastByteInked = white;
    lastByteInked.back() = 0xFE;
    // 10500 pixels: the row fits one transfer, its delta form does not;
    // 12000 pixels: neither does, but a row close to the seed still compresses.
    const row fitsRaw = patternRow(31500, 1), tooWide = patternRow(36000, 1);
    row nearlyBlack(36000, 0);
    nearlyBlack[20000] = 7;
    // 4000 pixels: delta data of 13500 bytes, a count of five digits.
    const row wide(12000, 0x55);
    std::string wideFromZero;
    for (int command = 0; command < 1500; ++command) wideFromZero += bytes({0xE0}) + std::string(8, '\x55');
    const auto sent = result::sent, out = result::leftOut;
    const std::vector<transferCase> cases = {
        {"a row equal to the seed is a repeat", 2, {a, a}, transfer(aFromZero) + repeatRow(), {sent, sent}},
        {"blank rows are skipped with a cursor move", 2, {white, white, a}, cursorTo(2) + transfer(aFromZero),
         {out, out, sent}},
        {"a skip clears the seed row: the old seed goes out whole", 2, {a, white, a},
         transfer(aFromZero) + cursorTo(2) + transfer(aFromZero), {sent, out, sent}},
        {"a zero row after a skip repeats the cleared seed", 2, {a, white, zeros},
         transfer(aFromZero) + cursorTo(2) + repeatRow(), {sent, out, sent}},
        {"a missing row is skipped like a blank one", 2, {a, std::nullopt, a},
         transfer(aFromZero) + cursorTo(2) + transfer(aFromZero), {sent, sent}},
        {"one inked byte makes a row not blank", 2, {lastByteInked}, transfer(bytes({0xA0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE})), {sent}},
        {"a short row ends in zeros", 2, {row{9, 9, 9}, row{9, 9, 9, 0, 0, 0}},
         transfer(bytes({0x40, 9, 9, 9})) + repeatRow(), {sent, sent}},
        {"delta data too long: the row goes unencoded and seeds the next", 10500, {fitsRaw, fitsRaw},
         unencoded(bytes(fitsRaw)) + repeatRow(), {sent, sent}},
        {"a row too long even unencoded is left out", 12000, {tooWide, nearlyBlack},
         cursorTo(1) + transfer(bytes({0x1F}) + std::string(78, '\xFF') + bytes({0x4F, 7})),
         {result::leftOutTooWide, sent}},
        {"a count of five digits after a cursor move", 4000, {whiteRow(12000), wide},
         cursorTo(1) + transfer(wideFromZero),
         {out, sent}},
    };
    // Rows made in the sink's room must come out as rows copied into it.
    for (const bool lendsRoom : {false, true})
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SCOPED_TRACE(lendsRoom ? "made in the sink's room" : "copied into the sink");
        memorySink sink(lendsRoom);
        pclCommands pcl(std::make_shared<const argumentStore>(optionMap{}), sink);
        rasterData transfer({c.width, static_cast<std::uint32_t>(c.rows.size()), 3 * c.width}, pcl, sink);
        std::vector<result> results;
        for (const auto& r : c.rows) {
            if (r) results.push_back(transfer.addRow(*r));
            else transfer.missingRow();
        }
        EXPECT_EQ(sink.text, esc("*b3M") + c.expected);
        EXPECT_EQ(results, c.results);
        EXPECT_EQ(transfer.rowsDone(), c.rows.size());
    }
}

}  // namespace
}  // namespace corvane
