#include "statement/parameter_buffer.h"

#include <sql.h>
#include <sqlext.h>

#include <cstring>
#include <string>

#include "statement/datetime_text.h"
#include "statement/guid_bytes.h"

namespace kestrion {

using corvane::VFloat;
using corvane::VKind;
using corvane::VString;
using corvane::VValue;

namespace {

template <typename T>
T Load(const void* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// Windev programs bind text with a length of 0 and mean the whole
// NUL-terminated buffer, less its trailing spaces.
bool WindevText(const ParameterBuffer& p, int unit) { return p.windev && unit != 0; }

// Byte length of a text or binary parameter, or nothing when its length
// cannot be known. `unit` is the size of a terminator (0 for binary).
std::optional<int64_t> ByteLength(const ParameterBuffer& p, int unit) {
  if (p.length && *p.length == 0 && WindevText(p, unit)) {
    // Falls through to the terminator.
  } else if (p.length) {
    if (*p.length >= 0) return *p.length;
    if (*p.length != SQL_NTS) return std::nullopt;
    if (unit == 0) return p.buffer_length > 0 ? p.buffer_length : 0;
  } else if (unit == 0) {
    return p.buffer_length > 0 ? p.buffer_length : 0;
  }
  // Up to the terminator, within the buffer when its length is known.
  const int64_t limit = p.buffer_length > 0 ? p.buffer_length / unit : INT64_MAX;
  int64_t n = 0;
  if (unit == 1) {
    const auto* s = static_cast<const char*>(p.data);
    while (n < limit && s[n] != 0) ++n;
  } else {
    const auto* s = static_cast<const char16_t*>(p.data);
    while (n < limit && s[n] != 0) ++n;
  }
  return n * unit;
}

void TrimTrailingSpaces(VString& s) {
  std::size_t n = s.size();
  while (n > 0 && s[n - 1] == u' ') --n;
  s.resize(n);
}

// A time value of a date and a time of day, or a null one when they are no
// real date and time.
VValue TimeValue(const DateTimeFields& f) {
  if (!IsValidTimestamp(f)) return VValue::Null(VKind::Time);
  corvane::VTime t;
  t.year = static_cast<uint16_t>(f.year);
  t.month = static_cast<uint8_t>(f.month);
  t.day = static_cast<uint8_t>(f.day);
  t.ms = static_cast<uint32_t>(MsOfDay(f));
  return VValue(t);
}

VValue NumericValue(const SQL_NUMERIC_STRUCT& n) {
  __extension__ typedef unsigned __int128 U128;
  U128 mag = 0;
  for (int i = SQL_MAX_NUMERIC_LEN - 1; i >= 0; --i) mag = mag << 8 | n.val[i];
  if (mag == 0) return VValue(VFloat());
  char digits[48];
  int len = 0;
  while (mag > 0) {
    digits[len++] = static_cast<char>('0' + static_cast<int>(mag % 10));
    mag /= 10;
  }
  for (int i = 0; i < len / 2; ++i) std::swap(digits[i], digits[len - 1 - i]);
  auto f = VFloat::FromParts(n.sign == 0 ? -1 : 1, len - n.scale, std::string_view(digits, len));
  return f ? VValue(*f) : VValue(VFloat());
}

}  // namespace

BufferValue ReadParameterBuffer(const ParameterBuffer& p, VValue& out) {
  out = VValue();
  if (p.indicator) {
    if (*p.indicator == SQL_NULL_DATA) return BufferValue::kNull;
    if (*p.indicator == SQL_DATA_AT_EXEC || *p.indicator <= SQL_LEN_DATA_AT_EXEC_OFFSET)
      return BufferValue::kPending;
  }
  if (p.c_class == kClassNone || p.c_class == kClassDefault) return BufferValue::kNoValue;
  if (p.data == nullptr) return BufferValue::kNull;

  switch (p.c_class) {
    case kClassChar: {
      std::optional<int64_t> n = ByteLength(p, 1);
      if (!n) return BufferValue::kNoValue;
      const auto* s = static_cast<const char*>(p.data);
      std::size_t len = static_cast<std::size_t>(*n);
      if (const void* z = std::memchr(s, 0, len)) len = static_cast<std::size_t>(static_cast<const char*>(z) - s);
      VString text = p.charset == Charset::Utf8 ? VString::FromUtf8(std::string_view(s, len))
                                                 : VString::FromLocal(std::string_view(s, len));
      if (p.windev && p.length == 0) TrimTrailingSpaces(text);
      out = VValue(std::move(text));
      return BufferValue::kValue;
    }
    case kClassWChar: {
      std::optional<int64_t> n = ByteLength(p, 2);
      if (!n) return BufferValue::kNoValue;
      const auto* s = static_cast<const char16_t*>(p.data);
      std::size_t units = static_cast<std::size_t>(*n / 2);
      std::size_t len = 0;
      while (len < units && s[len] != 0) ++len;
      VString text(s, len);
      if (p.windev && p.length == 0) TrimTrailingSpaces(text);
      out = VValue(std::move(text));
      return BufferValue::kValue;
    }
    case kClassBinary: {
      std::optional<int64_t> n = ByteLength(p, 0);
      if (!n) return BufferValue::kNoValue;
      const auto* b = static_cast<const uint8_t*>(p.data);
      out = corvane::VBlob(corvane::VBytes(b, b + *n));
      return BufferValue::kValue;
    }
    case kClassBit:
      out = corvane::VBoolean(Load<uint8_t>(p.data) != 0);
      return BufferValue::kValue;
    case kClassTinyInt:
      if (p.c_type == SQL_C_UTINYINT)
        out = corvane::VWord(Load<uint8_t>(p.data));
      else
        out = corvane::VByte(Load<int8_t>(p.data));
      return BufferValue::kValue;
    case kClassSmallInt:
      if (p.c_type == SQL_C_USHORT)
        out = corvane::VLong(Load<uint16_t>(p.data));
      else
        out = corvane::VWord(Load<int16_t>(p.data));
      return BufferValue::kValue;
    case kClassInteger:
      if (p.c_type == SQL_C_ULONG)
        out = corvane::VLong8(Load<uint32_t>(p.data));
      else
        out = corvane::VLong(Load<int32_t>(p.data));
      return BufferValue::kValue;
    case kClassBigInt:
      if (p.c_type == SQL_C_UBIGINT) {
        uint64_t u = Load<uint64_t>(p.data);
        if (u > static_cast<uint64_t>(INT64_MAX)) {
          std::string digits = std::to_string(u);
          out = VValue(*VFloat::FromParts(1, static_cast<int32_t>(digits.size()), digits));
        } else {
          out = corvane::VLong8(static_cast<int64_t>(u));
        }
      } else {
        out = corvane::VLong8(Load<int64_t>(p.data));
      }
      return BufferValue::kValue;
    case kClassReal:
      out = corvane::VReal(static_cast<double>(Load<float>(p.data)));
      return BufferValue::kValue;
    case kClassDouble: {
      double d = Load<double>(p.data);
      auto f = VFloat::FromDouble(d);
      // NaN and infinities have no decimal; they stay reals.
      out = f ? VValue(*f) : corvane::VReal(d);
      return BufferValue::kValue;
    }
    case kClassNumeric:
      out = NumericValue(Load<SQL_NUMERIC_STRUCT>(p.data));
      return BufferValue::kValue;
    case kClassGuid: {
      corvane::VUUID u;
      u.bytes = CanonicalGuidBytes(Load<SQLGUID>(p.data));
      out = VValue(u);
      return BufferValue::kValue;
    }
    case kClassDate: {
      auto d = Load<SQL_DATE_STRUCT>(p.data);
      out = TimeValue(DateTimeFields{d.year, d.month, d.day, 0, 0, 0, 0});
      return BufferValue::kValue;
    }
    case kClassTimestamp: {
      auto d = Load<SQL_TIMESTAMP_STRUCT>(p.data);
      out = TimeValue(DateTimeFields{d.year, d.month, d.day, d.hour, d.minute, d.second,
                                     static_cast<int64_t>(d.fraction / 1000000)});
      return BufferValue::kValue;
    }
    case kClassTime: {
      auto d = Load<SQL_TIME_STRUCT>(p.data);
      if (d.hour > 23 || d.minute > 59 || d.second > 59) {
        out = VValue::Null(VKind::Duration);
      } else {
        out = corvane::VDuration(int64_t{d.hour} * 3600000 + int64_t{d.minute} * 60000 +
                                 int64_t{d.second} * 1000);
      }
      return BufferValue::kValue;
    }
    case kClassInterval: {
      auto s = Load<SQL_INTERVAL_STRUCT>(p.data);
      if (s.interval_type == SQL_IS_YEAR || s.interval_type == SQL_IS_MONTH ||
          s.interval_type == SQL_IS_YEAR_TO_MONTH)
        return BufferValue::kNoValue;  // months are no fixed span of time
      const auto& ds = s.intval.day_second;
      int64_t ms = int64_t{ds.day} * 86400000 + int64_t{ds.hour} * 3600000 +
                   int64_t{ds.minute} * 60000 + int64_t{ds.second} * 1000 + ds.fraction / 1000000;
      out = corvane::VDuration(s.interval_sign == SQL_TRUE ? -ms : ms);
      return BufferValue::kValue;
    }
    default:
      return BufferValue::kNoValue;
  }
}

}  // namespace kestrion
