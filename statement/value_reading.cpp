#include "statement/value_reading.h"

#include <cmath>
#include <string>

#include "statement/locale_formats.h"

namespace kestrion {

using corvane::VFloat;
using corvane::VKind;
using corvane::VValue;

namespace {

__extension__ typedef __int128 I128;

// The integer part of a decimal and whether a non-zero fraction follows it;
// false when the integer part has 39 digits or more.
bool DecimalToInteger(const VFloat& f, IntegerReading& out) {
  out = IntegerReading{};
  if (f.is_zero()) return true;
  out.negative = f.sign() < 0;
  const std::string& d = f.digits();
  const std::int64_t n = static_cast<std::int64_t>(d.size());
  const std::int64_t whole = f.exponent();  // digits before the point
  if (whole > 38) return false;
  I128 mag = 0;
  for (std::int64_t i = 0; i < whole; ++i) {
    mag = mag * 10 + (i < n ? d[static_cast<std::size_t>(i)] - '0' : 0);
  }
  for (std::int64_t i = whole < 0 ? 0 : whole; i < n && !out.fraction_lost; ++i) {
    out.fraction_lost = d[static_cast<std::size_t>(i)] != '0';
  }
  out.value = out.negative ? -mag : mag;
  return true;
}

}  // namespace

std::optional<VFloat> ReadNumberText(std::u16string_view text) {
  const char16_t separator = UserLocaleFormats().decimal_separator;
  std::string ascii;
  ascii.reserve(text.size());
  for (char16_t c : text) {
    if (c == 0) break;
    if (c >= 0x80) return std::nullopt;
    ascii.push_back(c == separator && separator != u'.' ? '.' : static_cast<char>(c));
  }
  return VFloat::FromText(ascii);
}

Conversion ReadAsInteger(const VValue& v, IntegerReading& out) {
  out = IntegerReading{};
  if (v.is_null()) return Conversion::kOk;
  switch (v.kind()) {
    case VKind::Boolean:
    case VKind::Byte:
    case VKind::Word:
    case VKind::Long:
    case VKind::Long8:
      out.value = v.integer();
      out.negative = v.integer() < 0;
      return Conversion::kOk;
    case VKind::Duration:
      out.value = v.integer() / 1000;
      out.fraction_lost = v.integer() % 1000 != 0;
      out.negative = v.integer() < 0;
      return Conversion::kOk;
    case VKind::Real: {
      const double d = v.real();
      if (!std::isfinite(d) || std::fabs(d) >= 1e38) return Conversion::kOutOfRange;
      const double whole = std::trunc(d);
      out.value = static_cast<I128>(whole);
      out.fraction_lost = whole != d;
      out.negative = d < 0;
      return Conversion::kOk;
    }
    case VKind::Float:
      return DecimalToInteger(v.decimal(), out) ? Conversion::kOk : Conversion::kOutOfRange;
    case VKind::Text: {
      const std::optional<VFloat> f = ReadNumberText(v.text());
      if (!f) return Conversion::kInvalidText;
      return DecimalToInteger(*f, out) ? Conversion::kOk : Conversion::kOutOfRange;
    }
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
    case VKind::Text: {
      const std::optional<VFloat> f = ReadNumberText(v.text());
      if (!f) return Conversion::kInvalidText;
      out = f->ToDouble();
      return std::isfinite(out) ? Conversion::kOk : Conversion::kOutOfRange;
    }
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
      const std::optional<VFloat> f = ReadNumberText(v.text());
      if (!f) return Conversion::kInvalidText;
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
