#include <gtest/gtest.h>

#include "encoder/argumentStore.h"
#include "encoder/macRoman.h"

namespace corvane {
namespace {

std::string valueOf(const argumentStore& store, std::string_view key) {
    const std::string* value = store.getValue(key);
    return value ? *value : "<absent>";
}

TEST(EscapeDecoding, SixEscapesInOrderCaseInsensitive) {
    EXPECT_EQ(argumentStore::decodeEscapes("a<20>b"), "a b");
    EXPECT_EQ(argumentStore::decodeEscapes("x<2c>y"), "x,y");
    EXPECT_EQ(argumentStore::decodeEscapes("<27><3D><20><2C><3C><3E>"), "'= ,<>");
    EXPECT_EQ(argumentStore::decodeEscapes("<3d>"), "=");
    EXPECT_EQ(argumentStore::decodeEscapes("<3e>"), ">");
}

TEST(EscapeDecoding, TextProducedByAPassIsSearchedOnlyByLaterPasses) {
    // Pass 5 makes "<27>" after the apostrophe pass has run: it stays.
    EXPECT_EQ(argumentStore::decodeEscapes("<3C>27>"), "<27>");
    // Pass 5 makes "<3E>", which pass 6 then replaces.
    EXPECT_EQ(argumentStore::decodeEscapes("<3C>3E>"), ">");
    // Pass 5 does not search its own output again.
    EXPECT_EQ(argumentStore::decodeEscapes("<3C>3C>"), "<3C>");
}

TEST(EscapeDecoding, OtherEscapesAndShortValuesStay) {
    EXPECT_EQ(argumentStore::decodeEscapes("<22>"), "<22>");
    EXPECT_EQ(argumentStore::decodeEscapes("<20"), "<20");
    EXPECT_EQ(argumentStore::decodeEscapes("ab<"), "ab<");
    EXPECT_EQ(argumentStore::decodeEscapes("<2G>"), "<2G>");
}

TEST(ArgumentStore, ParsesWithCupsAndDecodesValuesOnly) {
    const argumentStore store("name=a<20>b key<20>x=1 quoted='two words'");
    EXPECT_EQ(valueOf(store, "name"), "a b");
    EXPECT_EQ(valueOf(store, "key<20>x"), "1");
    EXPECT_EQ(valueOf(store, "key x"), "<absent>");
    EXPECT_EQ(valueOf(store, "quoted"), "two words");
}

TEST(ArgumentStore, LaterOptionWinsAndKeysAreCaseSensitive) {
    const argumentStore store("media=A4 media=Letter MediaType=Plain");
    EXPECT_EQ(valueOf(store, "media"), "Letter");
    EXPECT_EQ(valueOf(store, "mediatype"), "<absent>");
    EXPECT_EQ(valueOf(store, "MediaType"), "Plain");
    EXPECT_EQ(store.keyEnumerator().size(), 2u);
}

TEST(ArgumentStore, EmptyTextGivesEmptyStore) {
    const argumentStore store("");
    EXPECT_TRUE(store.keyEnumerator().empty());
    EXPECT_EQ(store.getValue("media"), nullptr);
}

TEST(ArgumentStore, HighBytesAreKeptAsMacRomanCharacters) {
    const argumentStore store("title=\xA9" "2026");
    ASSERT_EQ(valueOf(store, "title"), "\xA9" "2026");
    EXPECT_EQ(macRomanToUtf8(valueOf(store, "title")), "\xC2\xA9" "2026");
}

TEST(MacRoman, MapsEveryByteToOneCharacter) {
    EXPECT_EQ(macRomanToUtf8("abc"), "abc");
    // UTF-8 of é read as Mac OS Roman is √ and ©.
    EXPECT_EQ(macRomanToUtf8("\xC3\xA9"), "\xE2\x88\x9A\xC2\xA9");
    EXPECT_EQ(macRomanToUtf8("\x80"), "\xC3\x84");          // Ä
    EXPECT_EQ(macRomanToUtf8("\xDB"), "\xE2\x82\xAC");      // €
    EXPECT_EQ(macRomanToUtf8("\xF0"), "\xEF\xA3\xBF");      // Apple logo (private use)
    EXPECT_EQ(macRomanToUtf8("\xFF"), "\xCB\x87");          // caron
}

}  // namespace
}  // namespace corvane
