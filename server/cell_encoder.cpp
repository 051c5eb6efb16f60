#include "server/cell_encoder.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>

#include "server/time_text.h"
#include "toolbox/vfloat.h"

namespace kestrion::server {

using corvane::VKind;

namespace {

// Little-endian stores; on a little-endian machine each is one move.
template <typename T>
inline void Store(std::uint8_t* p, T v) {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(p, &v, sizeof v);
  } else {
    for (std::size_t k = 0; k < sizeof v; ++k) p[k] = static_cast<std::uint8_t>(v >> (8 * k));
  }
}

inline void Put8(ByteBuffer& o, std::uint8_t v) { o.Push(v); }
inline void Put32(ByteBuffer& o, std::uint32_t v) { Store(o.Extend(4), v); }

// A present value: the status byte '1' and room for `n` payload bytes.
inline std::uint8_t* Present(ByteBuffer& o, std::size_t n) {
  std::uint8_t* p = o.Extend(1 + n);
  p[0] = '1';
  return p + 1;
}

void Unavailable(ByteBuffer& o, std::int32_t code) {
  Put8(o, '2');
  Put32(o, static_cast<std::uint32_t>(code));
}

std::string_view TextOf(const SqlCell& c) { return {reinterpret_cast<const char*>(c.p), static_cast<std::size_t>(c.n)}; }

// An exact integer from any storage class; 0 ok, else a cell error code.
int IntegerOf(const SqlCell& c, std::int64_t& v) {
  switch (c.type) {
    case SQLITE_INTEGER:
      v = c.i;
      return 0;
    case SQLITE_FLOAT:
      if (std::isfinite(c.d) && c.d == std::trunc(c.d) && c.d >= -9223372036854775808.0 &&
          c.d < 9223372036854775808.0) {
        v = static_cast<std::int64_t>(c.d);
        return 0;
      }
      return kCellOutOfRange;
    case SQLITE_TEXT: {
      auto f = corvane::VFloat::FromText(TextOf(c));
      if (!f) return kCellWrongSort;
      auto i = f->ToInt64();
      if (!i) return kCellOutOfRange;
      v = *i;
      return 0;
    }
    default:
      return kCellWrongSort;
  }
}

// A present decimal: sign, exponent of the 0.d1 d2 ... form and the
// significant digits (ASCII, none for zero), packed two per byte.
void PutDecimal(ByteBuffer& o, int sign, std::int32_t exponent, const char* digits, std::size_t n) {
  std::uint8_t* p = Present(o, 9 + n);
  Store(p, static_cast<std::uint32_t>(exponent));
  p[4] = static_cast<std::uint8_t>(static_cast<std::int8_t>(sign));
  Store(p + 5, static_cast<std::uint32_t>(n));
  std::uint8_t* pairs = p + 9;
  std::size_t k = 0;
  for (; k + 1 < n; k += 2)
    *pairs++ = static_cast<std::uint8_t>((digits[k] - '0') * 10 + (digits[k + 1] - '0'));
  if (k < n) *pairs++ = static_cast<std::uint8_t>((digits[k] - '0') * 10);
  // The second half of the digit bytes is zero.
  std::memset(pairs, 0, n - (n + 1) / 2);
}

// Significant decimal digits of a number, at most 20 of them (a 64-bit
// integer) or 17 (the shortest text that reads back as the same double).
struct Digits {
  int sign = 0;
  std::int32_t exponent = 0;
  char digits[24];
  std::size_t count = 0;

  // Drops trailing zero digits; no digits left is zero.
  void Trim() {
    while (count > 0 && digits[count - 1] == '0') --count;
    if (count == 0) sign = 0, exponent = 0;
  }
};

Digits DigitsOfInt64(std::int64_t v) {
  Digits d;
  const std::uint64_t mag = v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
  d.sign = v < 0 ? -1 : 1;
  d.count = static_cast<std::size_t>(std::to_chars(d.digits, d.digits + sizeof d.digits, mag).ptr - d.digits);
  d.exponent = static_cast<std::int32_t>(d.count);
  d.Trim();
  return d;
}

// The shortest round-trip digits of a finite double, read from its
// scientific text ("-d.ddde-XX"), so that no digit string is allocated.
// -0.0 is zero like 0.0.
Digits DigitsOfDouble(double v) {
  char text[48];
  const char* end = std::to_chars(text, text + sizeof text, v, std::chars_format::scientific).ptr;
  const char* p = text;
  Digits d;
  d.sign = 1;
  if (*p == '-') {
    d.sign = -1;
    ++p;
  }
  for (; p < end && *p != 'e'; ++p)
    if (*p != '.' && d.count < sizeof d.digits) d.digits[d.count++] = *p;
  int exp10 = 0;
  if (p < end) {
    ++p;  // 'e'
    const bool negative = p < end && *p == '-';
    if (p < end && (*p == '-' || *p == '+')) ++p;
    std::from_chars(p, end, exp10);
    if (negative) exp10 = -exp10;
  }
  d.exponent = exp10 + 1;
  d.Trim();
  return d;
}

void PutDecimal(ByteBuffer& o, const Digits& d) { PutDecimal(o, d.sign, d.exponent, d.digits, d.count); }

void PutUtf8AsText(ByteBuffer& o, const unsigned char* p, std::size_t n) {
  const std::size_t len_at = o.size();
  Put32(o, 0);
  const std::size_t units = AppendUtf16(o, p, n);
  Store(o.data() + len_at, static_cast<std::uint32_t>(-static_cast<std::int64_t>(units)));
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::size_t AppendUtf16(ByteBuffer& o, const unsigned char* s, std::size_t n) {
  // No UTF-8 byte yields more than one unit (a 4-byte sequence yields two),
  // so 2n bytes are room enough; what is left over is cut off at the end.
  const std::size_t start = o.size();
  std::uint8_t* const first = o.Extend(2 * n);
  std::uint8_t* q = first;
  auto unit = [&q](std::uint32_t u) {
    q[0] = static_cast<std::uint8_t>(u);
    q[1] = static_cast<std::uint8_t>(u >> 8);
    q += 2;
  };
  std::size_t i = 0;
  while (i < n) {
    // ASCII eight bytes at a time, then byte by byte.
    while (i + 8 <= n) {
      std::uint64_t word;
      std::memcpy(&word, s + i, 8);
      if (word & 0x8080808080808080ull) break;
      for (int k = 0; k < 8; ++k) {
        q[2 * k] = s[i + static_cast<std::size_t>(k)];
        q[2 * k + 1] = 0;
      }
      q += 16;
      i += 8;
    }
    if (i >= n) break;
    unsigned char c = s[i];
    if (c < 0x80) {
      unit(c);
      ++i;
      continue;
    }
    std::size_t len = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
    std::uint32_t cp = len == 2 ? (c & 0x1Fu) : len == 3 ? (c & 0x0Fu) : (c & 0x07u);
    bool ok = len != 0 && i + len <= n;
    for (std::size_t k = 1; ok && k < len; ++k) {
      if ((s[i + k] & 0xC0) != 0x80) ok = false;
      else cp = (cp << 6) | (s[i + k] & 0x3Fu);
    }
    if (ok && ((len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
               (cp >= 0xD800 && cp <= 0xDFFF)))
      ok = false;
    if (!ok) {
      unit(0xFFFD);
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      unit(0xD800 + (cp >> 10));
      unit(0xDC00 + (cp & 0x3FF));
    } else {
      unit(cp);
    }
    i += len;
  }
  const std::size_t bytes = static_cast<std::size_t>(q - first);
  o.Truncate(start + bytes);
  return bytes / 2;
}

void EncodeCell(ByteBuffer& o, VKind kind, const SqlCell& c) {
  if (c.type == SQLITE_NULL) {
    Put8(o, '0');
    return;
  }
  switch (kind) {
    case VKind::Boolean: {
      std::int64_t v;
      int e = IntegerOf(c, v);
      if (e == kCellWrongSort && c.type == SQLITE_TEXT) {
        std::string_view t = TextOf(c);
        if (t == "true" || t == "TRUE" || t == "True") v = 1, e = 0;
        else if (t == "false" || t == "FALSE" || t == "False") v = 0, e = 0;
      }
      if (e == 0 && v != 0 && v != 1) e = kCellOutOfRange;
      if (e) return Unavailable(o, e);
      Store(Present(o, 2), static_cast<std::uint16_t>(v));
      return;
    }
    case VKind::Byte:
    case VKind::Word:
    case VKind::Long:
    case VKind::Long8:
    case VKind::Duration: {
      std::int64_t v;
      int e = IntegerOf(c, v);
      if (e == kCellWrongSort && kind == VKind::Duration && c.type == SQLITE_TEXT) {
        auto ms = ParseDurationText(TextOf(c));
        if (ms) v = *ms, e = 0;
        else e = kCellBadDateTime;
      }
      if (e == 0) {
        if (kind == VKind::Byte && (v < -128 || v > 127)) e = kCellOutOfRange;
        if (kind == VKind::Word && (v < -32768 || v > 32767)) e = kCellOutOfRange;
        if (kind == VKind::Long && (v < INT32_MIN || v > INT32_MAX)) e = kCellOutOfRange;
      }
      if (e) return Unavailable(o, e);
      if (kind == VKind::Byte || kind == VKind::Word) Store(Present(o, 2), static_cast<std::uint16_t>(v));
      else if (kind == VKind::Long) Store(Present(o, 4), static_cast<std::uint32_t>(v));
      else Store(Present(o, 8), static_cast<std::uint64_t>(v));
      return;
    }
    case VKind::Real: {
      double d;
      if (c.type == SQLITE_FLOAT) {
        d = c.d;
      } else if (c.type == SQLITE_INTEGER) {
        d = static_cast<double>(c.i);
        if (d >= 9223372036854775808.0 || static_cast<std::int64_t>(d) != c.i) return Unavailable(o, kCellOutOfRange);
      } else if (c.type == SQLITE_TEXT) {
        std::string_view t = TextOf(c);
        auto r = std::from_chars(t.data(), t.data() + t.size(), d);
        if (r.ec != std::errc() || r.ptr != t.data() + t.size()) return Unavailable(o, kCellWrongSort);
      } else {
        return Unavailable(o, kCellWrongSort);
      }
      std::uint64_t bits;
      std::memcpy(&bits, &d, 8);
      Store(Present(o, 8), bits);
      return;
    }
    case VKind::Float: {
      if (c.type == SQLITE_INTEGER) return PutDecimal(o, DigitsOfInt64(c.i));
      if (c.type == SQLITE_FLOAT) {
        if (!std::isfinite(c.d)) return Unavailable(o, kCellOutOfRange);
        return PutDecimal(o, DigitsOfDouble(c.d));
      }
      std::optional<corvane::VFloat> f;
      if (c.type == SQLITE_TEXT) f = corvane::VFloat::FromText(TextOf(c));
      if (!f) return Unavailable(o, kCellWrongSort);
      return PutDecimal(o, f->sign(), f->exponent(), f->digits().data(), f->digits().size());
    }
    case VKind::Time: {
      if (c.type != SQLITE_TEXT) return Unavailable(o, kCellWrongSort);
      auto t = ParseIsoTime(TextOf(c));
      if (!t) return Unavailable(o, kCellBadDateTime);
      std::uint8_t* p = Present(o, 8);
      Store(p, t->year);
      p[2] = t->month;
      p[3] = t->day;
      Store(p + 4, t->ms);
      return;
    }
    case VKind::Text: {
      if (c.type == SQLITE_TEXT) {
        Put8(o, '1');
        PutUtf8AsText(o, c.p, static_cast<std::size_t>(c.n));
        return;
      }
      char buf[40];
      std::to_chars_result r;
      if (c.type == SQLITE_INTEGER) r = std::to_chars(buf, buf + sizeof buf, c.i);
      else if (c.type == SQLITE_FLOAT) r = std::to_chars(buf, buf + sizeof buf, c.d);
      else return Unavailable(o, kCellWrongSort);
      Put8(o, '1');
      PutUtf8AsText(o, reinterpret_cast<const unsigned char*>(buf), static_cast<std::size_t>(r.ptr - buf));
      return;
    }
    case VKind::Blob:
    case VKind::Image: {
      if (c.type != SQLITE_BLOB && c.type != SQLITE_TEXT) return Unavailable(o, kCellWrongSort);
      const std::size_t n = c.n > 0 ? static_cast<std::size_t>(c.n) : 0;
      std::uint8_t* p = Present(o, 4 + n);
      Store(p, static_cast<std::uint32_t>(c.n));
      if (n > 0) std::memcpy(p + 4, c.p, n);
      return;
    }
    case VKind::Uuid: {
      std::uint8_t u[16];
      if (c.type == SQLITE_BLOB && c.n == 16) {
        std::memcpy(u, c.p, 16);
      } else if (c.type == SQLITE_TEXT) {
        // 32 hexadecimal digits, dashes allowed between pairs.
        std::string_view t = TextOf(c);
        int k = 0, hi = -1;
        for (char ch : t) {
          if (ch == '-' && hi < 0) continue;
          int h = HexDigit(ch);
          if (h < 0 || k >= 16) return Unavailable(o, kCellWrongSort);
          if (hi < 0) {
            hi = h;
          } else {
            u[k++] = static_cast<std::uint8_t>(hi * 16 + h);
            hi = -1;
          }
        }
        if (k != 16 || hi >= 0) return Unavailable(o, kCellWrongSort);
      } else {
        return Unavailable(o, kCellWrongSort);
      }
      std::memcpy(Present(o, 16), u, 16);
      return;
    }
    case VKind::Unknown:
      break;
  }
  Unavailable(o, kCellWrongSort);
}

}  // namespace kestrion::server
