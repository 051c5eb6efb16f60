#include "toolbox/value_codec.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace corvane {

namespace {

constexpr std::size_t kChunk = 64 * 1024;

// Reads `count` bytes into `out` in chunks, growing as they arrive.
bool ReadChunked(VStream& s, std::size_t count, VBytes& out) {
  out.clear();
  out.reserve(std::min(count, kChunk));
  while (out.size() < count) {
    std::size_t take = std::min(kChunk, count - out.size());
    std::size_t old = out.size();
    out.resize(old + take);
    if (!s.Read(out.data() + old, take)) return false;
  }
  return true;
}

bool ReadUnits(VStream& s, std::size_t units, VString& out) {
  out.clear();
  out.reserve(std::min(units, kChunk / 2));
  while (out.size() < units) {
    std::size_t take = std::min(kChunk / 2, units - out.size());
    std::size_t old = out.size();
    out.resize(old + take);
    // Read straight into the string: the wire order is the native one on
    // little-endian machines (a unit at a time cost seconds on 5 MB texts).
    if (!s.Read(out.data() + old, take * 2)) return false;
    if constexpr (std::endian::native != std::endian::little) {
      for (std::size_t i = old; i < out.size(); ++i)
        out[i] = static_cast<char16_t>((out[i] >> 8) | (out[i] << 8));
    }
  }
  return true;
}

bool WriteText(VStream& s, const VString& t) {
  if (t.size() > static_cast<std::size_t>(kMaxValueBytes / 2)) {
    s.Fail(VStreamError::kTooLong);
    return false;
  }
  if (!s.PutI32(-static_cast<std::int32_t>(t.size()))) return false;
  if constexpr (std::endian::native == std::endian::little) {
    return s.Write(t.data(), t.size() * 2);
  } else {
    for (char16_t u : t)
      if (!s.PutU16(u)) return false;
    return true;
  }
}

bool ReadText(VStream& s, VString& out) {
  std::int32_t len;
  if (!s.GetI32(len)) return false;
  if (len == 0) {
    out.clear();
    return true;
  }
  if (len < 0) {
    std::int64_t units = -static_cast<std::int64_t>(len);
    if (units * 2 > kMaxValueBytes) {
      s.Fail(VStreamError::kTooLong);
      return false;
    }
    return ReadUnits(s, static_cast<std::size_t>(units), out);
  }
  std::int32_t charset;
  if (!s.GetI32(charset)) return false;
  if (charset != 1 && charset != 2) {
    s.Fail(VStreamError::kBadValue);
    return false;
  }
  std::int64_t units = static_cast<std::int64_t>(len) + 1;
  if (units * 2 > kMaxValueBytes) {
    s.Fail(VStreamError::kTooLong);
    return false;
  }
  if (!ReadUnits(s, static_cast<std::size_t>(units), out)) return false;
  out.pop_back();  // the terminating zero
  return true;
}

bool WriteBytes(VStream& s, const VBytes& b) {
  if (b.size() > static_cast<std::size_t>(kMaxValueBytes)) {
    s.Fail(VStreamError::kTooLong);
    return false;
  }
  if (!s.PutI32(static_cast<std::int32_t>(b.size()))) return false;
  return s.Write(b.data(), b.size());
}

bool ReadBytes(VStream& s, VBytes& out) {
  std::int32_t len;
  if (!s.GetI32(len)) return false;
  if (len > kMaxValueBytes) {
    s.Fail(VStreamError::kTooLong);
    return false;
  }
  if (len < 1) {  // a length below 1 carries no bytes
    out.clear();
    return true;
  }
  return ReadChunked(s, static_cast<std::size_t>(len), out);
}

}  // namespace

bool WriteFloat(VStream& s, const VFloat& f) {
  const std::string& d = f.digits();
  if (d.size() > static_cast<std::size_t>(kMaxValueBytes)) {
    s.Fail(VStreamError::kTooLong);
    return false;
  }
  const std::size_t n = d.size();
  s.PutI32(f.exponent());
  s.PutI8(static_cast<std::int8_t>(f.sign()));
  s.PutI32(static_cast<std::int32_t>(n));
  std::uint8_t small[64];
  VBytes big;
  std::uint8_t* bytes = small;
  if (n > sizeof small) {
    big.resize(n);
    bytes = big.data();
  }
  std::memset(bytes, 0, n);
  for (std::size_t i = 0; i < n; ++i) {
    unsigned digit = static_cast<unsigned>(d[i] - '0');
    bytes[i / 2] = static_cast<std::uint8_t>(bytes[i / 2] + (i % 2 == 0 ? digit * 10 : digit));
  }
  return s.Write(bytes, n);
}

bool ReadFloat(VStream& s, VFloat& out) {
  std::int32_t exponent, n;
  std::int8_t sign;
  out.AssignPairs(0, 0, nullptr, 0);  // zero, digit storage kept
  if (!s.GetI32(exponent) || !s.GetI8(sign) || !s.GetI32(n)) return false;
  if (n < 0 || sign < -1 || sign > 1) {
    s.Fail(VStreamError::kBadValue);
    return false;
  }
  if (n > kMaxValueBytes) {
    s.Fail(VStreamError::kTooLong);
    return false;
  }
  // The usual few digits are read into the stack; many arrive in chunks.
  std::uint8_t small[64];
  VBytes big;
  const std::uint8_t* pairs = small;
  if (n <= static_cast<std::int32_t>(sizeof small)) {
    if (!s.Read(small, static_cast<std::size_t>(n))) return false;
  } else {
    if (!ReadChunked(s, static_cast<std::size_t>(n), big)) return false;
    pairs = big.data();
  }
  if (!out.AssignPairs(n == 0 ? 0 : sign, exponent, pairs, n)) {
    s.Fail(VStreamError::kBadValue);
    return false;
  }
  return true;
}

bool WriteValue(VStream& s, const VValue& v) {
  switch (v.kind()) {
    case VKind::Boolean:
      return s.PutU16(v.integer() != 0 ? 1 : 0);
    case VKind::Byte:
      return s.PutI16(static_cast<std::int8_t>(v.integer()));
    case VKind::Word:
      return s.PutI16(static_cast<std::int16_t>(v.integer()));
    case VKind::Long:
      return s.PutI32(static_cast<std::int32_t>(v.integer()));
    case VKind::Long8:
    case VKind::Duration:
      return s.PutI64(v.integer());
    case VKind::Real:
      return s.PutDouble(v.real());
    case VKind::Float:
      return WriteFloat(s, v.decimal());
    case VKind::Time: {
      const VTime& t = v.time();
      std::uint8_t b[8] = {static_cast<std::uint8_t>(t.year), static_cast<std::uint8_t>(t.year >> 8),
                           t.month,
                           t.day,
                           static_cast<std::uint8_t>(t.ms),
                           static_cast<std::uint8_t>(t.ms >> 8),
                           static_cast<std::uint8_t>(t.ms >> 16),
                           static_cast<std::uint8_t>(t.ms >> 24)};
      return s.Write(b, sizeof b);
    }
    case VKind::Text:
      return WriteText(s, v.text());
    case VKind::Blob:
    case VKind::Image:
      return WriteBytes(s, v.bytes());
    case VKind::Uuid:
      return s.Write(v.uuid().bytes.data(), 16);
    case VKind::Unknown:
      break;
  }
  s.Fail(VStreamError::kBadValue);
  return false;
}

bool ReadValue(VStream& s, VKind kind, VValue& out) {
  out = VValue::Null(kind);
  switch (kind) {
    case VKind::Boolean: {
      std::uint16_t v;
      if (!s.GetU16(v)) return false;
      out = VBoolean(v != 0);
      return true;
    }
    case VKind::Byte: {
      std::uint16_t v;
      if (!s.GetU16(v)) return false;
      out = VByte(static_cast<std::int8_t>(v & 0xFF));
      return true;
    }
    case VKind::Word: {
      std::int16_t v;
      if (!s.GetI16(v)) return false;
      out = VWord(v);
      return true;
    }
    case VKind::Long: {
      std::int32_t v;
      if (!s.GetI32(v)) return false;
      out = VLong(v);
      return true;
    }
    case VKind::Long8:
    case VKind::Duration: {
      std::int64_t v;
      if (!s.GetI64(v)) return false;
      out = VValue::Integer(kind, v);
      return true;
    }
    case VKind::Real: {
      double v;
      if (!s.GetDouble(v)) return false;
      out = VReal(v);
      return true;
    }
    case VKind::Float: {
      VFloat f;
      if (!ReadFloat(s, f)) return false;
      out = VValue(std::move(f));
      return true;
    }
    case VKind::Time: {
      std::uint8_t b[8];
      if (!s.Read(b, sizeof b)) return false;
      VTime t;
      t.year = static_cast<std::uint16_t>(b[0] | (b[1] << 8));
      t.month = b[2];
      t.day = b[3];
      t.ms = static_cast<std::uint32_t>(b[4]) | (static_cast<std::uint32_t>(b[5]) << 8) |
             (static_cast<std::uint32_t>(b[6]) << 16) | (static_cast<std::uint32_t>(b[7]) << 24);
      out = VValue(t);
      return true;
    }
    case VKind::Text: {
      VString t;
      if (!ReadText(s, t)) return false;
      out = VValue(std::move(t));
      return true;
    }
    case VKind::Blob:
    case VKind::Image: {
      VBytes b;
      if (!ReadBytes(s, b)) return false;
      out = VValue::Bytes(kind, std::move(b));
      return true;
    }
    case VKind::Uuid: {
      VUUID u;
      if (!s.Read(u.bytes.data(), 16)) return false;
      out = VValue(u);
      return true;
    }
    case VKind::Unknown:
      break;
  }
  s.Fail(VStreamError::kBadValue);
  return false;
}

bool ReadValueInPlace(VStream& s, VKind kind, VValue& out) {
  // Storage above this is given back rather than kept for the next value.
  constexpr std::size_t kKeptUnits = std::size_t{1} << 16;
  switch (kind) {
    case VKind::Long: {
      std::int32_t v;
      if (!s.GetI32(v)) break;
      out.SetInteger(kind, v);
      return true;
    }
    case VKind::Long8:
    case VKind::Duration: {
      std::int64_t v;
      if (!s.GetI64(v)) break;
      out.SetInteger(kind, v);
      return true;
    }
    case VKind::Real: {
      double v;
      if (!s.GetDouble(v)) break;
      out.SetReal(v);
      return true;
    }
    case VKind::Text: {
      VString& text = out.mutable_text();
      if (text.capacity() > kKeptUnits) VString().swap(text);
      if (ReadText(s, text)) return true;
      break;
    }
    case VKind::Float: {
      VFloat& decimal = out.mutable_decimal();
      if (decimal.digits().capacity() > kKeptUnits) decimal = VFloat();
      if (ReadFloat(s, decimal)) return true;
      break;
    }
    default:
      return ReadValue(s, kind, out);
  }
  out = VValue::Null(kind);
  return false;
}

}  // namespace corvane
