#include "statement/text_form.h"

#include <cctype>
#include <charconv>
#include <cstdlib>

#include "statement/hex_text.h"

namespace kestrion {

using corvane::VFloat;
using corvane::VKind;
using corvane::VTime;
using corvane::VValue;

namespace {

constexpr std::size_t kSmall = sizeof(TextScratch::small) / sizeof(char16_t);

// Appends into the small buffer; positions past its end are dropped (only
// locale patterns of absurd length could get there).
struct SmallWriter {
  char16_t* p;
  std::size_t n = 0;
  void Put(char16_t c) {
    if (n < kSmall) p[n++] = c;
  }
  void Ascii(std::string_view s) {
    for (char c : s) Put(static_cast<unsigned char>(c));
  }
  void Number(uint64_t v, int width, char16_t pad) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    int len = static_cast<int>(r.ptr - buf);
    for (int i = len; i < width; ++i) Put(pad);
    Ascii(std::string_view(buf, static_cast<std::size_t>(len)));
  }
  std::u16string_view View() const { return {p, n}; }
};

void RenderPattern(std::u16string_view pattern, const VTime& t, SmallWriter& w) {
  const unsigned hour = t.ms / 3600000u;
  const unsigned minute = t.ms / 60000u % 60u;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    char16_t c = pattern[i];
    if (c != u'%' || i + 1 >= pattern.size()) {
      w.Put(c);
      continue;
    }
    switch (pattern[++i]) {
      case u'd':
        w.Number(t.day, 2, u'0');
        break;
      case u'e':
        w.Number(t.day, 2, u' ');
        break;
      case u'm':
      case u'b':
      case u'h':
      case u'B':
        w.Number(t.month, 2, u'0');
        break;
      case u'y':
      case u'Y':
      case u'G':
        // A two-digit year would lose the century.
        w.Number(t.year, 4, u'0');
        break;
      case u'C':
        w.Number(t.year / 100u, 2, u'0');
        break;
      case u'H':
      case u'I':
        w.Number(hour, 2, u'0');
        break;
      case u'k':
      case u'l':
        w.Number(hour, 2, u' ');
        break;
      case u'M':
        w.Number(minute, 2, u'0');
        break;
      case u'%':
        w.Put(u'%');
        break;
      case u't':
        w.Put(u'\t');
        break;
      case u'n':
        w.Put(u' ');
        break;
      default:
        break;  // week days, month names and the like are not shown
    }
  }
}

}  // namespace

std::u16string_view DurationText(int64_t ms, TextScratch& scratch) {
  SmallWriter w{scratch.small};
  uint64_t mag = ms < 0 ? 0 - static_cast<uint64_t>(ms) : static_cast<uint64_t>(ms);
  if (ms < 0) w.Put(u'-');
  w.Number(mag / 3600000u % 24u, 2, u'0');
  w.Put(u':');
  w.Number(mag / 60000u % 60u, 2, u'0');
  w.Put(u':');
  w.Number(mag / 1000u % 60u, 2, u'0');
  if (mag % 1000u != 0) {
    w.Put(u'.');
    w.Number(mag % 1000u, 3, u'0');
  }
  return w.View();
}

std::u16string_view RealText(double d, TextScratch& scratch) {
  char buf[48];
  auto r = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::general, 14);
  SmallWriter w{scratch.small};
  for (char* p = buf; p < r.ptr; ++p)
    w.Put(static_cast<char16_t>(std::toupper(static_cast<unsigned char>(*p))));
  return w.View();
}

std::u16string_view DecimalText(const VFloat& f, TextScratch& scratch) {
  if (f.is_zero()) return u"0.0";
  const std::string& digits = f.digits();
  const int64_t n = static_cast<int64_t>(digits.size());
  const int64_t e = f.exponent();
  if (e > n + 400 || e < -400) {
    // Absurd exponents (only a hostile peer sends them) keep their short form.
    scratch.big.clear();
    for (char c : f.ToText()) scratch.big.push_back(static_cast<unsigned char>(c));
    return scratch.big;
  }
  const int64_t fraction = n - e > 1 ? n - e : 1;
  const int64_t size = 1 + (e > 0 ? e : 1) + 1 + fraction;
  char16_t* out = scratch.small;
  if (size > static_cast<int64_t>(kSmall)) {
    scratch.big.resize(static_cast<std::size_t>(size));
    out = scratch.big.data();
  }
  std::size_t at = 0;
  if (f.sign() < 0) out[at++] = u'-';
  if (e <= 0) {
    out[at++] = u'0';
  } else {
    for (int64_t i = 0; i < e; ++i) out[at++] = i < n ? static_cast<char16_t>(digits[i]) : u'0';
  }
  out[at++] = u'.';
  for (int64_t i = 0; i < fraction; ++i) {
    int64_t pos = e + i;  // position in the digit string
    out[at++] = pos >= 0 && pos < n ? static_cast<char16_t>(digits[pos]) : u'0';
  }
  return {out, at};
}

std::u16string_view TimeText(const VTime& t, const LocaleFormats& locale, TextScratch& scratch) {
  SmallWriter w{scratch.small};
  RenderPattern(locale.date_pattern, t, w);
  w.Put(u' ');
  RenderPattern(locale.time_pattern, t, w);
  return w.View();
}

std::u16string_view OdbcTimeText(const VTime& t, TextScratch& scratch) {
  SmallWriter w{scratch.small};
  const bool has_date = t.year != 0 || t.month != 0 || t.day != 0;
  if (has_date) {
    w.Number(t.year, 4, u'0');
    w.Put(u'-');
    w.Number(t.month, 2, u'0');
    w.Put(u'-');
    w.Number(t.day, 2, u'0');
    w.Put(u' ');
  }
  w.Number(t.ms / 3600000u, 2, u'0');
  w.Put(u':');
  w.Number(t.ms / 60000u % 60u, 2, u'0');
  w.Put(u':');
  w.Number(t.ms / 1000u % 60u, 2, u'0');
  if (t.ms % 1000u != 0) {
    w.Put(u'.');
    w.Number(t.ms % 1000u, 3, u'0');
  }
  return w.View();
}

std::u16string_view GuidText(const std::array<uint8_t, 16>& bytes, TextScratch& scratch) {
  static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  SmallWriter w{scratch.small};
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) w.Put(u'-');
    w.Put(kDigits[bytes[i] >> 4]);
    w.Put(kDigits[bytes[i] & 0xF]);
  }
  return w.View();
}

std::u16string_view TextFormOf(const VValue& v, TextScratch& scratch) {
  if (v.is_null()) return {};
  switch (v.kind()) {
    case VKind::Text:
      return v.text();
    case VKind::Boolean:
      return v.boolean() ? std::u16string_view(u"1") : std::u16string_view(u"0");
    case VKind::Byte:
    case VKind::Word:
    case VKind::Long:
    case VKind::Long8: {
      char buf[24];
      auto r = std::to_chars(buf, buf + sizeof buf, v.integer());
      SmallWriter w{scratch.small};
      w.Ascii(std::string_view(buf, static_cast<std::size_t>(r.ptr - buf)));
      return w.View();
    }
    case VKind::Real:
      return RealText(v.real(), scratch);
    case VKind::Float:
      return DecimalText(v.decimal(), scratch);
    case VKind::Duration:
      return DurationText(v.integer(), scratch);
    case VKind::Time:
      return OdbcTimeText(v.time(), scratch);
    case VKind::Uuid:
      return GuidText(v.uuid().bytes, scratch);
    case VKind::Blob:
    case VKind::Image:
      scratch.big.clear();
      AppendHex(v.bytes().data(), v.bytes().size(), scratch.big);
      return scratch.big;
    default:
      return {};
  }
}

}  // namespace kestrion
