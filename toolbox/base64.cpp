#include "toolbox/base64.h"

namespace corvane {

namespace {
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int DecodeChar(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

template <typename Out>
bool DecodeInto(std::string_view text, Out& out) {
  std::string clean;
  clean.reserve(text.size());
  for (char c : text) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
    clean.push_back(c);
  }
  if (clean.size() % 4 != 0) return false;
  out.reserve(clean.size() / 4 * 3);
  for (std::size_t i = 0; i < clean.size(); i += 4) {
    const bool last = i + 4 == clean.size();
    int v[4];
    int pad = 0;
    for (int k = 0; k < 4; ++k) {
      char c = clean[i + k];
      if (c == '=') {
        if (!last || k < 2) return false;
        ++pad;
        v[k] = 0;
      } else {
        if (pad > 0) return false;  // data after padding
        v[k] = DecodeChar(c);
        if (v[k] < 0) return false;
      }
    }
    std::uint32_t n = (static_cast<std::uint32_t>(v[0]) << 18) | (static_cast<std::uint32_t>(v[1]) << 12) |
                      (static_cast<std::uint32_t>(v[2]) << 6) | static_cast<std::uint32_t>(v[3]);
    out.push_back(static_cast<typename Out::value_type>((n >> 16) & 0xFF));
    if (pad < 2) out.push_back(static_cast<typename Out::value_type>((n >> 8) & 0xFF));
    if (pad < 1) out.push_back(static_cast<typename Out::value_type>(n & 0xFF));
  }
  return true;
}
}  // namespace

std::string Base64Encode(std::span<const std::uint8_t> b) {
  std::string out;
  out.reserve((b.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= b.size(); i += 3) {
    std::uint32_t n = (static_cast<std::uint32_t>(b[i]) << 16) | (static_cast<std::uint32_t>(b[i + 1]) << 8) | b[i + 2];
    out.push_back(kAlphabet[(n >> 18) & 63]);
    out.push_back(kAlphabet[(n >> 12) & 63]);
    out.push_back(kAlphabet[(n >> 6) & 63]);
    out.push_back(kAlphabet[n & 63]);
  }
  std::size_t rest = b.size() - i;
  if (rest > 0) {
    std::uint32_t n = static_cast<std::uint32_t>(b[i]) << 16;
    if (rest == 2) n |= static_cast<std::uint32_t>(b[i + 1]) << 8;
    out.push_back(kAlphabet[(n >> 18) & 63]);
    out.push_back(kAlphabet[(n >> 12) & 63]);
    out.push_back(rest == 2 ? kAlphabet[(n >> 6) & 63] : '=');
    out.push_back('=');
  }
  return out;
}

std::string Base64Encode(std::string_view bytes) {
  return Base64Encode(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

std::optional<std::vector<std::uint8_t>> Base64Decode(std::string_view text) {
  std::vector<std::uint8_t> out;
  if (!DecodeInto(text, out)) return std::nullopt;
  return out;
}

std::optional<std::string> Base64DecodeText(std::string_view text) {
  std::string out;
  if (!DecodeInto(text, out)) return std::nullopt;
  return out;
}

}  // namespace corvane
