#include <gtest/gtest.h>

#include "core/durations/ZRCustomTextFieldFormatter.h"

namespace ravelong {
namespace {

TEST(CustomTextFieldFormatter, RefusesEditsThatGrowTheTextBeyondTheLimit) {
    const ZRCustomTextFieldFormatter formatter(5);
    EXPECT_TRUE(formatter.isPartialStringValid("abcde", "abcd"));
    EXPECT_FALSE(formatter.isPartialStringValid("abcdef", "abcde"));
    EXPECT_FALSE(formatter.isPartialStringValid("abcdefghij", ""));  // a paste
    EXPECT_TRUE(formatter.isPartialStringValid("", "abcde"));
}

TEST(CustomTextFieldFormatter, CountsCharactersNotBytes) {
    const ZRCustomTextFieldFormatter formatter(6);
    EXPECT_TRUE(formatter.isPartialStringValid("Zürich", "Züric"));
    EXPECT_TRUE(formatter.isPartialStringValid("日本語の文字", ""));
    EXPECT_FALSE(formatter.isPartialStringValid("日本語の文字列", "日本語の文字"));
    EXPECT_EQ(ZRCustomTextFieldFormatter::characterCount("👍 ok"), 4);
    EXPECT_EQ(ZRCustomTextFieldFormatter::characterCount("\xff"), -1);
    EXPECT_FALSE(formatter.isPartialStringValid("a\xff", "a"));
}

TEST(CustomTextFieldFormatter, AnOverlongTextCanStillBeShortened) {
    // Set by the program, or longer than a limit lowered later: the user must not be stuck.
    const ZRCustomTextFieldFormatter formatter(5);
    EXPECT_TRUE(formatter.isPartialStringValid("abcdefg", "abcdefgh"));
    EXPECT_TRUE(formatter.isPartialStringValid("abcdefgX", "abcdefgh"));
    EXPECT_FALSE(formatter.isPartialStringValid("abcdefghi", "abcdefgh"));
}

TEST(CustomTextFieldFormatter, ANegativeLimitAllowsOnlyTheEmptyText) {
    ZRCustomTextFieldFormatter formatter(-3);
    EXPECT_EQ(formatter.maxLength(), 0);
    EXPECT_TRUE(formatter.isPartialStringValid("", ""));
    EXPECT_FALSE(formatter.isPartialStringValid("a", ""));
    formatter.setMaxLength(1);
    EXPECT_TRUE(formatter.isPartialStringValid("a", ""));
}

}  // namespace
}  // namespace ravelong
