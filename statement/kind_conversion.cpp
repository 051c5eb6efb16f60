#include "statement/kind_conversion.h"

#include <array>
#include <charconv>
#include <cmath>
#include <string>

#include "statement/datetime_text.h"
#include "statement/hex_text.h"
#include "statement/text_form.h"
#include "statement/type_tables.h"

namespace kestrion {

using corvane::VFloat;
using corvane::VKind;
using corvane::VString;
using corvane::VValue;

namespace {

bool IsIntegerKind(VKind k) {
  return k == VKind::Boolean || k == VKind::Byte || k == VKind::Word || k == VKind::Long ||
         k == VKind::Long8;
}

bool InRange(VKind k, int64_t v) {
  switch (k) {
    case VKind::Boolean:
      return v == 0 || v == 1;
    case VKind::Byte:
      return v >= INT8_MIN && v <= INT8_MAX;
    case VKind::Word:
      return v >= INT16_MIN && v <= INT16_MAX;
    case VKind::Long:
      return v >= INT32_MIN && v <= INT32_MAX;
    default:
      return true;
  }
}

Conversion MakeInteger(VKind k, int64_t v, VValue& out) {
  if (!InRange(k, v)) return Conversion::kOutOfRange;
  out = VValue::Integer(k, v);
  return Conversion::kOk;
}

// The integer part of a decimal; nothing when it exceeds int64.
std::optional<int64_t> IntegerPart(const VFloat& f) {
  if (f.IsInteger()) return f.ToInt64();
  if (f.exponent() <= 0) return 0;
  auto whole = VFloat::FromParts(f.sign(), f.exponent(),
                                 std::string_view(f.digits()).substr(0, static_cast<std::size_t>(f.exponent())));
  return whole ? whole->ToInt64() : std::nullopt;
}

Conversion DecimalToKind(const VFloat& f, VKind k, VValue& out) {
  if (IsIntegerKind(k)) {
    auto i = IntegerPart(f);
    if (!i) return Conversion::kOutOfRange;
    return MakeInteger(k, *i, out);
  }
  if (k == VKind::Real) {
    double d = f.ToDouble();
    if (std::isinf(d)) return Conversion::kOutOfRange;
    out = corvane::VReal(d);
    return Conversion::kOk;
  }
  out = VValue(f);
  return Conversion::kOk;
}

void AppendAscii(std::u16string& out, std::string_view s) {
  for (char c : s) out.push_back(static_cast<unsigned char>(c));
}

void AppendNumber(std::u16string& out, uint64_t v, int width) {
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  for (int i = static_cast<int>(r.ptr - buf); i < width; ++i) out.push_back(u'0');
  AppendAscii(out, std::string_view(buf, static_cast<std::size_t>(r.ptr - buf)));
}

VString ExactText(const VValue& v) {
  std::u16string out;
  switch (v.kind()) {
    case VKind::Boolean:
      out = v.boolean() ? u"1" : u"0";
      break;
    case VKind::Byte:
    case VKind::Word:
    case VKind::Long:
    case VKind::Long8:
      AppendAscii(out, std::to_string(v.integer()));
      break;
    case VKind::Real: {
      auto f = VFloat::FromDouble(v.real());
      if (f) {
        AppendAscii(out, f->ToText());
      } else {
        TextScratch scratch;
        out = RealText(v.real(), scratch);
      }
      break;
    }
    case VKind::Float:
      AppendAscii(out, v.decimal().ToText());
      break;
    case VKind::Time: {
      const corvane::VTime& t = v.time();
      AppendNumber(out, t.year, 4);
      out.push_back(u'-');
      AppendNumber(out, t.month, 2);
      out.push_back(u'-');
      AppendNumber(out, t.day, 2);
      out.push_back(u' ');
      AppendNumber(out, t.ms / 3600000u, 2);
      out.push_back(u':');
      AppendNumber(out, t.ms / 60000u % 60u, 2);
      out.push_back(u':');
      AppendNumber(out, t.ms / 1000u % 60u, 2);
      if (t.ms % 1000u != 0) {
        out.push_back(u'.');
        AppendNumber(out, t.ms % 1000u, 3);
      }
      break;
    }
    case VKind::Duration: {
      int64_t ms = v.integer();
      uint64_t mag = ms < 0 ? 0 - static_cast<uint64_t>(ms) : static_cast<uint64_t>(ms);
      if (ms < 0) out.push_back(u'-');
      AppendNumber(out, mag / 3600000u, 1);
      out.push_back(u':');
      AppendNumber(out, mag / 60000u % 60u, 2);
      out.push_back(u':');
      AppendNumber(out, mag / 1000u % 60u, 2);
      if (mag % 1000u != 0) {
        out.push_back(u'.');
        AppendNumber(out, mag % 1000u, 3);
      }
      break;
    }
    case VKind::Uuid: {
      TextScratch scratch;
      out = GuidText(v.uuid().bytes, scratch);
      break;
    }
    case VKind::Blob:
    case VKind::Image:
      AppendHex(v.bytes().data(), v.bytes().size(), out);
      break;
    case VKind::Text:
      out = v.text();
      break;
    default:
      break;
  }
  return VString(std::move(out));
}

std::u16string_view Trim(std::u16string_view t) {
  while (!t.empty() && (t.front() == u' ' || t.front() == u'\t')) t.remove_prefix(1);
  while (!t.empty() && (t.back() == u' ' || t.back() == u'\t')) t.remove_suffix(1);
  return t;
}

std::optional<VFloat> TextDecimal(std::u16string_view t) {
  std::string ascii;
  ascii.reserve(t.size());
  for (char16_t c : t) {
    if (c >= 0x80) return std::nullopt;
    ascii.push_back(static_cast<char>(c));
  }
  return VFloat::FromText(ascii);
}

}  // namespace

namespace {

VKind KindOfClassByName(int16_t sql_class) {
  std::u16string_view name = KindName(sql_class);
  char ascii[16];
  if (name.empty() || name.size() > sizeof ascii) return VKind::Unknown;
  for (std::size_t i = 0; i < name.size(); ++i) ascii[i] = static_cast<char>(name[i]);
  return corvane::KindFromName(std::string_view(ascii, name.size()));
}

}  // namespace

VKind KindOfClass(int16_t sql_class) {
  // Every page plans its columns with this: the classes of ODBC's types
  // (-128 to 127) are looked up once.
  static const std::array<VKind, 256> kKinds = [] {
    std::array<VKind, 256> kinds{};
    for (int c = -128; c < 128; ++c) {
      kinds[static_cast<std::size_t>(c + 128)] = KindOfClassByName(static_cast<int16_t>(c));
    }
    return kinds;
  }();
  if (sql_class < -128 || sql_class > 127) return KindOfClassByName(sql_class);
  return kKinds[static_cast<std::size_t>(sql_class + 128)];
}

Conversion ReadTextAsKind(std::u16string_view text, VKind kind, VValue& out) {
  switch (kind) {
    case VKind::Text:
    case VKind::Unknown:
      out = VValue(VString(text));
      return Conversion::kOk;
    case VKind::Boolean: {
      std::u16string_view t = Trim(text);
      if (VString::EqualsFolded(t, u"true")) {
        out = corvane::VBoolean(true);
        return Conversion::kOk;
      }
      if (VString::EqualsFolded(t, u"false")) {
        out = corvane::VBoolean(false);
        return Conversion::kOk;
      }
      auto f = TextDecimal(t);
      if (!f) return Conversion::kInvalidText;
      return DecimalToKind(*f, kind, out);
    }
    case VKind::Byte:
    case VKind::Word:
    case VKind::Long:
    case VKind::Long8:
    case VKind::Real:
    case VKind::Float: {
      auto f = TextDecimal(text);
      if (!f) return Conversion::kInvalidText;
      return DecimalToKind(*f, kind, out);
    }
    case VKind::Time:
    case VKind::Duration: {
      DateTimeForm form;
      DateTimeFields f;
      DateTimeParse p = ParseDateTimeText(text, form, f);
      if (p == DateTimeParse::kNoValue) return Conversion::kInvalidText;
      if (p == DateTimeParse::kInvalid) {
        out = VValue::Null(kind);
        return Conversion::kOk;
      }
      if (form == DateTimeForm::kTime) {
        out = corvane::VDuration(MsOfDay(f));
      } else {
        corvane::VTime t;
        t.year = static_cast<uint16_t>(f.year);
        t.month = static_cast<uint8_t>(f.month);
        t.day = static_cast<uint8_t>(f.day);
        t.ms = static_cast<uint32_t>(MsOfDay(f));
        out = VValue(t);
      }
      return ConvertToKind(out, kind);
    }
    case VKind::Blob:
    case VKind::Image:
      out = VValue::Bytes(kind, HexToBytes(text));
      return Conversion::kOk;
    case VKind::Uuid: {
      char16_t digits[32];
      std::size_t n = 0;
      for (char16_t c : text) {
        if (c == u'-' || c == u'{' || c == u'}' || c == u' ') continue;
        bool hex = (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
        if (!hex || n == 32) return Conversion::kInvalidText;
        digits[n++] = c;
      }
      if (n != 32) return Conversion::kInvalidText;
      corvane::VUUID u;
      for (std::size_t i = 0; i < 16; ++i) u.bytes[i] = HexByteAt(std::u16string_view(digits, 32), i);
      out = VValue(u);
      return Conversion::kOk;
    }
  }
  return Conversion::kNotPossible;
}

Conversion ConvertToKind(VValue& v, VKind kind) {
  const VKind from = v.kind();
  if (kind == VKind::Unknown || from == kind) return Conversion::kOk;
  if (v.is_null()) {
    v = VValue::Null(kind);
    return Conversion::kOk;
  }
  VValue out;
  Conversion c = Conversion::kNotPossible;
  if (from == VKind::Text) {
    c = ReadTextAsKind(v.text(), kind, out);
  } else if (kind == VKind::Text) {
    out = VValue(ExactText(v));
    c = Conversion::kOk;
  } else if (IsIntegerKind(kind) || kind == VKind::Real || kind == VKind::Float) {
    if (IsIntegerKind(from)) {
      c = IsIntegerKind(kind) ? MakeInteger(kind, v.integer(), out)
                              : DecimalToKind(VFloat::FromInt64(v.integer()), kind, out);
    } else if (from == VKind::Float) {
      c = DecimalToKind(v.decimal(), kind, out);
    } else if (from == VKind::Real) {
      if (kind == VKind::Real) {
        out = v;
        c = Conversion::kOk;
      } else if (auto f = VFloat::FromDouble(v.real())) {
        c = DecimalToKind(*f, kind, out);
      } else {
        c = Conversion::kOutOfRange;
      }
    }
  } else if (kind == VKind::Time) {
    if (from == VKind::Duration) {
      int64_t ms = v.integer();
      if (ms < 0 || ms >= 86400000) {
        c = Conversion::kOutOfRange;
      } else {
        corvane::VTime t;
        t.ms = static_cast<uint32_t>(ms);
        out = VValue(t);
        c = Conversion::kOk;
      }
    }
  } else if (kind == VKind::Duration) {
    if (from == VKind::Time) {
      out = corvane::VDuration(v.time().ms);
      c = Conversion::kOk;
    }
  } else if (kind == VKind::Blob || kind == VKind::Image) {
    if (from == VKind::Blob || from == VKind::Image) {
      out = VValue::Bytes(kind, v.bytes());
      c = Conversion::kOk;
    } else if (from == VKind::Uuid) {
      const auto& b = v.uuid().bytes;
      out = VValue::Bytes(kind, corvane::VBytes(b.begin(), b.end()));
      c = Conversion::kOk;
    }
  } else if (kind == VKind::Uuid) {
    if ((from == VKind::Blob || from == VKind::Image) && v.bytes().size() == 16) {
      corvane::VUUID u;
      std::copy(v.bytes().begin(), v.bytes().end(), u.bytes.begin());
      out = VValue(u);
      c = Conversion::kOk;
    }
  }
  if (c == Conversion::kOk) v = std::move(out);
  return c;
}

}  // namespace kestrion
