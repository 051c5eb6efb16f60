#include "statement/value_reading.h"

#include <locale.h>
#include <stdlib.h>

#include <cmath>
#include <string>

#include "statement/locale_formats.h"

namespace kestrion {

using corvane::VFloat;
using corvane::VKind;
using corvane::VValue;

namespace {

int64_t TruncateDouble(double d) {
  if (std::isnan(d)) return 0;
  if (d >= 9223372036854775807.0) return INT64_MAX;
  if (d <= -9223372036854775808.0) return INT64_MIN;
  return static_cast<int64_t>(d);
}

// The integer part of a decimal, modulo 2^64.
int64_t DecimalIntegerPart(const VFloat& f) {
  if (f.is_zero() || f.exponent() <= 0) return 0;
  const std::string& d = f.digits();
  // Past 64 further factors of ten the low 64 bits are all zero.
  const int64_t last = std::min<int64_t>(f.exponent(), static_cast<int64_t>(d.size()) + 64);
  uint64_t mag = 0;
  for (int64_t i = 0; i < last; ++i) {
    unsigned digit = i < static_cast<int64_t>(d.size()) ? static_cast<unsigned>(d[i] - '0') : 0;
    mag = mag * 10 + digit;
  }
  if (f.exponent() > last) mag = 0;
  return static_cast<int64_t>(f.sign() < 0 ? 0 - mag : mag);
}

locale_t CLocale() {
  static locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return c;
}

}  // namespace

int64_t ReadTextAsInt64(std::u16string_view text, char16_t decimal_separator) {
  uint64_t mag = 0;
  bool negative = false;
  bool nonzero_seen = false;
  for (char16_t c : text) {
    if (c == decimal_separator) break;
    if (c >= u'0' && c <= u'9') {
      if (c != u'0') nonzero_seen = true;
      mag = mag * 10 + static_cast<unsigned>(c - u'0');
    } else if (c == u'-' && !nonzero_seen) {
      negative = true;
    }
  }
  return static_cast<int64_t>(negative ? 0 - mag : mag);
}

double ReadTextAsDouble(std::u16string_view text) {
  // Only ASCII can belong to a number; copy that prefix to narrow characters.
  char small[128];
  std::string big;
  std::size_t n = 0;
  while (n < text.size() && text[n] != 0 && text[n] < 0x80) ++n;
  char* buf = small;
  if (n >= sizeof small) {
    big.resize(n + 1);
    buf = big.data();
  }
  for (std::size_t i = 0; i < n; ++i) buf[i] = static_cast<char>(text[i]);
  buf[n] = 0;
  locale_t c = CLocale();
  if (c == static_cast<locale_t>(0)) return 0.0;
  return strtod_l(buf, nullptr, c);
}

Conversion ReadAsInt64(const VValue& v, int64_t& out) {
  out = 0;
  if (v.is_null()) return Conversion::kOk;
  switch (v.kind()) {
    case VKind::Boolean:
    case VKind::Byte:
    case VKind::Word:
    case VKind::Long:
    case VKind::Long8:
      out = v.integer();
      return Conversion::kOk;
    case VKind::Duration:
      out = v.integer() / 1000;
      return Conversion::kOk;
    case VKind::Real:
      out = TruncateDouble(v.real());
      return Conversion::kOk;
    case VKind::Float:
      out = DecimalIntegerPart(v.decimal());
      return Conversion::kOk;
    case VKind::Text:
      out = ReadTextAsInt64(v.text(), UserLocaleFormats().decimal_separator);
      return Conversion::kOk;
    case VKind::Time:
      return Conversion::kNotPossible;
    default:
      return Conversion::kOk;
  }
}

Conversion ReadAsDouble(const VValue& v, double& out) {
  out = 0.0;
  if (v.is_null()) return Conversion::kOk;
  switch (v.kind()) {
    case VKind::Boolean:
    case VKind::Byte:
    case VKind::Word:
    case VKind::Long:
    case VKind::Long8:
      out = static_cast<double>(v.integer());
      return Conversion::kOk;
    case VKind::Duration:
      out = static_cast<double>(v.integer()) / 1000.0;
      return Conversion::kOk;
    case VKind::Real:
      out = v.real();
      return Conversion::kOk;
    case VKind::Float:
      out = v.decimal().ToDouble();
      return Conversion::kOk;
    case VKind::Text:
      out = ReadTextAsDouble(v.text());
      return Conversion::kOk;
    case VKind::Time:
      return Conversion::kNotPossible;
    default:
      return Conversion::kOk;
  }
}

Conversion ReadAsDecimal(const VValue& v, VFloat& out) {
  out = VFloat();
  if (v.is_null()) return Conversion::kOk;
  switch (v.kind()) {
    case VKind::Boolean:
    case VKind::Byte:
    case VKind::Word:
    case VKind::Long:
    case VKind::Long8:
      out = VFloat::FromInt64(v.integer());
      return Conversion::kOk;
    case VKind::Duration: {
      VFloat ms = VFloat::FromInt64(v.integer());
      if (!ms.is_zero()) {
        auto f = VFloat::FromParts(ms.sign(), ms.exponent() - 3, ms.digits());
        if (f) out = *f;
      }
      return Conversion::kOk;
    }
    case VKind::Real: {
      auto f = VFloat::FromDouble(v.real());
      if (!f) return Conversion::kOutOfRange;
      out = *f;
      return Conversion::kOk;
    }
    case VKind::Float:
      out = v.decimal();
      return Conversion::kOk;
    case VKind::Text: {
      const corvane::VString& t = v.text();
      std::string ascii;
      ascii.reserve(t.size());
      for (char16_t c : t) ascii.push_back(c < 0x80 ? static_cast<char>(c) : '?');
      if (auto f = VFloat::FromText(ascii)) {
        out = *f;
        return Conversion::kOk;
      }
      auto f = VFloat::FromDouble(ReadTextAsDouble(t));
      if (!f) return Conversion::kOutOfRange;
      out = *f;
      return Conversion::kOk;
    }
    case VKind::Time:
      return Conversion::kNotPossible;
    default:
      return Conversion::kOk;
  }
}

}  // namespace kestrion
