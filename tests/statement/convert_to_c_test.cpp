#include <gtest/gtest.h>
#include <sql.h>
#include <sqlext.h>

#include <cstring>
#include <ctime>
#include <limits>
#include <string>
#include <vector>

#include "statement/convert_to_c.h"
#include "statement/guid_bytes.h"
#include "statement/locale_formats.h"
#include "statement/text_form.h"

using corvane::VValue;
using namespace kestrion;

namespace {

class ToCTarget : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = UserLocaleFormats();
    SetLocaleFormatsForTesting(MakeLocaleFormats(u"%m/%d/%y", u"%H:%M:%S", u'.'));
  }
  void TearDown() override { SetLocaleFormatsForTesting(saved_); }

  // Reads a whole value as wide text.
  static std::u16string Wide(const VValue& v) {
    char16_t buf[256];
    CTarget t{kClassWChar, buf, sizeof buf};
    CResult r = ConvertToC(t, v);
    EXPECT_EQ(r.status, Conversion::kOk);
    std::u16string s(buf);
    EXPECT_EQ(r.full_length, 2 * static_cast<int64_t>(s.size()) + 2);
    return s;
  }
  static std::string Narrow(const VValue& v, Charset cs = Charset::Utf8) {
    char buf[256];
    CTarget t{kClassChar, buf, sizeof buf, cs};
    CResult r = ConvertToC(t, v);
    EXPECT_EQ(r.status, Conversion::kOk);
    EXPECT_EQ(r.full_length, static_cast<int64_t>(std::strlen(buf)) + 1);
    return buf;
  }
  template <typename T>
  static T Scalar(int16_t c_class, const VValue& v, Conversion expect = Conversion::kOk) {
    T out{};
    CTarget t{c_class, &out, sizeof out};
    CResult r = ConvertToC(t, v);
    EXPECT_EQ(r.status, expect);
    if (expect == Conversion::kOk) {
      EXPECT_EQ(r.full_length, static_cast<int64_t>(sizeof out));
    }
    return out;
  }

  LocaleFormats saved_;
};

corvane::VTime Time(int y, int m, int d, uint32_t ms) {
  corvane::VTime t;
  t.year = static_cast<uint16_t>(y);
  t.month = static_cast<uint8_t>(m);
  t.day = static_cast<uint8_t>(d);
  t.ms = ms;
  return t;
}

VValue Decimal(const char* text) { return VValue(*corvane::VFloat::FromText(text)); }

}  // namespace

TEST_F(ToCTarget, TextFormsOfEachKind) {
  EXPECT_EQ(Wide(corvane::VDuration(3723045)), u"01:02:03.045");
  EXPECT_EQ(Wide(corvane::VDuration(3723000)), u"01:02:03");
  EXPECT_EQ(Wide(corvane::VDuration(-3723000)), u"-01:02:03");
  EXPECT_EQ(Wide(corvane::VDuration(86400000 + 60000)), u"00:01:00");  // hours modulo 24
  EXPECT_EQ(Narrow(corvane::VBlob({0x0A, 0xFF})), "0AFF");
  EXPECT_EQ(Wide(corvane::VBoolean(true)), u"1");
  EXPECT_EQ(Wide(corvane::VBoolean(false)), u"0");
  EXPECT_EQ(Wide(corvane::VLong(-42)), u"-42");
  EXPECT_EQ(Wide(corvane::VLong8(INT64_MIN)), u"-9223372036854775808");
  EXPECT_EQ(Wide(corvane::VByte(0)), u"0");
  EXPECT_EQ(Wide(Decimal("2")), u"2.0");
  EXPECT_EQ(Wide(Decimal("0.025")), u"0.025");
  EXPECT_EQ(Wide(Decimal("100")), u"100.0");
  EXPECT_EQ(Wide(Decimal("-12.5")), u"-12.5");
  EXPECT_EQ(Wide(Decimal("0")), u"0.0");
  {
    // Long decimals leave the small buffer; absurd exponents from the wire
    // keep their short form instead of billions of zeros.
    TextScratch scratch;
    std::u16string_view big = TextFormOf(Decimal("1e200"), scratch);
    EXPECT_EQ(big.size(), 203u);
    EXPECT_EQ(big.substr(big.size() - 3), u"0.0");
    EXPECT_EQ(TextFormOf(VValue(*corvane::VFloat::FromParts(-1, 2000000000, "15")), scratch),
              u"-1.5e+1999999999");
  }
  EXPECT_EQ(Wide(corvane::VReal(1.0 / 3)), u"0.33333333333333");
  EXPECT_EQ(Wide(corvane::VReal(1e20)), u"1E+20");
  EXPECT_EQ(Wide(corvane::VReal(12.5)), u"12.5");
  corvane::VUUID u;
  for (int i = 0; i < 16; ++i) u.bytes[i] = static_cast<uint8_t>(i * 17);
  EXPECT_EQ(Narrow(VValue(u)), "00112233-4455-6677-8899-AABBCCDDEEFF");
  // Times read the same whatever the locale: the date, the seconds, and the
  // milliseconds only when there are some.
  SetLocaleFormatsForTesting(MakeLocaleFormats(u"%d.%m.%Y", u"%I:%M %p", u','));
  EXPECT_EQ(Narrow(VValue(Time(2024, 3, 1, 14 * 3600000 + 5 * 60000 + 9000))), "2024-03-01 14:05:09");
  EXPECT_EQ(Narrow(VValue(Time(2024, 3, 1, 14 * 3600000 + 7))), "2024-03-01 14:00:00.007");
  EXPECT_EQ(Narrow(VValue(Time(0, 0, 0, 9 * 3600000 + 1000))), "09:00:01");
  EXPECT_EQ(Wide(VValue(corvane::VString(u"h\u00e9"))), u"h\u00e9");
}

TEST_F(ToCTarget, DisplayTimeTextFollowsTheLocalePatterns) {
  const corvane::VTime v = Time(2024, 3, 1, 9 * 3600000 + 5 * 60000 + 59000);
  auto shown = [](const corvane::VTime& t, const LocaleFormats& f) {
    TextScratch scratch;
    return std::u16string(TimeText(t, f, scratch));
  };
  EXPECT_EQ(shown(v, MakeLocaleFormats(u"%d.%m.%Y", u"%T", u',')), u"01.03.2024 09:05");
  // A 12-hour pattern loses its marker, so the hours are written 0-23.
  EXPECT_EQ(shown(Time(2024, 3, 1, 21 * 3600000), MakeLocaleFormats(u"%D", u"%r", u'.')),
            u"03/01/2024 21:00");
  EXPECT_EQ(shown(v, MakeLocaleFormats(u"%F", u"%p %I:%M:%S", u'.')), u"2024-03-01 09:05");
  EXPECT_EQ(MakeLocaleFormats(u"%Y/%m/%d", u"%H\u6642%M\u5206%S\u79d2", u'.').time_pattern,
            u"%H\u6642%M");
}

TEST_F(ToCTarget, WideTextInPiecesFromTheOffset) {
  // Ten characters into 8-byte buffers: 3, 3, 3 and 1 characters.
  const VValue v(corvane::VString(u"0123456789"));
  char16_t buf[4];
  CTarget t{kClassWChar, buf, sizeof buf};
  const char16_t* expect[] = {u"012", u"345", u"678", u"9"};
  const int64_t remaining[] = {20, 14, 8, 2};
  for (int call = 0; call < 4; ++call) {
    CResult r = ConvertToC(t, v);
    EXPECT_EQ(r.full_length, 22);
    EXPECT_EQ(RemainingLength(t, r), remaining[call]);
    EXPECT_EQ(std::u16string(buf), expect[call]);
    t.offset += r.delivered;
  }
  CResult r = ConvertToC(t, v);
  EXPECT_EQ(RemainingLength(t, r), 0);
  EXPECT_EQ(r.delivered, 0);

  // An odd capacity uses whole units only; two bytes hold just the terminator.
  char16_t odd[4] = {u'x', u'x', u'x', u'x'};
  CTarget t7{kClassWChar, odd, 7};
  r = ConvertToC(t7, v);
  EXPECT_EQ(r.delivered, 4);
  EXPECT_EQ(std::u16string(odd), u"01");
  CTarget t2{kClassWChar, odd, 2};
  r = ConvertToC(t2, v);
  EXPECT_EQ(r.delivered, 0);
  EXPECT_EQ(odd[0], 0);
  // No buffer: only the length.
  CTarget none{kClassWChar, nullptr, 0};
  EXPECT_EQ(ConvertToC(none, v).full_length, 22);
}

TEST_F(ToCTarget, NarrowTextInPiecesAndCharacterSets) {
  const VValue v(corvane::VString(u"abcdefghij"));
  char buf[4];
  CTarget t{kClassChar, buf, sizeof buf};
  std::string all;
  for (int call = 0; call < 4; ++call) {
    CResult r = ConvertToC(t, v);
    EXPECT_EQ(r.full_length, 11);
    EXPECT_EQ(RemainingLength(t, r), 10 - 3 * call);
    all += buf;
    t.offset += r.delivered;
  }
  EXPECT_EQ(all, "abcdefghij");

  // Non-BMP text: a surrogate pair is one character of 4 UTF-8 bytes.
  const VValue smile(corvane::VString(u"a\U0001F600b"));
  EXPECT_EQ(Narrow(smile), "a\xF0\x9F\x98\x80" "b");
  EXPECT_EQ(Wide(smile), u"a\U0001F600b");
  char piece[3];
  CTarget p{kClassChar, piece, sizeof piece};
  CResult r = ConvertToC(p, smile);
  EXPECT_EQ(r.full_length, 7);
  EXPECT_EQ(std::string(piece), "a\xF0");
  p.offset = r.delivered;
  r = ConvertToC(p, smile);
  EXPECT_EQ(std::string(piece), "\x9F\x98");

  // The local character set goes through the locale's encoder.
  const VValue accent(corvane::VString(u"caf\u00e9"));
  EXPECT_EQ(Narrow(accent, Charset::Local), corvane::VString(u"caf\u00e9").ToLocal());
  EXPECT_EQ(Narrow(accent), "caf\xC3\xA9");

  // The empty text is a terminator alone.
  EXPECT_EQ(Narrow(VValue(corvane::VString())), "");
}

TEST_F(ToCTarget, BinaryFromBlobsHexTextAndUuids) {
  uint8_t buf[8];
  CTarget t{kClassBinary, buf, 2};
  const VValue blob(corvane::VBlob({1, 2, 3, 4, 5}));
  CResult r = ConvertToC(t, blob);
  EXPECT_EQ(r.full_length, 5);
  EXPECT_EQ(r.delivered, 2);
  EXPECT_EQ(buf[1], 2);
  t.offset = 4;
  r = ConvertToC(t, blob);
  EXPECT_EQ(r.delivered, 1);
  EXPECT_EQ(buf[0], 5);

  CTarget h{kClassBinary, buf, sizeof buf};
  r = ConvertToC(h, VValue(corvane::VString(u"0aFf1")));
  EXPECT_EQ(r.full_length, 3);
  EXPECT_EQ(buf[0], 0x0A);
  EXPECT_EQ(buf[1], 0xFF);
  EXPECT_EQ(buf[2], 0x10);
  EXPECT_EQ(ConvertToC(h, corvane::VLong(5)).full_length, 0);
  corvane::VUUID u;
  u.bytes[15] = 0x77;
  uint8_t g[16];
  CTarget gt{kClassBinary, g, 16};
  EXPECT_EQ(ConvertToC(gt, VValue(u)).full_length, 16);
  EXPECT_EQ(g[15], 0x77);
}

TEST_F(ToCTarget, IntegerAndFloatingTargets) {
  EXPECT_EQ(Scalar<int32_t>(kClassInteger, corvane::VDuration(3723045)), 3723);
  EXPECT_EQ(Scalar<double>(kClassDouble, corvane::VDuration(3723045)), 3723.045);
  EXPECT_EQ(Scalar<int32_t>(kClassInteger, VValue(corvane::VString(u" -12 "))), -12);
  EXPECT_EQ(Scalar<int64_t>(kClassBigInt, VValue(corvane::VString(u"1.5e3"))), 1500);
  EXPECT_EQ(Scalar<double>(kClassDouble, VValue(corvane::VString(u"  12.5 "))), 12.5);
  EXPECT_EQ(Scalar<int64_t>(kClassBigInt, corvane::VReal(-2.9)), -2);
  EXPECT_EQ(Scalar<int64_t>(kClassBigInt, Decimal("-123.99")), -123);
  EXPECT_EQ(Scalar<double>(kClassDouble, Decimal("0.1")), 0.1);
  EXPECT_EQ(Scalar<float>(kClassReal, corvane::VReal(0.5)), 0.5f);
  EXPECT_EQ(Scalar<uint8_t>(kClassBit, corvane::VWord(1)), 1);
  EXPECT_EQ(Scalar<int8_t>(kClassTinyInt, corvane::VWord(-128)), -128);
  EXPECT_EQ(Scalar<int32_t>(kClassInteger, corvane::VBlob({1})), 0);
  EXPECT_EQ(Scalar<int64_t>(kClassBigInt, Decimal("9223372036854775807")), INT64_MAX);

  // The locale's decimal separator reads as a decimal point.
  SetLocaleFormatsForTesting(MakeLocaleFormats(u"%x", u"%X", u','));
  EXPECT_EQ(Scalar<double>(kClassDouble, VValue(corvane::VString(u"1234,5"))), 1234.5);
  // A fixed-size target smaller than its value gets only what fits.
  int64_t wide = 0;
  CTarget small{kClassBigInt, &wide, 4};
  EXPECT_EQ(ConvertToC(small, corvane::VLong8(-1)).full_length, 8);
  EXPECT_EQ(wide, 0xFFFFFFFF);
}

TEST_F(ToCTarget, ValuesOutsideTheTargetRangeAreRefusedAndNothingIsWritten) {
  struct Case {
    int16_t c_class;
    bool unsigned_integer;
    VValue value;
  };
  const Case cases[] = {
      {kClassSmallInt, false, corvane::VLong(70000)},
      {kClassSmallInt, false, corvane::VLong(-32769)},
      {kClassTinyInt, false, corvane::VWord(300)},
      {kClassTinyInt, true, corvane::VWord(-1)},
      {kClassSmallInt, true, corvane::VLong(65536)},
      {kClassInteger, false, corvane::VLong8(int64_t{1} << 31)},
      {kClassInteger, true, corvane::VLong(-1)},
      {kClassBigInt, true, corvane::VLong8(-5)},
      {kClassBigInt, false, Decimal("9223372036854775808")},
      {kClassBigInt, false, corvane::VReal(1e300)},
      {kClassBigInt, false, corvane::VReal(std::numeric_limits<double>::quiet_NaN())},
      {kClassBit, false, corvane::VLong(2)},
      {kClassBit, false, corvane::VReal(-0.5)},
      {kClassReal, false, corvane::VReal(1e300)},
  };
  for (const Case& c : cases) {
    uint8_t buf[8];
    std::memset(buf, 0xAB, sizeof buf);
    CTarget t{c.c_class, buf, sizeof buf};
    t.unsigned_integer = c.unsigned_integer;
    EXPECT_EQ(ConvertToC(t, c.value).status, Conversion::kOutOfRange) << c.c_class;
    EXPECT_EQ(buf[0], 0xAB) << c.c_class;
  }
  // The unsigned types take what the signed ones of their width refuse.
  uint32_t u = 0;
  CTarget ut{kClassInteger, &u, sizeof u};
  ut.unsigned_integer = true;
  EXPECT_EQ(ConvertToC(ut, corvane::VLong8(4000000000)).status, Conversion::kOk);
  EXPECT_EQ(u, 4000000000u);
}

TEST_F(ToCTarget, TextThatIsNoNumberIsRefusedAndFractionsAreReported) {
  for (int16_t c : {kClassBit, kClassTinyInt, kClassInteger, kClassBigInt, kClassReal,
                    kClassDouble, kClassNumeric}) {
    for (const char16_t* text : {u"abc", u"12abc", u"", u"1.2.3", u"--1"}) {
      uint8_t buf[32];
      CTarget t{c, buf, sizeof buf};
      EXPECT_EQ(ConvertToC(t, VValue(corvane::VString(text))).status, Conversion::kInvalidText)
          << c << " " << corvane::VString(text).ToUtf8();
    }
  }
  int32_t i = 0;
  CTarget t{kClassInteger, &i, sizeof i};
  CResult r = ConvertToC(t, VValue(corvane::VString(u"12.5")));
  EXPECT_EQ(i, 12);
  EXPECT_TRUE(r.fraction_lost);
  r = ConvertToC(t, corvane::VReal(-7.25));
  EXPECT_EQ(i, -7);
  EXPECT_TRUE(r.fraction_lost);
  r = ConvertToC(t, Decimal("42.000"));
  EXPECT_EQ(i, 42);
  EXPECT_FALSE(r.fraction_lost);
  uint8_t bit = 0;
  CTarget b{kClassBit, &bit, 1};
  r = ConvertToC(b, corvane::VReal(1.5));
  EXPECT_EQ(bit, 1);
  EXPECT_TRUE(r.fraction_lost);
}

TEST_F(ToCTarget, TimeValuesHaveNoNumericReading) {
  const VValue t(Time(2024, 3, 1, 1000));
  for (int16_t c : {kClassBit, kClassTinyInt, kClassSmallInt, kClassInteger, kClassBigInt,
                    kClassReal, kClassDouble, kClassNumeric}) {
    uint8_t buf[32];
    std::memset(buf, 0xAB, sizeof buf);
    CTarget target{c, buf, sizeof buf};
    CResult r = ConvertToC(target, t);
    EXPECT_EQ(r.status, Conversion::kNotPossible) << c;
    EXPECT_EQ(buf[0], 0xAB) << c;  // nothing written
  }
}

TEST_F(ToCTarget, NumericStructure) {
  auto num = [](const VValue& v, int scale, Conversion expect = Conversion::kOk) {
    SQL_NUMERIC_STRUCT n;
    std::memset(&n, 0xEE, sizeof n);
    CTarget t{kClassNumeric, &n, sizeof n};
    t.scale = scale;
    CResult r = ConvertToC(t, v);
    EXPECT_EQ(r.status, expect);
    if (expect == Conversion::kOk) {
      EXPECT_EQ(r.full_length, 19);
    }
    return n;
  };
  SQL_NUMERIC_STRUCT n = num(Decimal("12.345"), 2);
  EXPECT_EQ(n.precision, 4);
  EXPECT_EQ(n.scale, 2);
  EXPECT_EQ(n.sign, 1);
  EXPECT_EQ(n.val[0] | n.val[1] << 8, 1235);
  for (int i = 2; i < 16; ++i) EXPECT_EQ(n.val[i], 0);

  n = num(corvane::VLong(-300), -3);  // negative scale taken as 0
  EXPECT_EQ(n.scale, 0);
  EXPECT_EQ(n.sign, 0);
  EXPECT_EQ(n.val[0] | n.val[1] << 8, 300);
  EXPECT_EQ(n.precision, 3);

  n = num(Decimal("1"), 20);  // scale clamped to 15
  EXPECT_EQ(n.scale, 15);
  uint64_t low = 0;
  std::memcpy(&low, n.val, 8);
  EXPECT_EQ(low, 1000000000000000ull);
  EXPECT_EQ(n.precision, 16);

  n = num(Decimal("0"), 0);
  EXPECT_EQ(n.sign, 1);
  EXPECT_EQ(n.precision, 1);
  n = num(corvane::VDuration(1500), 1);
  EXPECT_EQ(n.val[0], 15);
  // 38 digits fit; 39 do not.
  num(Decimal("99999999999999999999999999999999999999"), 0);
  num(Decimal("999999999999999999999999999999999999990"), 0, Conversion::kOutOfRange);
  num(Decimal("1e300"), 0, Conversion::kOutOfRange);
  num(corvane::VReal(std::numeric_limits<double>::quiet_NaN()), 0, Conversion::kOutOfRange);
}

TEST_F(ToCTarget, DateTimeStructures) {
  const VValue t(Time(2024, 2, 29, 13 * 3600000 + 14 * 60000 + 15000 + 678));
  SQL_TIMESTAMP_STRUCT ts = Scalar<SQL_TIMESTAMP_STRUCT>(kClassTimestamp, t);
  EXPECT_EQ(ts.year, 2024);
  EXPECT_EQ(ts.month, 2);
  EXPECT_EQ(ts.day, 29);
  EXPECT_EQ(ts.hour, 13);
  EXPECT_EQ(ts.minute, 14);
  EXPECT_EQ(ts.second, 15);
  EXPECT_EQ(ts.fraction, 678000000u);
  SQL_DATE_STRUCT d = Scalar<SQL_DATE_STRUCT>(kClassDate, t);
  EXPECT_EQ(d.year, 2024);
  EXPECT_EQ(d.day, 29);
  SQL_TIME_STRUCT tm = Scalar<SQL_TIME_STRUCT>(kClassTime, t);
  EXPECT_EQ(tm.hour, 13);
  EXPECT_EQ(tm.second, 15);

  // A duration: whole days in the day field, the rest as the time of day.
  ts = Scalar<SQL_TIMESTAMP_STRUCT>(kClassTimestamp, corvane::VDuration(2 * 86400000 + 3723045));
  EXPECT_EQ(ts.year, 0);
  EXPECT_EQ(ts.day, 2);
  EXPECT_EQ(ts.hour, 1);
  EXPECT_EQ(ts.fraction, 45000000u);
  // Read as a time of day, a span of 24 hours or more does not wrap around.
  tm = Scalar<SQL_TIME_STRUCT>(kClassTime, corvane::VDuration(86400000 - 1000));
  EXPECT_EQ(tm.hour, 23);
  EXPECT_EQ(tm.second, 59);
  Scalar<SQL_TIME_STRUCT>(kClassTime, corvane::VDuration(86400000), Conversion::kDatetimeOverflow);
  Scalar<SQL_TIME_STRUCT>(kClassTime, corvane::VDuration(25 * 3600000), Conversion::kDatetimeOverflow);
  Scalar<SQL_TIME_STRUCT>(kClassTime, corvane::VDuration(-1), Conversion::kDatetimeOverflow);
  Scalar<SQL_TIMESTAMP_STRUCT>(kClassTimestamp, corvane::VDuration(-1), Conversion::kOutOfRange);

  // Texts are read as dates.
  d = Scalar<SQL_DATE_STRUCT>(kClassDate, VValue(corvane::VString(u"2023-12-31")));
  EXPECT_EQ(d.year, 2023);
  EXPECT_EQ(d.month, 12);
  ts = Scalar<SQL_TIMESTAMP_STRUCT>(kClassTimestamp, VValue(corvane::VString(u"{ts '2024-03-01 10:20:30.5'}")));
  EXPECT_EQ(ts.fraction, 500000000u);
  Scalar<SQL_DATE_STRUCT>(kClassDate, VValue(corvane::VString(u"2023-02-29")), Conversion::kInvalidText);
  Scalar<SQL_DATE_STRUCT>(kClassDate, VValue(corvane::VString(u"hello")), Conversion::kInvalidText);
  Scalar<SQL_DATE_STRUCT>(kClassDate, corvane::VBlob({1}), Conversion::kNotPossible);
}

TEST_F(ToCTarget, AccessCompatibilityDatesADurationToday) {
  SQL_TIMESTAMP_STRUCT ts{};
  CTarget t{kClassTimestamp, &ts, sizeof ts};
  t.access_compatible = true;
  std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  ASSERT_EQ(ConvertToC(t, corvane::VDuration(3600000)).status, Conversion::kOk);
  EXPECT_EQ(ts.year, utc.tm_year + 1900);
  EXPECT_EQ(ts.hour, 1);
  // A duration of days keeps its day count; a date target is not touched.
  ASSERT_EQ(ConvertToC(t, corvane::VDuration(86400000)).status, Conversion::kOk);
  EXPECT_EQ(ts.year, 0);
  EXPECT_EQ(ts.day, 1);
}

TEST_F(ToCTarget, IntervalStructure) {
  SQL_INTERVAL_STRUCT s =
      Scalar<SQL_INTERVAL_STRUCT>(kClassInterval, corvane::VDuration(-(86400000 + 3723045)));
  EXPECT_EQ(s.interval_type, SQL_IS_DAY_TO_SECOND);
  EXPECT_EQ(s.interval_sign, SQL_TRUE);
  EXPECT_EQ(s.intval.day_second.day, 1u);
  EXPECT_EQ(s.intval.day_second.hour, 1u);
  EXPECT_EQ(s.intval.day_second.minute, 2u);
  EXPECT_EQ(s.intval.day_second.second, 3u);
  EXPECT_EQ(s.intval.day_second.fraction, 45000000u);
  s = Scalar<SQL_INTERVAL_STRUCT>(kClassInterval, VValue(corvane::VString(u"26:00:01")));
  EXPECT_EQ(s.interval_sign, SQL_FALSE);
  EXPECT_EQ(s.intval.day_second.day, 1u);
  EXPECT_EQ(s.intval.day_second.hour, 2u);
  EXPECT_EQ(s.intval.day_second.second, 1u);
  Scalar<SQL_INTERVAL_STRUCT>(kClassInterval, VValue(Time(2024, 1, 1, 0)), Conversion::kNotPossible);
  s = Scalar<SQL_INTERVAL_STRUCT>(kClassInterval, VValue(Time(0, 0, 0, 5000)));
  EXPECT_EQ(s.intval.day_second.second, 5u);
}

TEST_F(ToCTarget, GuidAndUnknownTargets) {
  corvane::VUUID u;
  for (int i = 0; i < 16; ++i) u.bytes[i] = static_cast<uint8_t>(i);
  // The stored bytes are in canonical order: Data1..Data3 are read as
  // big-endian integers, the same as from the text form.
  SQLGUID g = Scalar<SQLGUID>(kClassGuid, VValue(u));
  EXPECT_EQ(g.Data1, 0x00010203u);
  EXPECT_EQ(g.Data2, 0x0405);
  EXPECT_EQ(g.Data3, 0x0607);
  EXPECT_EQ(std::memcmp(g.Data4, u.bytes.data() + 8, 8), 0);
  for (const char16_t* text : {u"00010203-0405-0607-0809-0a0b0c0d0e0f",
                               u"{000102030405060708090A0B0C0D0E0F}"}) {
    SQLGUID t = Scalar<SQLGUID>(kClassGuid, VValue(corvane::VString(text)));
    EXPECT_EQ(std::memcmp(&t, &g, sizeof g), 0);
  }
  EXPECT_EQ(CanonicalGuidBytes(g), u.bytes);
  Scalar<SQLGUID>(kClassGuid, VValue(corvane::VString(u"0001")), Conversion::kInvalidText);
  Scalar<SQLGUID>(kClassGuid, corvane::VLong(1), Conversion::kNotPossible);
  int32_t x = 7;
  CTarget other{kClassDefault, &x, 4};
  CResult r = ConvertToC(other, corvane::VLong(1));
  EXPECT_EQ(r.full_length, 0);
  EXPECT_EQ(x, 7);
}

TEST_F(ToCTarget, LongValuesInPiecesCostOnlyTheirPieces) {
  // A blob as hexadecimal text, piece by piece, in both widths.
  corvane::VBytes bytes(1000);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7);
  const VValue blob(corvane::VBlob(bytes));
  std::string whole;
  char nbuf[33];
  CTarget n{kClassChar, nbuf, sizeof nbuf};
  for (;;) {
    CResult r = ConvertToC(n, blob);
    EXPECT_EQ(r.full_length, 2001);
    if (r.delivered == 0) break;
    whole += nbuf;
    n.offset += r.delivered;
  }
  std::u16string wide_whole;
  char16_t wbuf[17];
  CTarget w{kClassWChar, wbuf, sizeof wbuf};
  for (;;) {
    CResult r = ConvertToC(w, blob);
    EXPECT_EQ(r.full_length, 4002);
    if (r.delivered == 0) break;
    wide_whole += wbuf;
    w.offset += r.delivered;
  }
  ASSERT_EQ(whole.size(), 2000u);
  EXPECT_EQ(whole.substr(0, 6), "00070E");
  EXPECT_EQ(std::u16string(whole.begin(), whole.end()), wide_whole);

  // 1 M characters read as narrow UTF-8 in 4 KB pieces through a piece cache.
  corvane::VString text(1 << 20, u'\u00e9');
  text[12345] = u'x';
  const VValue big(text);
  PieceCache cache;
  std::vector<char> buf(4096);
  CTarget t{kClassChar, buf.data(), static_cast<int64_t>(buf.size())};
  t.pieces = &cache;
  int64_t total = 0;
  std::string first;
  for (;;) {
    CResult r = ConvertToC(t, big);
    ASSERT_EQ(r.full_length, 2 * (1 << 20) - 1 + 1);
    if (r.delivered == 0) break;
    if (t.offset == 0) first.assign(buf.data(), 8);
    total += r.delivered;
    t.offset += r.delivered;
  }
  EXPECT_EQ(total, 2 * (1 << 20) - 1);
  EXPECT_EQ(first, "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9");
  // A new value starting at offset 0 replaces what the cache held.
  t.offset = 0;
  CResult r = ConvertToC(t, VValue(corvane::VString(u"short")));
  EXPECT_EQ(r.full_length, 6);
  EXPECT_STREQ(buf.data(), "short");
}
