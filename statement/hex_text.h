// Hexadecimal text of byte strings, both ways.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "toolbox/value.h"

namespace kestrion {

// The value of one hexadecimal digit: 0-9, a-f and A-F as usual; any other
// character is read by the letter rule (its code minus 55), cut to 4 bits.
inline unsigned HexDigitValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return static_cast<unsigned>(c - u'0');
  if (c >= u'a' && c <= u'f') return static_cast<unsigned>(c - u'a' + 10);
  return static_cast<unsigned>(c - 55) & 0xFu;
}

// Number of bytes a hexadecimal text gives: one per pair of digits, and one
// for an odd last digit (read as its high half).
inline int64_t HexByteCount(std::u16string_view text) {
  return static_cast<int64_t>((text.size() + 1) / 2);
}

// Byte `i` (< HexByteCount) of a hexadecimal text.
inline uint8_t HexByteAt(std::u16string_view text, std::size_t i) {
  unsigned hi = HexDigitValue(text[2 * i]);
  unsigned lo = 2 * i + 1 < text.size() ? HexDigitValue(text[2 * i + 1]) : 0;
  return static_cast<uint8_t>(hi << 4 | lo);
}

corvane::VBytes HexToBytes(std::u16string_view text);

// Two upper-case hexadecimal digits per byte, appended to `out`.
void AppendHex(const uint8_t* bytes, std::size_t n, std::u16string& out);

}  // namespace kestrion
