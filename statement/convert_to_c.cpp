#include "statement/convert_to_c.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <new>

#include "statement/guid_bytes.h"
#include "statement/hex_text.h"
#include "statement/to_c_targets.h"
#include "statement/value_reading.h"

namespace kestrion {

using corvane::VKind;
using corvane::VValue;

namespace to_c {

CResult Fixed(const CTarget& t, const void* bytes, int64_t size) {
  if (t.buffer != nullptr && t.capacity > 0)
    std::memcpy(t.buffer, bytes, static_cast<std::size_t>(t.capacity < size ? t.capacity : size));
  CResult r;
  r.full_length = size;
  r.delivered = t.capacity < size ? (t.capacity > 0 ? t.capacity : 0) : size;
  return r;
}

CResult Guid(const CTarget& t, const VValue& v) {
  corvane::VUUID u;
  if (v.kind() == VKind::Uuid) {
    u = v.uuid();
  } else if (v.kind() == VKind::Text) {
    // 32 hexadecimal digits, with or without the usual dashes and braces.
    std::u16string_view text = v.text();
    char16_t digits[32];
    std::size_t n = 0;
    for (char16_t c : text) {
      if (c == u'-' || c == u'{' || c == u'}' || c == u' ') continue;
      bool hex = (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
      if (!hex || n == 32) return {Conversion::kInvalidText, 0, 0};
      digits[n++] = c;
    }
    if (n != 32) return {Conversion::kInvalidText, 0, 0};
    for (std::size_t i = 0; i < 16; ++i) u.bytes[i] = HexByteAt(std::u16string_view(digits, 32), i);
  } else if ((v.kind() == VKind::Blob || v.kind() == VKind::Image) && v.bytes().size() == 16) {
    std::memcpy(u.bytes.data(), v.bytes().data(), 16);
  } else {
    return {Conversion::kNotPossible, 0, 0};
  }
  const SQLGUID g = GuidOfCanonicalBytes(u.bytes);
  return Fixed(t, &g, sizeof g);
}

}  // namespace to_c

namespace {

__extension__ typedef __int128 I128;

template <class T>
CResult Integer(const CTarget& t, I128 value, bool fraction_lost) {
  if (value < static_cast<I128>(std::numeric_limits<T>::min()) ||
      value > static_cast<I128>(std::numeric_limits<T>::max())) {
    return {Conversion::kOutOfRange, 0, 0};
  }
  const T scalar = static_cast<T>(value);
  CResult r = to_c::Fixed(t, &scalar, sizeof scalar);
  r.fraction_lost = fraction_lost;
  return r;
}

CResult IntegerTarget(const CTarget& t, const VValue& v) {
  IntegerReading n;
  const Conversion c = ReadAsInteger(v, n);
  if (c != Conversion::kOk) return {c, 0, 0};
  const bool u = t.unsigned_integer;
  switch (t.c_class) {
    case kClassBit:
      // 0 and 1, and what lies between 0 and 2 cut to its integer part.
      if (n.negative || n.value > 1) return {Conversion::kOutOfRange, 0, 0};
      return Integer<std::uint8_t>(t, n.value, n.fraction_lost);
    case kClassTinyInt:
      return u ? Integer<std::uint8_t>(t, n.value, n.fraction_lost)
               : Integer<std::int8_t>(t, n.value, n.fraction_lost);
    case kClassSmallInt:
      return u ? Integer<std::uint16_t>(t, n.value, n.fraction_lost)
               : Integer<std::int16_t>(t, n.value, n.fraction_lost);
    case kClassInteger:
      return u ? Integer<std::uint32_t>(t, n.value, n.fraction_lost)
               : Integer<std::int32_t>(t, n.value, n.fraction_lost);
    default:
      return u ? Integer<std::uint64_t>(t, n.value, n.fraction_lost)
               : Integer<std::int64_t>(t, n.value, n.fraction_lost);
  }
}

CResult Convert(const CTarget& t, const VValue& v) {
  switch (t.c_class) {
    case kClassWChar:
    case kClassChar:
      return to_c::Text(t, v);
    case kClassBinary:
      return to_c::Binary(t, v);
    case kClassNumeric:
      return to_c::Numeric(t, v);
    case kClassDate:
    case kClassTime:
    case kClassTimestamp:
      return to_c::DateTime(t, v);
    case kClassInterval:
      return to_c::Interval(t, v);
    case kClassGuid:
      return to_c::Guid(t, v);
    case kClassBit:
    case kClassTinyInt:
    case kClassSmallInt:
    case kClassInteger:
    case kClassBigInt:
      return IntegerTarget(t, v);
    case kClassReal:
    case kClassDouble: {
      double d = 0;
      Conversion c = ReadAsDouble(v, d);
      if (c != Conversion::kOk) return {c, 0, 0};
      if (t.c_class == kClassDouble) return to_c::Fixed(t, &d, 8);
      if (std::isfinite(d) && std::fabs(d) > std::numeric_limits<float>::max()) {
        return {Conversion::kOutOfRange, 0, 0};
      }
      float f = static_cast<float>(d);
      return to_c::Fixed(t, &f, 4);
    }
    default:
      return {};  // no such target: nothing written, length 0
  }
}

}  // namespace

CResult ConvertToC(const CTarget& t, const VValue& v) {
  try {
    return Convert(t, v);
  } catch (const std::bad_alloc&) {
    return {Conversion::kNoMemory, 0, 0};
  }
}

}  // namespace kestrion
