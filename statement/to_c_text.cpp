// Text and binary targets, delivered piece by piece from an offset.
#include <algorithm>
#include <cstring>
#include <string>

#include "statement/hex_text.h"
#include "statement/text_form.h"
#include "statement/to_c_targets.h"

namespace kestrion::to_c {

using corvane::VKind;
using corvane::VValue;

namespace {

// Encodes UTF-16 as UTF-8 (an unpaired surrogate as U+FFFD), writing the
// bytes from `from` on, at most `room` of them, to `dst`. Returns the length
// of the whole encoding; `written` receives the bytes written.
int64_t Utf8Slice(std::u16string_view s, uint8_t* dst, int64_t from, int64_t room,
                  int64_t& written) {
  int64_t pos = 0;
  written = 0;
  uint8_t seq[4];
  for (std::size_t i = 0; i < s.size(); ++i) {
    char32_t cp = s[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
        s[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    int len;
    if (cp < 0x80) {
      seq[0] = static_cast<uint8_t>(cp);
      len = 1;
    } else if (cp < 0x800) {
      seq[0] = static_cast<uint8_t>(0xC0 | (cp >> 6));
      seq[1] = static_cast<uint8_t>(0x80 | (cp & 0x3F));
      len = 2;
    } else if (cp < 0x10000) {
      seq[0] = static_cast<uint8_t>(0xE0 | (cp >> 12));
      seq[1] = static_cast<uint8_t>(0x80 | ((cp >> 6) & 0x3F));
      seq[2] = static_cast<uint8_t>(0x80 | (cp & 0x3F));
      len = 3;
    } else {
      seq[0] = static_cast<uint8_t>(0xF0 | (cp >> 18));
      seq[1] = static_cast<uint8_t>(0x80 | ((cp >> 12) & 0x3F));
      seq[2] = static_cast<uint8_t>(0x80 | ((cp >> 6) & 0x3F));
      seq[3] = static_cast<uint8_t>(0x80 | (cp & 0x3F));
      len = 4;
    }
    for (int k = 0; k < len; ++k, ++pos)
      if (pos >= from && written < room) dst[written++] = seq[k];
  }
  return pos;
}

bool IsAscii(std::u16string_view s) {
  char16_t any = 0;
  for (char16_t c : s) any |= c;
  return any < 0x80;
}

CResult WideText(const CTarget& t, std::u16string_view src) {
  CResult r;
  const int64_t data = 2 * static_cast<int64_t>(src.size());
  r.full_length = data + 2;
  // Whole units only: an odd last byte of the buffer stays unused.
  const int64_t usable = t.capacity & ~int64_t{1};
  if (t.buffer == nullptr || usable < 2) return r;
  const int64_t from = std::min(std::max<int64_t>(t.offset, 0), data) & ~int64_t{1};
  const int64_t n = std::min(data - from, usable - 2);
  auto* dst = static_cast<uint8_t*>(t.buffer);
  std::memcpy(dst, reinterpret_cast<const uint8_t*>(src.data()) + from, static_cast<std::size_t>(n));
  dst[n] = 0;
  dst[n + 1] = 0;
  r.delivered = n;
  return r;
}

// Copies bytes [from, from + room) of an encoded text and terminates.
CResult SliceNarrow(const CTarget& t, const std::string& bytes) {
  CResult r;
  const int64_t size = static_cast<int64_t>(bytes.size());
  r.full_length = size + 1;
  if (t.buffer == nullptr || t.capacity < 1) return r;
  const int64_t from = std::max<int64_t>(t.offset, 0);
  const int64_t n = from < size ? std::min(size - from, t.capacity - 1) : 0;
  auto* dst = static_cast<char*>(t.buffer);
  if (n > 0) std::memcpy(dst, bytes.data() + from, static_cast<std::size_t>(n));
  dst[n] = 0;
  r.delivered = n;
  return r;
}

std::string Encode(std::u16string_view src, Charset cs) {
  corvane::VString s(src);
  return cs == Charset::Utf8 ? s.ToUtf8() : s.ToLocal();
}

CResult NarrowText(const CTarget& t, std::u16string_view src) {
  if (PieceCache* cache = t.pieces) {
    if (t.offset <= 0 || cache->source != src.data() || cache->units != src.size() ||
        cache->charset != t.charset) {
      cache->narrow = Encode(src, t.charset);
      cache->source = src.data();
      cache->units = src.size();
      cache->charset = t.charset;
    }
    return SliceNarrow(t, cache->narrow);
  }
  if (t.charset != Charset::Utf8) return SliceNarrow(t, Encode(src, t.charset));
  if (t.offset <= 0 && IsAscii(src)) {
    // ASCII is its own UTF-8: one byte per unit.
    CResult r;
    const int64_t size = static_cast<int64_t>(src.size());
    r.full_length = size + 1;
    if (t.buffer == nullptr || t.capacity < 1) return r;
    const int64_t n = std::min(size, t.capacity - 1);
    auto* dst = static_cast<char*>(t.buffer);
    for (int64_t i = 0; i < n; ++i) dst[i] = static_cast<char>(src[static_cast<std::size_t>(i)]);
    dst[n] = 0;
    r.delivered = n;
    return r;
  }
  CResult r;
  const bool can_write = t.buffer != nullptr && t.capacity >= 1;
  auto* dst = static_cast<uint8_t*>(t.buffer);
  int64_t n = 0;
  r.full_length = Utf8Slice(src, dst, std::max<int64_t>(t.offset, 0), can_write ? t.capacity - 1 : 0, n) + 1;
  if (can_write) dst[n] = 0;
  r.delivered = n;
  return r;
}

// A blob as hexadecimal text, written piece by piece without building it.
CResult HexText(const CTarget& t, const corvane::VBytes& bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  const int64_t units = 2 * static_cast<int64_t>(bytes.size());
  auto digit = [&](int64_t i) {
    uint8_t b = bytes[static_cast<std::size_t>(i / 2)];
    return kDigits[i % 2 == 0 ? b >> 4 : b & 0xF];
  };
  CResult r;
  if (t.c_class == kClassWChar) {
    r.full_length = 2 * units + 2;
    const int64_t usable = t.capacity & ~int64_t{1};
    if (t.buffer == nullptr || usable < 2) return r;
    const int64_t from = std::min(std::max<int64_t>(t.offset, 0) / 2, units);
    const int64_t n = std::min(units - from, (usable - 2) / 2);
    auto* dst = static_cast<char16_t*>(t.buffer);
    for (int64_t i = 0; i < n; ++i) dst[i] = static_cast<char16_t>(digit(from + i));
    dst[n] = 0;
    r.delivered = 2 * n;
    return r;
  }
  r.full_length = units + 1;
  if (t.buffer == nullptr || t.capacity < 1) return r;
  const int64_t from = std::min(std::max<int64_t>(t.offset, 0), units);
  const int64_t n = std::min(units - from, t.capacity - 1);
  auto* dst = static_cast<char*>(t.buffer);
  for (int64_t i = 0; i < n; ++i) dst[i] = digit(from + i);
  dst[n] = 0;
  r.delivered = n;
  return r;
}

}  // namespace

CResult Text(const CTarget& t, const VValue& v) {
  if (!v.is_null() && (v.kind() == VKind::Blob || v.kind() == VKind::Image))
    return HexText(t, v.bytes());
  TextScratch scratch;
  std::u16string_view src = TextFormOf(v, scratch);
  return t.c_class == kClassWChar ? WideText(t, src) : NarrowText(t, src);
}

CResult Binary(const CTarget& t, const VValue& v) {
  CResult r;
  const int64_t from = std::max<int64_t>(t.offset, 0);
  const int64_t room = t.buffer != nullptr ? std::max<int64_t>(t.capacity, 0) : 0;
  auto* dst = static_cast<uint8_t*>(t.buffer);
  const uint8_t* bytes = nullptr;
  int64_t size = 0;
  switch (v.kind()) {
    case VKind::Blob:
    case VKind::Image:
      bytes = v.bytes().data();
      size = static_cast<int64_t>(v.bytes().size());
      break;
    case VKind::Uuid:
      bytes = v.uuid().bytes.data();
      size = 16;
      break;
    case VKind::Text: {
      std::u16string_view text = v.text();
      size = HexByteCount(text);
      r.full_length = size;
      const int64_t n = from < size ? std::min(size - from, room) : 0;
      for (int64_t i = 0; i < n; ++i) dst[i] = HexByteAt(text, static_cast<std::size_t>(from + i));
      r.delivered = n;
      return r;
    }
    default:
      break;
  }
  r.full_length = size;
  const int64_t n = from < size ? std::min(size - from, room) : 0;
  if (n > 0) std::memcpy(dst, bytes + from, static_cast<std::size_t>(n));
  r.delivered = n;
  return r;
}

}  // namespace kestrion::to_c
