#include "server/cell_encoder.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>

#include "server/time_text.h"
#include "toolbox/vfloat.h"

namespace kestrion::server {

using corvane::VKind;

namespace {

inline void Put8(std::vector<std::uint8_t>& o, std::uint8_t v) { o.push_back(v); }
inline void Put16(std::vector<std::uint8_t>& o, std::uint16_t v) {
  std::uint8_t b[2] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
  o.insert(o.end(), b, b + 2);
}
inline void Put32(std::vector<std::uint8_t>& o, std::uint32_t v) {
  std::uint8_t b[4] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                       static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
  o.insert(o.end(), b, b + 4);
}
inline void Put64(std::vector<std::uint8_t>& o, std::uint64_t v) {
  std::uint8_t b[8];
  for (int k = 0; k < 8; ++k) b[k] = static_cast<std::uint8_t>(v >> (8 * k));
  o.insert(o.end(), b, b + 8);
}

void Unavailable(std::vector<std::uint8_t>& o, std::int32_t code) {
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

void PutFloat(std::vector<std::uint8_t>& o, const corvane::VFloat& f) {
  const std::string& d = f.digits();
  Put32(o, static_cast<std::uint32_t>(f.exponent()));
  Put8(o, static_cast<std::uint8_t>(static_cast<std::int8_t>(f.sign())));
  Put32(o, static_cast<std::uint32_t>(d.size()));
  std::size_t start = o.size();
  o.resize(start + d.size(), 0);
  for (std::size_t k = 0; k < d.size(); ++k)
    o[start + k / 2] = static_cast<std::uint8_t>(o[start + k / 2] + (d[k] - '0') * (k % 2 == 0 ? 10 : 1));
}

void PutUtf8AsText(std::vector<std::uint8_t>& o, const unsigned char* p, std::size_t n) {
  std::size_t len_at = o.size();
  Put32(o, 0);
  std::size_t units = AppendUtf16(o, p, n);
  std::uint32_t neg = static_cast<std::uint32_t>(-static_cast<std::int64_t>(units));
  for (int k = 0; k < 4; ++k) o[len_at + static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(neg >> (8 * k));
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::size_t AppendUtf16(std::vector<std::uint8_t>& o, const unsigned char* s, std::size_t n) {
  std::size_t units = 0;
  if (o.capacity() - o.size() < 2 * n) o.reserve(std::max(2 * o.capacity(), o.size() + 2 * n));
  auto unit = [&](std::uint32_t u) {
    o.push_back(static_cast<std::uint8_t>(u));
    o.push_back(static_cast<std::uint8_t>(u >> 8));
    ++units;
  };
  std::size_t i = 0;
  while (i < n) {
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
  return units;
}

void EncodeCell(std::vector<std::uint8_t>& o, VKind kind, const SqlCell& c) {
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
      Put8(o, '1');
      Put16(o, static_cast<std::uint16_t>(v));
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
      Put8(o, '1');
      if (kind == VKind::Byte || kind == VKind::Word) Put16(o, static_cast<std::uint16_t>(v));
      else if (kind == VKind::Long) Put32(o, static_cast<std::uint32_t>(v));
      else Put64(o, static_cast<std::uint64_t>(v));
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
      Put8(o, '1');
      std::uint64_t bits;
      std::memcpy(&bits, &d, 8);
      Put64(o, bits);
      return;
    }
    case VKind::Float: {
      std::optional<corvane::VFloat> f;
      if (c.type == SQLITE_INTEGER) f = corvane::VFloat::FromInt64(c.i);
      else if (c.type == SQLITE_FLOAT) f = corvane::VFloat::FromDouble(c.d);
      else if (c.type == SQLITE_TEXT) f = corvane::VFloat::FromText(TextOf(c));
      if (!f) return Unavailable(o, c.type == SQLITE_FLOAT ? kCellOutOfRange : kCellWrongSort);
      Put8(o, '1');
      PutFloat(o, *f);
      return;
    }
    case VKind::Time: {
      if (c.type != SQLITE_TEXT) return Unavailable(o, kCellWrongSort);
      auto t = ParseIsoTime(TextOf(c));
      if (!t) return Unavailable(o, kCellBadDateTime);
      Put8(o, '1');
      Put16(o, t->year);
      Put8(o, t->month);
      Put8(o, t->day);
      Put32(o, t->ms);
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
      Put8(o, '1');
      Put32(o, static_cast<std::uint32_t>(c.n));
      if (c.n > 0) o.insert(o.end(), c.p, c.p + c.n);
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
      Put8(o, '1');
      o.insert(o.end(), u, u + 16);
      return;
    }
    case VKind::Unknown:
      break;
  }
  Unavailable(o, kCellWrongSort);
}

}  // namespace kestrion::server
