#include <gtest/gtest.h>

#include "platform/platform.h"

namespace quarzello::platform_test {

namespace {

TEST(Text, TextToIntReadsSignsAndBases) {
  EXPECT_EQ(TextToInt("  42abc"), 42);
  EXPECT_EQ(TextToInt("-17"), -17);
  EXPECT_EQ(TextToInt("+8"), 8);
  EXPECT_EQ(TextToInt("$ff"), 255);
  EXPECT_EQ(TextToInt("-$10"), -16);
  EXPECT_EQ(TextToInt("%1012"), 5);
  EXPECT_EQ(TextToInt("x12"), 0);
  EXPECT_EQ(TextToInt(""), 0);
  EXPECT_EQ(TextToInt("-"), 0);
  EXPECT_EQ(TextToInt("2147483647"), 2147483647);
}

TEST(Text, IntToText) { EXPECT_EQ(IntToText(-305), "-305"); }

TEST(Text, Utf8FromLatin1) {
  EXPECT_EQ(Utf8FromLatin1("Zurück"), "Zur\xC3\xBC" "ck");
  EXPECT_EQ(CodePointsFromUtf8(Utf8FromLatin1("Menü ÄÖÜß")),
            (std::vector<uint32_t>{'M', 'e', 'n', 0xFC, ' ', 0xC4, 0xD6, 0xDC, 0xDF}));
}

TEST(Text, CodePointsFromUtf8KeepsStrayBytes) {
  EXPECT_EQ(CodePointsFromUtf8("a\xC3\xA4"), (std::vector<uint32_t>{'a', 228}));
  EXPECT_EQ(CodePointsFromUtf8("\xE4x"), (std::vector<uint32_t>{228, 'x'}));  // plain ISO-8859-1
  EXPECT_EQ(CodePointsFromUtf8("\xC3"), (std::vector<uint32_t>{0xC3}));       // cut short
  EXPECT_EQ(CodePointsFromUtf8("\xF0\x9F\x98\x80"), (std::vector<uint32_t>{0x1F600}));
  // A sequence broken in its middle gives back its bytes one by one.
  EXPECT_EQ(CodePointsFromUtf8("\xE2\x80x\xF5\x80"), (std::vector<uint32_t>{0xE2, 0x80, 'x', 0xF5, 0x80}));
  EXPECT_EQ(CodePointsFromUtf8("\xE2\x80\x99"), (std::vector<uint32_t>{0x2019}));
}

}  // namespace

}  // namespace quarzello::platform_test
