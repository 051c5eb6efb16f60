// The row-cell encoder against independent references: decimals against the
// toolbox's general VFloat path and its wire layout, text against the
// toolbox's UTF-8 decoder.
#include "server/cell_encoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "toolbox/value_codec.h"
#include "toolbox/vfloat.h"
#include "tests/support/utf8_text.h"
#include "toolbox/vstring.h"

using kestrion::server::AppendUtf16;
using kestrion::server::ByteBuffer;
using kestrion::server::EncodeCell;
using kestrion::server::SqlCell;
using Bytes = std::vector<std::uint8_t>;

namespace {

using kestrion_test::AppendCodePoint;

SqlCell DoubleCell(double d) {
  SqlCell c;
  c.type = SQLITE_FLOAT;
  c.d = d;
  return c;
}

SqlCell IntegerCell(std::int64_t i) {
  SqlCell c;
  c.type = SQLITE_INTEGER;
  c.i = i;
  return c;
}

Bytes BytesOf(const ByteBuffer& b) { return Bytes(b.data(), b.data() + b.size()); }

Bytes Encoded(corvane::VKind kind, const SqlCell& c) {
  ByteBuffer out;
  EncodeCell(out, kind, c);
  return BytesOf(out);
}

// Status '1' and the decimal layout of `f` as the toolbox writes it.
Bytes DecimalReference(const corvane::VFloat& f) {
  corvane::VMemoryStream s;
  s.PutU8('1');
  EXPECT_TRUE(corvane::WriteFloat(s, f));
  return s.buffer();
}

// Decimal cells from doubles: the same bytes as the toolbox's VFloat built
// from the double, over values that exercise every digit count, both signs,
// the exponent extremes, subnormals and integers.
TEST(CellEncoder, DecimalFromDoubleMatchesVFloat) {
  std::vector<double> values = {0.0,
                                1.0,
                                -1.0,
                                0.5,
                                1.5,
                                10.0,
                                100.0,
                                1e21,
                                1e22,
                                123456789012345680.0,
                                0.1,
                                0.2,
                                1.0 / 3.0,
                                -2.0 / 3.0,
                                0.142857142857143,
                                9007199254740993.0,
                                std::numeric_limits<double>::max(),
                                -std::numeric_limits<double>::max(),
                                std::numeric_limits<double>::min(),
                                std::numeric_limits<double>::denorm_min(),
                                -std::numeric_limits<double>::denorm_min(),
                                std::numeric_limits<double>::epsilon(),
                                1e-300,
                                -1e300,
                                5e-324,
                                4.9406564584124654e-324,
                                2.2250738585072009e-308};
  std::mt19937_64 random(20261207);
  for (int k = 0; k < 20000; ++k) {
    // Random bit patterns cover every exponent; skip NaN and infinities.
    std::uint64_t bits = random();
    double d;
    std::memcpy(&d, &bits, 8);
    if (std::isfinite(d)) values.push_back(d);
  }
  std::uniform_int_distribution<std::int64_t> small(-1000000, 1000000);
  for (int k = 0; k < 5000; ++k) {
    values.push_back(static_cast<double>(small(random)) / 100.0);  // money-like
    values.push_back(static_cast<double>(small(random)));         // integers
    values.push_back(static_cast<double>(small(random)) * 1e10);  // trailing zeros
  }
  for (double d : values) {
    auto f = corvane::VFloat::FromDouble(d);
    ASSERT_TRUE(f) << d;
    ASSERT_EQ(Encoded(corvane::VKind::Float, DoubleCell(d)), DecimalReference(*f)) << d;
  }
}

TEST(CellEncoder, DecimalZeroAndNonFiniteDoubles) {
  // 0 and -0.0 are both zero: exponent 0, sign 0, no digits.
  const Bytes zero = {'1', 0, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(Encoded(corvane::VKind::Float, DoubleCell(0.0)), zero);
  EXPECT_EQ(Encoded(corvane::VKind::Float, DoubleCell(-0.0)), zero);
  // 1.5: exponent 1, sign 1, two digits, pair 15 and a zero byte.
  EXPECT_EQ(Encoded(corvane::VKind::Float, DoubleCell(1.5)), (Bytes{'1', 1, 0, 0, 0, 1, 2, 0, 0, 0, 15, 0}));
  // No decimal holds an infinity or NaN: status '2', out of range.
  const Bytes unavailable = {'2', 1, 0, 0, 0};
  EXPECT_EQ(Encoded(corvane::VKind::Float, DoubleCell(std::numeric_limits<double>::infinity())), unavailable);
  EXPECT_EQ(Encoded(corvane::VKind::Float, DoubleCell(-std::numeric_limits<double>::infinity())), unavailable);
  EXPECT_EQ(Encoded(corvane::VKind::Float, DoubleCell(std::numeric_limits<double>::quiet_NaN())), unavailable);
}

TEST(CellEncoder, DecimalFromIntegerMatchesVFloat) {
  std::vector<std::int64_t> values = {0,          1,         -1,        9,          10,         -10,
                                      100,        123,       1000000,   -987654321, 1234567890, 10000000000,
                                      INT64_MAX,  INT64_MIN, INT64_MIN + 1, INT32_MAX, INT32_MIN,
                                      -9000000000000000000};
  std::mt19937_64 random(7);
  for (int k = 0; k < 5000; ++k) {
    values.push_back(static_cast<std::int64_t>(random()));
    values.push_back(static_cast<std::int64_t>(random() % 100000) * 1000);
  }
  for (std::int64_t v : values)
    ASSERT_EQ(Encoded(corvane::VKind::Float, IntegerCell(v)), DecimalReference(corvane::VFloat::FromInt64(v))) << v;
}

// The UTF-16 units a valid UTF-8 text becomes, as little-endian bytes.
Bytes Utf16Reference(const std::string& utf8) {
  corvane::VString s = corvane::VString::FromUtf8(utf8);
  Bytes out(s.size() * 2);
  for (std::size_t k = 0; k < s.size(); ++k) {
    out[2 * k] = static_cast<std::uint8_t>(s[k]);
    out[2 * k + 1] = static_cast<std::uint8_t>(s[k] >> 8);
  }
  return out;
}

// Valid texts of every length around the eight-byte ASCII steps, with
// multi-byte characters at every position, appended after bytes already in
// the buffer: the same units as the toolbox decoder, the count returned, and
// the bytes before left alone.
TEST(CellEncoder, Utf16OfValidTexts) {
  std::mt19937 random(11);
  const char32_t others[] = {0xE9, 0x7FF, 0x800, 0x20AC, 0xFFFD, 0xFFFF, 0x10000, 0x1F600, 0x10FFFF};
  std::vector<std::string> texts;
  for (std::size_t n = 0; n <= 40; ++n) {
    std::string ascii;
    for (std::size_t k = 0; k < n; ++k) ascii += static_cast<char>(0x20 + (k * 7) % 95);
    texts.push_back(ascii);
    for (char32_t other : others) {
      for (std::size_t at = 0; at <= n; at += 3) {
        std::string t = ascii.substr(0, at);
        AppendCodePoint(t, other);
        t += ascii.substr(at);
        texts.push_back(t);
      }
    }
  }
  for (int k = 0; k < 2000; ++k) {
    std::string t;
    const int len = static_cast<int>(random() % 60);
    for (int j = 0; j < len; ++j) {
      // Mostly ASCII (control characters and DEL included), some of each width.
      const unsigned pick = random() % 10;
      char32_t cp = pick < 6   ? random() % 0x80
                    : pick < 7 ? 0x80 + random() % 0x780
                    : pick < 9 ? 0x800 + random() % 0xD000
                               : 0x10000 + random() % 0x100000;
      if (cp >= 0xD800 && cp <= 0xDFFF) cp = 0xE000;
      AppendCodePoint(t, cp);
    }
    texts.push_back(t);
  }
  for (const std::string& t : texts) {
    ByteBuffer out;
    const std::uint8_t before[] = {0xAA, 0xBB, 0xCC};
    std::memcpy(out.Extend(3), before, 3);
    const std::size_t units = AppendUtf16(out, reinterpret_cast<const unsigned char*>(t.data()), t.size());
    Bytes expected(before, before + 3);
    const Bytes units_expected = Utf16Reference(t);
    expected.insert(expected.end(), units_expected.begin(), units_expected.end());
    ASSERT_EQ(BytesOf(out), expected) << t;
    ASSERT_EQ(units, units_expected.size() / 2) << t;
  }
}

// Each byte that does not start a valid sequence becomes one U+FFFD, and
// decoding goes on at the next byte, also inside an ASCII run.
TEST(CellEncoder, Utf16OfInvalidBytes) {
  auto units = [](const std::string& t) {
    ByteBuffer out;
    const std::size_t n = AppendUtf16(out, reinterpret_cast<const unsigned char*>(t.data()), t.size());
    EXPECT_EQ(out.size(), 2 * n);
    std::u16string u;
    for (std::size_t k = 0; k < n; ++k) u += static_cast<char16_t>(out.data()[2 * k] | (out.data()[2 * k + 1] << 8));
    return u;
  };
  EXPECT_EQ(units("abcdefgh\x80ijklmnop"), u"abcdefgh\uFFFDijklmnop");
  EXPECT_EQ(units("abcdefg\xE2\x82"), u"abcdefg\uFFFD\uFFFD");  // cut short at the end
  EXPECT_EQ(units("\xC0\x80xyz"), u"\uFFFD\uFFFDxyz");          // overlong
  EXPECT_EQ(units("\xED\xA0\x80!"), u"\uFFFD\uFFFD\uFFFD!");    // a surrogate
  EXPECT_EQ(units("\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD");  // above U+10FFFF
  EXPECT_EQ(units("\xFF"), u"\uFFFD");
}

// A text cell: the negated unit count, then the units.
TEST(CellEncoder, TextCellLength) {
  SqlCell c;
  c.type = SQLITE_TEXT;
  const std::string t = "0123456789\xE2\x82\xAC\xF0\x9F\x98\x80";  // 10 + 1 + 2 units
  c.p = reinterpret_cast<const unsigned char*>(t.data());
  c.n = static_cast<int>(t.size());
  Bytes out = Encoded(corvane::VKind::Text, c);
  ASSERT_EQ(out.size(), 1u + 4 + 2 * 13);
  EXPECT_EQ(out[0], '1');
  EXPECT_EQ((Bytes{out.begin() + 1, out.begin() + 5}), (Bytes{0xF3, 0xFF, 0xFF, 0xFF}));
}

}  // namespace
