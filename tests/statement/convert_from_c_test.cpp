#include <gtest/gtest.h>
#include <sql.h>
#include <sqlext.h>

#include <cstring>

#include "statement/convert_from_c.h"

using corvane::VKind;
using corvane::VValue;
using namespace kestrion;

namespace {

ParameterBuffer Buffer(int16_t c_type, const void* data, int64_t buffer_length = 0) {
  ParameterBuffer p;
  p.c_type = c_type;
  p.c_class = FoldType(c_type, 3);
  p.data = data;
  p.buffer_length = buffer_length;
  return p;
}

// Binds with one length/indicator cell, as SQLBindParameter does.
ParameterBuffer WithIndicator(ParameterBuffer p, int64_t ind) {
  p.indicator = ind;
  p.length = ind;
  return p;
}

VValue Read(const ParameterBuffer& p, BufferValue expect = BufferValue::kValue) {
  VValue v;
  EXPECT_EQ(ReadParameterBuffer(p, v), expect);
  return v;
}

VValue Make(const ParameterBuffer& p, int16_t sql_class, Conversion expect = Conversion::kOk) {
  VValue v;
  ParameterValue r = MakeParameterValue(p, sql_class, v);
  EXPECT_EQ(r.state, BufferValue::kValue);
  EXPECT_EQ(r.status, expect);
  return v;
}

}  // namespace

TEST(ParameterBuffer, LengthAndIndicatorRules) {
  const char text[] = "abcdef";
  // SQL_NULL_DATA is NULL for every type, with or without a buffer.
  Read(WithIndicator(Buffer(SQL_C_CHAR, text, 7), SQL_NULL_DATA), BufferValue::kNull);
  int32_t n = 5;
  Read(WithIndicator(Buffer(SQL_C_SLONG, &n), SQL_NULL_DATA), BufferValue::kNull);
  Read(WithIndicator(Buffer(SQL_C_SLONG, nullptr), SQL_NULL_DATA), BufferValue::kNull);
  // An empty text is an empty value, not NULL.
  VValue v = Read(WithIndicator(Buffer(SQL_C_CHAR, text, 7), 0));
  EXPECT_EQ(v.kind(), VKind::Text);
  EXPECT_FALSE(v.is_null());
  EXPECT_TRUE(v.text().empty());
  // An exact length is read as given, never past it.
  EXPECT_EQ(Read(WithIndicator(Buffer(SQL_C_CHAR, text, 7), 3)).text(), u"abc");
  // SQL_NTS: up to the terminator, within a buffer length when there is one.
  EXPECT_EQ(Read(WithIndicator(Buffer(SQL_C_CHAR, text, 0), SQL_NTS)).text(), u"abcdef");
  EXPECT_EQ(Read(WithIndicator(Buffer(SQL_C_CHAR, text, 4), SQL_NTS)).text(), u"abcd");
  // No indicator: up to the terminator within the buffer length.
  EXPECT_EQ(Read(Buffer(SQL_C_CHAR, text, 2)).text(), u"ab");
  EXPECT_EQ(Read(Buffer(SQL_C_CHAR, text, 100)).text(), u"abcdef");
  // A length that counts the terminator still ends the text there.
  EXPECT_EQ(Read(WithIndicator(Buffer(SQL_C_CHAR, text, 7), 7)).text(), u"abcdef");
  // Binary: the exact length, or the buffer length without an indicator.
  const uint8_t bytes[] = {0, 1, 2, 3};
  EXPECT_EQ(Read(WithIndicator(Buffer(SQL_C_BINARY, bytes, 4), 2)).bytes(), (corvane::VBytes{0, 1}));
  EXPECT_EQ(Read(Buffer(SQL_C_BINARY, bytes, 4)).bytes(), (corvane::VBytes{0, 1, 2, 3}));
  EXPECT_TRUE(Read(WithIndicator(Buffer(SQL_C_BINARY, bytes, 4), 0)).bytes().empty());
  // Data at execution still pending.
  Read(WithIndicator(Buffer(SQL_C_CHAR, text, 7), SQL_DATA_AT_EXEC), BufferValue::kPending);
  Read(WithIndicator(Buffer(SQL_C_BINARY, bytes, 4), SQL_LEN_DATA_AT_EXEC(10)), BufferValue::kPending);
  // Lengths that mean nothing, and types the driver does not know.
  Read(WithIndicator(Buffer(SQL_C_CHAR, text, 7), -7), BufferValue::kNoValue);
  Read(Buffer(SQL_C_DEFAULT, text, 7), BufferValue::kNoValue);
  // A fixed-size value ignores a length.
  EXPECT_EQ(Read(WithIndicator(Buffer(SQL_C_SLONG, &n), SQL_NTS)).integer(), 5);
  Read(Buffer(SQL_C_SLONG, nullptr), BufferValue::kNull);
}

TEST(ParameterBuffer, TextEncodingsAndWindevTrimming) {
  const char16_t wide[] = u"x\U0001F600yz";
  EXPECT_EQ(Read(WithIndicator(Buffer(SQL_C_WCHAR, wide, 0), 8)).text(), u"x\U0001F600y");
  EXPECT_EQ(Read(WithIndicator(Buffer(SQL_C_WCHAR, wide, 0), SQL_NTS)).text(), u"x\U0001F600yz");
  EXPECT_EQ(Read(Buffer(SQL_C_WCHAR, wide, 4)).text(), u"x\xD83D");
  const char utf8[] = "caf\xC3\xA9";
  EXPECT_EQ(Read(WithIndicator(Buffer(SQL_C_CHAR, utf8, 0), SQL_NTS)).text(), u"caf\u00e9");
  ParameterBuffer local = WithIndicator(Buffer(SQL_C_CHAR, "plain", 0), SQL_NTS);
  local.charset = Charset::Local;
  EXPECT_EQ(Read(local).text(), u"plain");
  // Windev binds text with length 0 and means the terminated buffer, less
  // its trailing spaces; other lengths are taken as they are.
  ParameterBuffer windev = WithIndicator(Buffer(SQL_C_CHAR, "ab  ", 0), 0);
  windev.windev = true;
  EXPECT_EQ(Read(windev).text(), u"ab");
  windev.data = "   ";
  VValue empty = Read(windev);
  EXPECT_FALSE(empty.is_null());
  EXPECT_TRUE(empty.text().empty());
  ParameterBuffer wide_windev = WithIndicator(Buffer(SQL_C_WCHAR, u"x ", 0), 0);
  wide_windev.windev = true;
  EXPECT_EQ(Read(wide_windev).text(), u"x");
  windev = WithIndicator(Buffer(SQL_C_CHAR, "ab  ", 0), SQL_NTS);
  windev.windev = true;
  EXPECT_EQ(Read(windev).text(), u"ab  ");
}

TEST(ParameterBuffer, FixedTypesByCClass) {
  uint8_t bit = 2;
  EXPECT_EQ(Read(Buffer(SQL_C_BIT, &bit)), corvane::VBoolean(true));
  int8_t tiny = -2;
  EXPECT_EQ(Read(Buffer(SQL_C_STINYINT, &tiny)), corvane::VByte(-2));
  uint8_t utiny = 200;
  EXPECT_EQ(Read(Buffer(SQL_C_UTINYINT, &utiny)), corvane::VWord(200));
  int16_t s = -300;
  EXPECT_EQ(Read(Buffer(SQL_C_SSHORT, &s)), corvane::VWord(-300));
  uint16_t us = 65535;
  EXPECT_EQ(Read(Buffer(SQL_C_USHORT, &us)), corvane::VLong(65535));
  uint32_t ul = 4000000000u;
  EXPECT_EQ(Read(Buffer(SQL_C_ULONG, &ul)), corvane::VLong8(4000000000));
  int64_t big = INT64_MIN;
  EXPECT_EQ(Read(Buffer(SQL_C_SBIGINT, &big)), corvane::VLong8(INT64_MIN));
  uint64_t ubig = UINT64_MAX;
  EXPECT_EQ(Read(Buffer(SQL_C_UBIGINT, &ubig)).decimal().ToText(), "18446744073709551615");
  float f = 0.25f;
  EXPECT_EQ(Read(Buffer(SQL_C_FLOAT, &f)), corvane::VReal(0.25));
  double d = 1.5;
  EXPECT_EQ(Read(Buffer(SQL_C_DOUBLE, &d)), VValue(*corvane::VFloat::FromText("1.5")));

  SQL_NUMERIC_STRUCT num{};
  num.scale = 3;
  num.sign = 0;
  num.val[0] = 12345 & 0xFF;
  num.val[1] = 12345 >> 8;
  EXPECT_EQ(Read(Buffer(SQL_C_NUMERIC, &num)).decimal().ToText(), "-12.345");
  num.scale = -2;
  num.sign = 1;
  EXPECT_EQ(Read(Buffer(SQL_C_NUMERIC, &num)).decimal().ToText(), "1234500");

  SQL_DATE_STRUCT date{2024, 2, 29};
  VValue v = Read(Buffer(SQL_C_TYPE_DATE, &date));
  EXPECT_EQ(v.time().year, 2024);
  EXPECT_EQ(v.time().ms, 0u);
  date.year = 2023;
  EXPECT_TRUE(Read(Buffer(SQL_C_TYPE_DATE, &date)).is_null());  // no 29 February in 2023
  SQL_TIME_STRUCT time{1, 2, 3};
  EXPECT_EQ(Read(Buffer(SQL_C_TYPE_TIME, &time)), corvane::VDuration(3723000));
  SQL_TIMESTAMP_STRUCT ts{2024, 3, 1, 10, 20, 30, 123456789};
  v = Read(Buffer(SQL_C_TYPE_TIMESTAMP, &ts));
  EXPECT_EQ(v.time().ms, 37230123u);
  SQL_INTERVAL_STRUCT iv{};
  iv.interval_type = SQL_IS_DAY_TO_SECOND;
  iv.interval_sign = SQL_TRUE;
  iv.intval.day_second.day = 1;
  iv.intval.day_second.second = 1;
  iv.intval.day_second.fraction = 5000000;
  EXPECT_EQ(Read(Buffer(SQL_C_INTERVAL_DAY_TO_SECOND, &iv)), corvane::VDuration(-86401005));
  iv.interval_type = SQL_IS_YEAR_TO_MONTH;
  Read(Buffer(SQL_C_INTERVAL_YEAR_TO_MONTH, &iv), BufferValue::kNoValue);
  SQLGUID g{};
  g.Data4[7] = 9;
  EXPECT_EQ(Read(Buffer(SQL_C_GUID, &g)).uuid().bytes[15], 9);
}

TEST(ParameterValue, ConvertedToTheKindOfTheDescribedClass) {
  int64_t big = 5;
  EXPECT_EQ(Make(Buffer(SQL_C_SBIGINT, &big), kClassInteger), corvane::VLong(5));
  big = int64_t{1} << 40;
  Make(Buffer(SQL_C_SBIGINT, &big), kClassInteger, Conversion::kOutOfRange);
  int32_t n = 70000;
  Make(Buffer(SQL_C_SLONG, &n), kClassSmallInt, Conversion::kOutOfRange);
  n = -128;
  EXPECT_EQ(Make(Buffer(SQL_C_SLONG, &n), kClassTinyInt), corvane::VByte(-128));
  n = 2;
  Make(Buffer(SQL_C_SLONG, &n), kClassBit, Conversion::kOutOfRange);
  // An undescribed parameter keeps the kind of its C type.
  big = int64_t{1} << 40;
  EXPECT_EQ(Make(Buffer(SQL_C_SBIGINT, &big), kClassDefault).kind(), VKind::Long8);

  // Numbers to and from decimals, reals and text.
  double d = 2.75;
  EXPECT_EQ(Make(Buffer(SQL_C_DOUBLE, &d), kClassInteger), corvane::VLong(2));
  EXPECT_EQ(Make(Buffer(SQL_C_DOUBLE, &d), kClassReal), corvane::VReal(2.75));
  EXPECT_EQ(Make(Buffer(SQL_C_DOUBLE, &d), kClassChar).text(), u"2.75");
  float f = 0.1f;
  EXPECT_EQ(Make(Buffer(SQL_C_FLOAT, &f), kClassNumeric).decimal(),
            *corvane::VFloat::FromDouble(static_cast<double>(0.1f)));
  n = 42;
  EXPECT_EQ(Make(Buffer(SQL_C_SLONG, &n), kClassDouble).decimal().ToText(), "42");
  EXPECT_EQ(Make(Buffer(SQL_C_SLONG, &n), kClassWChar).text(), u"42");
  uint8_t bit = 1;
  EXPECT_EQ(Make(Buffer(SQL_C_BIT, &bit), kClassChar).text(), u"1");

  // Date and time structures keep what the kind can hold.
  SQL_TIMESTAMP_STRUCT ts{2024, 3, 1, 10, 20, 30, 0};
  VValue v = Make(Buffer(SQL_C_TYPE_TIMESTAMP, &ts), kClassDate);
  EXPECT_EQ(v.kind(), VKind::Time);
  EXPECT_EQ(v.time().ms, 37230000u);  // the time of day travels too
  EXPECT_EQ(Make(Buffer(SQL_C_TYPE_TIMESTAMP, &ts), kClassTime), corvane::VDuration(37230000));
  EXPECT_EQ(Make(Buffer(SQL_C_TYPE_TIMESTAMP, &ts), kClassChar).text(), u"2024-03-01 10:20:30");
  SQL_TIME_STRUCT t{23, 59, 59};
  v = Make(Buffer(SQL_C_TYPE_TIME, &t), kClassTimestamp);
  EXPECT_EQ(v.kind(), VKind::Time);
  EXPECT_EQ(v.time().ms, 86399000u);
  EXPECT_EQ(v.time().year, 0);
  Make(Buffer(SQL_C_TYPE_TIME, &t), kClassInteger, Conversion::kNotPossible);
  const uint8_t bytes[] = {0xDE, 0xAD};
  Make(WithIndicator(Buffer(SQL_C_BINARY, bytes, 2), 2), kClassInteger, Conversion::kNotPossible);
  EXPECT_EQ(Make(WithIndicator(Buffer(SQL_C_BINARY, bytes, 2), 2), kClassChar).text(), u"DEAD");
}

TEST(ParameterValue, TextReadByTheDescribedClass) {
  auto text = [](const char* s) { return WithIndicator(Buffer(SQL_C_CHAR, s, 0), SQL_NTS); };
  EXPECT_EQ(Make(text("{ts '2024-03-01 10:20:30.1234'}"), kClassTimestamp).time().ms, 37230123u);
  EXPECT_EQ(Make(text("{ts '2024-03-01 10:20:30.1'}"), kClassTimestamp).time().ms, 37230100u);
  EXPECT_EQ(Make(text("{ts '2024-03-01 10:20:30.12'}"), kClassTimestamp).time().ms, 37230120u);
  EXPECT_EQ(Make(text("2024-03-01 10:20:30"), kClassTimestamp).time().day, 1);
  // An escape that is no real date still travels, as a null time.
  VValue v = Make(text("{d '2023-02-29'}"), kClassDate);
  EXPECT_EQ(v.kind(), VKind::Time);
  EXPECT_TRUE(v.is_null());
  EXPECT_EQ(Make(text("{t '10:20:30'}"), kClassTime), corvane::VDuration(37230000));
  EXPECT_EQ(Make(text("{t '10:20:30'}"), kClassInterval), corvane::VDuration(37230000));
  v = Make(text("{t '10:20:30'}"), kClassTimestamp);
  EXPECT_EQ(v.time().ms, 37230000u);
  EXPECT_EQ(v.time().year, 0);
  Make(text("soon"), kClassDate, Conversion::kInvalidText);

  EXPECT_EQ(Make(text(" 12.7 "), kClassInteger), corvane::VLong(12));
  EXPECT_EQ(Make(text("-5"), kClassSmallInt), corvane::VWord(-5));
  Make(text("abc"), kClassInteger, Conversion::kInvalidText);
  Make(text("99999999999"), kClassInteger, Conversion::kOutOfRange);
  EXPECT_EQ(Make(text("1e3"), kClassBigInt), corvane::VLong8(1000));
  EXPECT_EQ(Make(text("0.1"), kClassReal), corvane::VReal(0.1));
  EXPECT_EQ(Make(text("123.4500"), kClassNumeric).decimal().ToText(), "123.45");
  EXPECT_EQ(Make(text("TRUE"), kClassBit), corvane::VBoolean(true));
  EXPECT_EQ(Make(text("0"), kClassBit), corvane::VBoolean(false));
  Make(text("2"), kClassBit, Conversion::kOutOfRange);
  EXPECT_EQ(Make(text("0aFF"), kClassBinary).bytes(), (corvane::VBytes{0x0A, 0xFF}));
  EXPECT_EQ(Make(text("00010203-0405-0607-0809-0a0b0c0d0e0f"), kClassGuid).uuid().bytes[15], 15);
  Make(text("xyz"), kClassGuid, Conversion::kInvalidText);
  EXPECT_EQ(Make(text("anything"), kClassDefault).text(), u"anything");
}
