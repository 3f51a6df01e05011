// The text helpers every part shares: the blanks that count, CR LF lists and fields past their
// end; and bytes to characters for display (UTF-8 when valid, else Windows-1252) and typed text back.

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>

#include "text/byte_text.h"
#include "text/display_text.h"

namespace patchlens {
namespace {

TEST(ByteText, TrimRemovesOnlyBlanksAndTabs) {
    EXPECT_EQ(TrimBlanks(" \t a b \t "), "a b");
    EXPECT_EQ(TrimBlanks("\r a \n"), "\r a \n");
    EXPECT_EQ(TrimBlanks("  \t"), "");
}

TEST(ByteText, ReplaceAllScansLeftToRightWithoutOverlap) {
    EXPECT_EQ(ReplaceAll("aaa", "aa", "b"), "ba");
    EXPECT_EQ(ReplaceAll("<Te<Text>xt>", "<Text>", ""), "<Text>"); // one pass only
    EXPECT_EQ(ReplaceAll("x", "", "y"), "x");
}

TEST(ByteText, CrLfListItemsAndFields) {
    const std::string list = "a\r\n\r\nc\r\ntail";
    EXPECT_EQ(CountCrLf(list), 3u);
    EXPECT_EQ(CountCrLf("\r\r\n\n"), 1u);
    EXPECT_EQ(ItemOf(list, 1), "");
    EXPECT_EQ(ItemOf(list, 2), "c");
    EXPECT_EQ(ItemOf(list, 3), "tail");
    EXPECT_EQ(ItemOf(list, 4), "");
    EXPECT_EQ(FieldAt("Wah,Funky,r0,", ',', 0), "Wah");
    EXPECT_EQ(FieldAt("Wah,Funky,r0,", ',', 1), "Funky");
    EXPECT_EQ(FieldAt("Wah,Funky,r0,", ',', 3), "");
    EXPECT_EQ(FieldAt("Wah,Funky,r0,", ',', 9), "");
    EXPECT_EQ(FieldAt("no delimiter", ',', 0), "no delimiter");
}

// A CR LF found from every position, past lone CRs and LFs, and not across the end: the text's
// last CR is followed by an LF that is not part of it.
TEST(ByteText, FindCrLfFindsWhatASearchForTheTwoBytesFinds) {
    const std::string_view text("\r\rx\n\r\n\n\r\r\n\0\r\n", 12);
    for (std::size_t from = 0; from <= text.size() + 1; ++from)
        EXPECT_EQ(FindCrLf(text, from), text.find("\r\n", from)) << from;
    EXPECT_EQ(FindCrLf("", 0), std::string_view::npos);
}

// Pairs and line ends are found sixteen or thirty-two bytes at a time: texts of up to seventy bytes of CR,
// LF,
// '<' and 'I', cut from a longer text (a pair may go on past the end), searched from every position.
TEST(ByteText, PairsAndLineEndsAreFoundAsASearchFindsThem) {
    std::mt19937 random(7);
    const std::string_view alphabet = "\r\n<Ix";
    for (int round = 0; round < 300; ++round) {
        std::string bytes(random() % 71 + 1, ' ');
        for (char &c : bytes)
            c = alphabet[random() % alphabet.size()];
        const std::string_view text = std::string_view(bytes).substr(0, bytes.size() - 1);
        for (std::size_t from = 0; from <= text.size() + 1; ++from) {
            ASSERT_EQ(FindPair(text, from, '<', 'I'), text.find("<I", from)) << bytes << " " << from;
            ASSERT_EQ(FindCrLf(text, from), text.find("\r\n", from)) << bytes << " " << from;
            std::array<std::size_t, 3> ends{};
            const std::size_t count = FindCrLfs(text, from, ends);
            std::size_t expected = 0;
            for (std::size_t at = text.find("\r\n", from);
                 at != std::string_view::npos && expected < ends.size(); at = text.find("\r\n", at + 2))
                ASSERT_EQ(ends[expected++], at) << bytes << " " << from;
            ASSERT_EQ(count, expected) << bytes << " " << from;
        }
    }
}

TEST(DisplayText, ValidUtf8IsShownAsItIs) {
    EXPECT_EQ(ToDisplayUtf8("Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB8"),
              "Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB8");
}

TEST(DisplayText, AnythingElseIsWindows1252) {
    EXPECT_EQ(ToDisplayUtf8("'65 Twin\xAE"), "'65 Twin\xC2\xAE");
    EXPECT_EQ(ToDisplayUtf8("\x80\x9F"), "\xE2\x82\xAC\xC5\xB8");
    // The five undefined bytes become the C1 controls of the same number.
    EXPECT_EQ(ToDisplayUtf8("\x81\x8D\x8F\x90\x9D"), "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D");
}

TEST(DisplayText, MalformedUtf8IsNotTakenForUtf8) {
    for (const char *bad :
         {"\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xC3", "\xE2\x82"}) {
        EXPECT_FALSE(IsValidUtf8(bad)) << bad;
        EXPECT_FALSE(DecodeUtf8(bad, 0)) << bad;
    }
    EXPECT_TRUE(IsValidUtf8(std::string("a\0b", 3)));
    const std::optional<DecodedChar> guitar = DecodeUtf8("a\xF0\x9F\x8E\xB8", 1);
    EXPECT_TRUE(guitar && guitar->code == 0x1F3B8 && guitar->length == 4);
}

TEST(DisplayText, TypedTextBackToWindows1252) {
    EXPECT_EQ(Utf8ToWindows1252("Caf\xC3\xA9 \xE2\x82\xAC"), "Caf\xE9 \x80");
    EXPECT_EQ(Utf8ToWindows1252("\xC2\x81"), "\x81");
    EXPECT_FALSE(Utf8ToWindows1252("\xCE\xA9")); // Greek capital omega has no Windows-1252 byte
    EXPECT_FALSE(Utf8ToWindows1252("\xFF"));
    for (int b = 1; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        EXPECT_EQ(Utf8ToWindows1252(Windows1252ToUtf8(byte)), byte) << b;
    }
}

} // namespace
} // namespace patchlens
