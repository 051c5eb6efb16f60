#include "server/time_text.h"

namespace kestrion::server {

namespace {
// Reads exactly `n` digits at `pos`.
bool Digits(std::string_view s, std::size_t& pos, int n, std::int64_t& out) {
  if (pos + static_cast<std::size_t>(n) > s.size()) return false;
  out = 0;
  for (int i = 0; i < n; ++i) {
    char c = s[pos + static_cast<std::size_t>(i)];
    if (c < '0' || c > '9') return false;
    out = out * 10 + (c - '0');
  }
  pos += static_cast<std::size_t>(n);
  return true;
}

// "MM" or "MM:SS" or "MM:SS.fff" after the hours; adds to ms.
bool MinutesSecondsFraction(std::string_view s, std::size_t& pos, std::int64_t& ms) {
  std::int64_t mi, se = 0, frac = 0;
  if (!Digits(s, pos, 2, mi) || mi > 59) return false;
  if (pos < s.size() && s[pos] == ':') {
    ++pos;
    if (!Digits(s, pos, 2, se) || se > 59) return false;
    if (pos < s.size() && s[pos] == '.') {
      ++pos;
      int count = 0;
      while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9') {
        int d = s[pos] - '0';
        if (count < 3) frac = frac * 10 + d;
        else if (d != 0) return false;  // below a millisecond: not representable
        ++count;
        ++pos;
      }
      if (count == 0) return false;
      for (int k = count; k < 3; ++k) frac *= 10;
    }
  }
  ms += (mi * 60 + se) * 1000 + frac;
  return true;
}
}  // namespace

namespace {
// The form most cells hold, "YYYY-MM-DD HH:MM:SS", read at fixed positions;
// false when `s` is anything else (the general parser decides).
bool PlainDateTime(std::string_view s, corvane::VTime& t) {
  if (s.size() != 19 || s[4] != '-' || s[7] != '-' || (s[10] != ' ' && s[10] != 'T') || s[13] != ':' ||
      s[16] != ':')
    return false;
  // Two digits at `i` (a value above 99 when either is no digit).
  auto pair = [&s](std::size_t i) {
    const unsigned hi = static_cast<unsigned char>(s[i]) - unsigned{'0'};
    const unsigned lo = static_cast<unsigned char>(s[i + 1]) - unsigned{'0'};
    return hi > 9 || lo > 9 ? 1000u : hi * 10 + lo;
  };
  const unsigned century = pair(0), year = pair(2), month = pair(5), day = pair(8);
  const unsigned hour = pair(11), minute = pair(14), second = pair(17);
  if (century > 99 || year > 99 || month > 99 || day > 99 || hour > 23 || minute > 59 || second > 59) return false;
  t.year = static_cast<std::uint16_t>(century * 100 + year);
  t.month = static_cast<std::uint8_t>(month);
  t.day = static_cast<std::uint8_t>(day);
  t.ms = ((hour * 60 + minute) * 60 + second) * 1000;
  return true;
}
}  // namespace

std::optional<corvane::VTime> ParseIsoTime(std::string_view s) {
  corvane::VTime plain;
  if (PlainDateTime(s, plain)) {
    if (!plain.IsValid()) return std::nullopt;
    return plain;
  }
  std::size_t pos = 0;
  std::int64_t y, mo, d;
  if (!Digits(s, pos, 4, y) || pos >= s.size() || s[pos++] != '-' || !Digits(s, pos, 2, mo) || pos >= s.size() ||
      s[pos++] != '-' || !Digits(s, pos, 2, d))
    return std::nullopt;
  std::int64_t ms = 0;
  if (pos < s.size() && (s[pos] == ' ' || s[pos] == 'T')) {
    ++pos;
    std::int64_t h;
    if (!Digits(s, pos, 2, h) || h > 23 || pos >= s.size() || s[pos++] != ':') return std::nullopt;
    ms = h * 3600000;
    if (!MinutesSecondsFraction(s, pos, ms)) return std::nullopt;
  }
  if (pos < s.size() && s[pos] == 'Z') ++pos;
  if (pos != s.size()) return std::nullopt;
  corvane::VTime t{static_cast<std::uint16_t>(y), static_cast<std::uint8_t>(mo), static_cast<std::uint8_t>(d),
                   static_cast<std::uint32_t>(ms)};
  if (!t.IsValid()) return std::nullopt;
  return t;
}

namespace {
// `v` in decimal, zero-padded to at least `width` digits.
char* PutNumber(char* out, unsigned v, int width) {
  char digits[10];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0);
  for (int i = n; i < width; ++i) *out++ = '0';
  while (n > 0) *out++ = digits[--n];
  return out;
}
}  // namespace

std::size_t WriteIsoTime(const corvane::VTime& t, char* out) {
  char* p = PutNumber(out, t.year, 4);
  *p++ = '-';
  p = PutNumber(p, t.month, 2);
  *p++ = '-';
  p = PutNumber(p, t.day, 2);
  if (t.ms != 0) {
    const unsigned s = t.ms / 1000, frac = t.ms % 1000;
    *p++ = ' ';
    p = PutNumber(p, s / 3600, 2);
    *p++ = ':';
    p = PutNumber(p, (s / 60) % 60, 2);
    *p++ = ':';
    p = PutNumber(p, s % 60, 2);
    if (frac) {
      *p++ = '.';
      p = PutNumber(p, frac, 3);
    }
  }
  return static_cast<std::size_t>(p - out);
}

std::string FormatIsoTime(const corvane::VTime& t) {
  char buf[kIsoTimeMax];
  return std::string(buf, WriteIsoTime(t, buf));
}

std::optional<std::int64_t> ParseDurationText(std::string_view s) {
  std::size_t pos = 0;
  bool neg = false;
  if (pos < s.size() && s[pos] == '-') {
    neg = true;
    ++pos;
  }
  std::int64_t h = 0;
  int hd = 0;
  while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9') {
    if (++hd > 9) return std::nullopt;
    h = h * 10 + (s[pos++] - '0');
  }
  if (hd == 0 || pos >= s.size() || s[pos++] != ':') return std::nullopt;
  std::int64_t ms = h * 3600000;
  if (!MinutesSecondsFraction(s, pos, ms) || pos != s.size()) return std::nullopt;
  return neg ? -ms : ms;
}

}  // namespace kestrion::server
