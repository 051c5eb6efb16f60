#include "statement/hex_text.h"

namespace kestrion {

corvane::VBytes HexToBytes(std::u16string_view text) {
  corvane::VBytes out(static_cast<std::size_t>(HexByteCount(text)));
  for (std::size_t i = 0; i < out.size(); ++i) out[i] = HexByteAt(text, i);
  return out;
}

void AppendHex(const uint8_t* bytes, std::size_t n, std::u16string& out) {
  static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  std::size_t at = out.size();
  out.resize(at + 2 * n);
  for (std::size_t i = 0; i < n; ++i) {
    out[at + 2 * i] = kDigits[bytes[i] >> 4];
    out[at + 2 * i + 1] = kDigits[bytes[i] & 0xF];
  }
}

}  // namespace kestrion
