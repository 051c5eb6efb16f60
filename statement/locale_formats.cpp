#include "statement/locale_formats.h"

#include <langinfo.h>
#include <locale.h>
#include <strings.h>

#include <cstring>
#include <string_view>

#include "toolbox/vstring.h"

namespace kestrion {

namespace {

std::u16string Expand(std::u16string_view pattern) {
  std::u16string out;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != u'%' || i + 1 >= pattern.size()) {
      out.push_back(pattern[i]);
      continue;
    }
    char16_t c = pattern[++i];
    switch (c) {
      case u'D':
        out += u"%m/%d/%y";
        break;
      case u'F':
        out += u"%Y-%m-%d";
        break;
      case u'T':
        out += u"%H:%M:%S";
        break;
      case u'R':
        out += u"%H:%M";
        break;
      case u'r':
        out += u"%I:%M:%S %p";
        break;
      default:
        out.push_back(u'%');
        // Flags and widths of the GNU extensions ("%-d", "%Ey") are dropped.
        while ((c == u'-' || c == u'_' || c == u'0' || c == u'^' || c == u'#' || c == u'E' ||
                c == u'O') &&
               i + 1 < pattern.size())
          c = pattern[++i];
        out.push_back(c);
        break;
    }
  }
  return out;
}

// Removes seconds and the AM/PM marker from an expanded time pattern, with
// the separator written before each and the literal text after each up to the
// next conversion ("%I:%M:%S %p" gives "%I:%M").
std::u16string TimeWithoutSeconds(std::u16string_view pattern) {
  std::u16string out;
  std::size_t conv_end = 0;  // where the text after the last kept conversion starts
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != u'%' || i + 1 >= pattern.size()) {
      out.push_back(pattern[i]);
      continue;
    }
    char16_t c = pattern[++i];
    if (c == u'S' || c == u'p' || c == u'P') {
      out.resize(conv_end);
      while (i + 1 < pattern.size() && pattern[i + 1] != u'%') ++i;
      continue;
    }
    out.push_back(u'%');
    out.push_back(c);
    conv_end = out.size();
  }
  while (!out.empty() && out.back() == u' ') out.pop_back();
  while (!out.empty() && out.front() == u' ') out.erase(out.begin());
  if (out.find(u'%') == std::u16string::npos) out = u"%H:%M";
  return out;
}

std::u16string Decode(const char* bytes, const char* codeset) {
  if (bytes == nullptr) return {};
  std::string_view s(bytes);
  bool ascii = true;
  for (char c : s)
    if (static_cast<unsigned char>(c) >= 0x80) ascii = false;
  if (ascii || (codeset != nullptr && (strcasecmp(codeset, "UTF-8") == 0 ||
                                       strcasecmp(codeset, "UTF8") == 0)))
    return corvane::VString::FromUtf8(s);
  return corvane::VString::FromLocal(s);
}

LocaleFormats ReadUserLocale() {
  locale_t loc = newlocale(LC_ALL_MASK, "", static_cast<locale_t>(0));
  if (loc == static_cast<locale_t>(0)) loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  if (loc == static_cast<locale_t>(0)) return LocaleFormats{};
  const char* codeset = nl_langinfo_l(CODESET, loc);
  std::u16string date = Decode(nl_langinfo_l(D_FMT, loc), codeset);
  std::u16string time = Decode(nl_langinfo_l(T_FMT, loc), codeset);
  std::u16string radix = Decode(nl_langinfo_l(RADIXCHAR, loc), codeset);
  LocaleFormats f = MakeLocaleFormats(date.empty() ? u"%m/%d/%y" : std::u16string_view(date),
                                      time.empty() ? u"%H:%M:%S" : std::u16string_view(time),
                                      radix.size() == 1 ? radix[0] : u'.');
  freelocale(loc);
  return f;
}

LocaleFormats& Cache() {
  static LocaleFormats formats = ReadUserLocale();
  return formats;
}

}  // namespace

LocaleFormats MakeLocaleFormats(std::u16string_view date_fmt, std::u16string_view time_fmt,
                                char16_t decimal_separator) {
  LocaleFormats f;
  f.decimal_separator = decimal_separator;
  f.date_pattern = Expand(date_fmt);
  f.time_pattern = TimeWithoutSeconds(Expand(time_fmt));
  return f;
}

const LocaleFormats& UserLocaleFormats() { return Cache(); }

void SetLocaleFormatsForTesting(const LocaleFormats& formats) { Cache() = formats; }

}  // namespace kestrion
