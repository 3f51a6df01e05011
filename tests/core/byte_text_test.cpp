// The shared byte-text helpers: the blanks that count, lists and fields past their end.

#include <gtest/gtest.h>

#include "text/byte_text.h"

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
    EXPECT_EQ(FieldOf("Wah,Funky,r0,", ',', 2), "Funky");
    EXPECT_EQ(FieldOf("Wah,Funky,r0,", ',', 4), "");
    EXPECT_EQ(FieldOf("Wah,Funky,r0,", ',', 9), "");
    EXPECT_EQ(FieldOf("no delimiter", ',', 1), "no delimiter");
}

} // namespace
} // namespace patchlens
