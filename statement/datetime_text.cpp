#include "statement/datetime_text.h"

namespace kestrion {

namespace {

// Numbers are capped so that nothing overflows; a capped number is invalid
// in every field anyway.
constexpr int64_t kCap = 1000000000;

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

struct Reader {
  std::u16string_view t;
  std::size_t i = 0;

  // A run of digits, then the character that ends it is skipped.
  int64_t Number() {
    int64_t v = 0;
    while (i < t.size() && IsDigit(t[i])) {
      if (v < kCap) v = v * 10 + (t[i] - u'0');
      ++i;
    }
    if (i < t.size()) ++i;
    return v;
  }
  // Milliseconds of a fraction: the first three digits count 100, 10 and 1.
  int64_t Fraction() {
    static constexpr int64_t kWeight[3] = {100, 10, 1};
    int64_t ms = 0;
    int k = 0;
    while (i < t.size() && IsDigit(t[i])) {
      if (k < 3) ms += (t[i] - u'0') * kWeight[k];
      ++k;
      ++i;
    }
    if (i < t.size()) ++i;
    return ms;
  }
};

bool ContainsFolded(std::u16string_view t, std::u16string_view what) {
  for (std::size_t i = 0; i + what.size() <= t.size(); ++i) {
    bool same = true;
    for (std::size_t k = 0; k < what.size() && same; ++k) {
      char16_t c = t[i + k];
      if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
      same = c == what[k];
    }
    if (same) return true;
  }
  return false;
}

bool IsValidTimeOfDay(const DateTimeFields& f) {
  return f.hour <= 23 && f.minute <= 59 && f.second <= 59 && f.ms <= 999;
}

}  // namespace

bool IsValidDate(int64_t year, int64_t month, int64_t day) {
  if (year < 0 || year > 65535) return false;
  if (year == 0 && month == 0) return day == 0;
  if (month < 1 || month > 12 || day < 1) return false;
  static constexpr int kDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (day > kDays[month - 1]) return false;
  if (month == 2 && day == 29) return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return true;
}

bool IsValidTimestamp(const DateTimeFields& f) {
  if (!IsValidDate(f.year, f.month, f.day)) return false;
  if (f.year == 0 && f.month == 0) return true;  // the empty date: time not examined
  return IsValidTimeOfDay(f);
}

DateTimeParse ParseDateTimeEscape(std::u16string_view text, DateTimeForm& form,
                                  DateTimeFields& f) {
  f = DateTimeFields{};
  std::size_t quote = text.find(u'\'');
  if (quote == std::u16string_view::npos || quote < 3) return DateTimeParse::kNoValue;
  Reader r{text, quote + 1};
  if (ContainsFolded(text, u"ts")) {
    form = DateTimeForm::kTimestamp;
    f.year = r.Number();
    f.month = r.Number();
    f.day = r.Number();
    f.hour = r.Number();
    f.minute = r.Number();
    f.second = r.Number();
    f.ms = r.Fraction();
    return IsValidTimestamp(f) ? DateTimeParse::kValid : DateTimeParse::kInvalid;
  }
  if (ContainsFolded(text, u"d")) {
    form = DateTimeForm::kDate;
    f.year = r.Number();
    f.month = r.Number();
    f.day = r.Number();
    return IsValidDate(f.year, f.month, f.day) ? DateTimeParse::kValid : DateTimeParse::kInvalid;
  }
  form = DateTimeForm::kTime;
  f.hour = r.Number();
  f.minute = r.Number();
  f.second = r.Number();
  return DateTimeParse::kValid;
}

DateTimeParse ParseDateTimeText(std::u16string_view text, DateTimeForm& form,
                                DateTimeFields& f) {
  DateTimeParse escape = ParseDateTimeEscape(text, form, f);
  if (escape != DateTimeParse::kNoValue) return escape;
  f = DateTimeFields{};
  // Plain forms: blanks around, fields separated by one character.
  std::size_t b = 0, e = text.size();
  while (b < e && (text[b] == u' ' || text[b] == u'\t')) ++b;
  while (e > b && (text[e - 1] == u' ' || text[e - 1] == u'\t')) --e;
  std::u16string_view t = text.substr(b, e - b);
  if (t.empty() || !IsDigit(t[0])) return DateTimeParse::kNoValue;
  std::size_t first_sep = 0;
  while (first_sep < t.size() && IsDigit(t[first_sep])) ++first_sep;
  if (first_sep == t.size()) return DateTimeParse::kNoValue;
  Reader r{t, 0};
  auto digits_follow = [&] { return r.i < t.size() && IsDigit(t[r.i]); };
  if (t[first_sep] == u':') {
    form = DateTimeForm::kTime;
    f.hour = r.Number();
    if (!digits_follow()) return DateTimeParse::kNoValue;
    f.minute = r.Number();
    if (digits_follow()) f.second = r.Number();
    if (r.i > 0 && r.i <= t.size() && t[r.i - 1] == u'.' && digits_follow()) f.ms = r.Fraction();
    if (r.i < t.size()) return DateTimeParse::kNoValue;
    return IsValidTimeOfDay(f) ? DateTimeParse::kValid : DateTimeParse::kInvalid;
  }
  if (t[first_sep] != u'-' && t[first_sep] != u'/' && t[first_sep] != u'.')
    return DateTimeParse::kNoValue;
  form = DateTimeForm::kDate;
  f.year = r.Number();
  if (!digits_follow()) return DateTimeParse::kNoValue;
  f.month = r.Number();
  if (!digits_follow()) return DateTimeParse::kNoValue;
  f.day = r.Number();
  if (r.i < t.size()) {
    // A time of day after a space or a 'T'.
    if (t[r.i - 1] != u' ' && t[r.i - 1] != u'T') return DateTimeParse::kNoValue;
    while (r.i < t.size() && t[r.i] == u' ') ++r.i;
    if (!digits_follow()) return DateTimeParse::kNoValue;
    form = DateTimeForm::kTimestamp;
    f.hour = r.Number();
    if (!digits_follow()) return DateTimeParse::kNoValue;
    f.minute = r.Number();
    if (digits_follow()) f.second = r.Number();
    if (t[r.i - 1] == u'.' && digits_follow()) f.ms = r.Fraction();
    if (r.i < t.size()) return DateTimeParse::kNoValue;
  }
  return IsValidTimestamp(f) ? DateTimeParse::kValid : DateTimeParse::kInvalid;
}

}  // namespace kestrion
