#include "plugin/reader_text.h"

#include <gtest/gtest.h>

#include <string>

namespace pagora {
namespace {

std::string Reader16(const std::u16string& text) {
  char out[64];
  return Utf16ToReader(text.c_str(), out, sizeof out) < 0 ? "<none>" : std::string(out);
}

std::string Reader8(const std::string& text) {
  char out[64];
  return Utf8ToReader(text.c_str(), out, sizeof out) < 0 ? "<none>" : std::string(out);
}

TEST(ReaderText, EveryReaderByteConvertsBothWaysExactly) {
  struct Case {
    const char* label;
    std::string reader;
    std::u16string utf16;
    std::string utf8;
  } cases[] = {
      {"accented Latin", "Caf\xE9 \xC9mile \xFF", u"Caf\u00E9 \u00C9mile \u00FF",
       "Caf\xC3\xA9 \xC3\x89mile \xC3\xBF"},
      {"euro sign", "\x80", u"\u20AC", "\xE2\x82\xAC"},
      {"typographic quotes", "\x93x\x94 \x91y\x92 \x84z", u"\u201Cx\u201D \u2018y\u2019 \u201Ez",
       "\xE2\x80\x9Cx\xE2\x80\x9D \xE2\x80\x98y\xE2\x80\x99 \xE2\x80\x9Ez"},
      {"dashes and ellipsis", "\x96\x97\x85", u"\u2013\u2014\u2026",
       "\xE2\x80\x93\xE2\x80\x94\xE2\x80\xA6"},
      {"letters of the high row", "\x8A\x9A\x8C\x9C\x8E\x9E\x9F\x83", u"\u0160\u0161\u0152\u0153\u017D\u017E\u0178\u0192",
       "\xC5\xA0\xC5\xA1\xC5\x92\xC5\x93\xC5\xBD\xC5\xBE\xC5\xB8\xC6\x92"},
      {"the five undefined bytes keep their numbers", "\x81\x8D\x8F\x90\x9D",
       u"\u0081\u008D\u008F\u0090\u009D", "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"},
      {"ASCII and the no-break space", "A \xA0z", u"A \u00A0z", "A \xC2\xA0z"},
  };
  for (const Case& c : cases) {
    char16_t wide[64];
    ASSERT_EQ(ReaderToUtf16(c.reader.c_str(), wide, 64), static_cast<int>(c.utf16.size())) << c.label;
    EXPECT_EQ(std::u16string(wide), c.utf16) << c.label;
    char narrow[64];
    ASSERT_EQ(ReaderToUtf8(c.reader.c_str(), narrow, 64), static_cast<int>(c.utf8.size())) << c.label;
    EXPECT_EQ(std::string(narrow), c.utf8) << c.label;
    EXPECT_EQ(Reader16(c.utf16), c.reader) << c.label;
    EXPECT_EQ(Reader8(c.utf8), c.reader) << c.label;
    std::size_t width = 0;
    for (char b : c.reader) width += Utf8Width(static_cast<unsigned char>(b));
    EXPECT_EQ(width, c.utf8.size()) << c.label;
  }
  // All 255 bytes at once, there and back.
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  char16_t wide[300];
  ASSERT_EQ(ReaderToUtf16(all.c_str(), wide, 300), 255);
  char back[300];
  ASSERT_EQ(Utf16ToReader(wide, back, 300), 255);
  EXPECT_EQ(std::string(back), all);
}

TEST(ReaderText, WhatTheReaderCannotHoldIsRefusedNotReplaced) {
  struct Case {
    const char* label;
    std::u16string utf16;  // empty: UTF-8 only
    std::string utf8;
  } cases[] = {
      {"a letter outside the set", u"\u0100", "\xC4\x80"},
      {"CJK", u"\u65E5\u672C.rb", "\xE6\x97\xA5\xE6\x9C\xAC.rb"},
      {"a character beyond the BMP", u"\xD83D\xDCD6", "\xF0\x9F\x93\x96"},
      {"a lone surrogate", u"a\xDC00", ""},
      {"a truncated sequence", u"", "\xC3"},
      {"an overlong form", u"", "\xC0\xAF"},
      {"an encoded surrogate", u"", "\xED\xA0\x80"},
      {"a stray continuation byte", u"", "\x80"},
  };
  for (const Case& c : cases) {
    if (!c.utf16.empty()) {
      EXPECT_EQ(Reader16(c.utf16), "<none>") << c.label;
    }
    if (!c.utf8.empty()) {
      EXPECT_EQ(Reader8(c.utf8), "<none>") << c.label;
    }
  }
  // Any Unicode text passes between the host's two forms, pairs included.
  char16_t wide[16];
  ASSERT_EQ(Utf8ToUtf16("\xF0\x9F\x93\x96\xE6\x97\xA5", wide, 16), 3);
  EXPECT_EQ(std::u16string(wide), u"\xD83D\xDCD6\u65E5");
  char narrow[16];
  ASSERT_EQ(Utf16ToUtf8(wide, narrow, 16), 7);
  EXPECT_EQ(std::string(narrow), "\xF0\x9F\x93\x96\xE6\x97\xA5");
  EXPECT_EQ(Utf16ToUtf8(u"\xD800x", narrow, 16), -1) << "a lone high surrogate";
  // Too little room: -1, and never a byte past it.
  char small[4] = {'#', '#', '#', '#'};
  EXPECT_EQ(ReaderToUtf8("\xE9\xE9", small, 3), -1);
  EXPECT_EQ(std::string(small, 3), std::string("\xC3\xA9\0", 3));
  EXPECT_EQ(Utf16ToReader(u"abcd", small, 4), -1);
  EXPECT_EQ(std::string(small), "abc");
}

}  // namespace
}  // namespace pagora
