// UTF-8 both ways; case- and accent-blind search: the plain search for a
// first unit that matches only itself (CR of a reply field) finds what the
// unit-by-unit comparison finds, at the ends of the text too.
#include <gtest/gtest.h>

#include "tests/support/utf8_text.h"
#include "toolbox/vstring.h"

using corvane::VString;

TEST(VStringFindFolded, FieldNamesAtEveryPlaceOfAHeader) {
  const std::u16string header = u"1.2 OK\r\nROW-COUNT: 5\r\nrow-count-sent: 2\r\n\r\n";
  EXPECT_EQ(VString::FindFolded(header, u"\r\nRow-Count:"), 6u);
  EXPECT_EQ(VString::FindFolded(header, u"\r\nRow-Count-Sent:"), 20u);
  EXPECT_EQ(VString::FindFolded(header, u"\r\nRow-Count", 7), 20u) << "from after the first";
  EXPECT_EQ(VString::FindFolded(header, u"\r\n\r\n"), header.size() - 4) << "at the very end";
  EXPECT_EQ(VString::FindFolded(header, u"\r\n\r\n\r"), VString::npos) << "a candidate too close to the end";
  EXPECT_EQ(VString::FindFolded(header, u"\r\nStatement-ID:"), VString::npos);
  EXPECT_EQ(VString::FindFolded(header, u"-count-SENT"), 25u);
  // A first unit that is a letter still matches its other cases and accents.
  EXPECT_EQ(VString::FindFolded(u"x\u00C9t\u00E9", u"ETE"), 1u);
  EXPECT_EQ(VString::FindFolded(u"abc", u""), 0u);
  EXPECT_EQ(VString::FindFolded(u"ab", u"abc"), VString::npos);
}

TEST(VStringUtf8, MixedTextBothWaysAtEveryLength) {
  // ASCII runs of every length up to 40 (the widening goes sixteen bytes at
  // a time) between characters of two, three and four bytes, encoded here by
  // hand: decoding gives exactly the units put in, encoding the bytes.
  std::uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return seed >> 8;
  };
  const char32_t others[] = {0xE9, 0x7FF, 0x800, 0x263A, 0xFFFD, 0x10000, 0x1F600, 0x10FFFF};
  for (int round = 0; round < 3000; ++round) {
    std::string utf8;
    std::u16string units;
    for (int piece = static_cast<int>(next() % 4); piece >= 0; --piece) {
      for (std::uint32_t k = next() % 41; k > 0; --k) {
        const char c = static_cast<char>(0x20 + next() % 0x5F);
        utf8 += c;
        units += static_cast<char16_t>(c);
      }
      if (next() % 3 == 0) continue;
      const char32_t cp = others[next() % std::size(others)];
      kestrion_test::AppendCodePoint(utf8, cp);
      if (cp < 0x10000) {
        units += static_cast<char16_t>(cp);
      } else {
        units += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
        units += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
      }
    }
    const VString decoded = VString::FromUtf8(utf8);
    ASSERT_EQ(std::u16string_view(decoded.c_units(), decoded.size()), units) << utf8;
    ASSERT_EQ(decoded.ToUtf8(), utf8);
  }
  // A byte that starts no character becomes U+FFFD after any ASCII run.
  for (std::size_t n = 0; n < 40; ++n) {
    const VString decoded = VString::FromUtf8(std::string(n, 'a') + "\xFF" + "b");
    ASSERT_EQ(decoded.size(), n + 2);
    EXPECT_EQ(decoded[n], u'\xFFFD');
    EXPECT_EQ(decoded[n + 1], u'b');
  }
}
