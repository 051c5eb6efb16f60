#include "statement/guid_bytes.h"

namespace kestrion {

std::array<std::uint8_t, 16> CanonicalGuidBytes(const SQLGUID& g) {
  std::array<std::uint8_t, 16> b{};
  const std::uint32_t d1 = g.Data1;
  b[0] = static_cast<std::uint8_t>(d1 >> 24);
  b[1] = static_cast<std::uint8_t>(d1 >> 16);
  b[2] = static_cast<std::uint8_t>(d1 >> 8);
  b[3] = static_cast<std::uint8_t>(d1);
  b[4] = static_cast<std::uint8_t>(g.Data2 >> 8);
  b[5] = static_cast<std::uint8_t>(g.Data2);
  b[6] = static_cast<std::uint8_t>(g.Data3 >> 8);
  b[7] = static_cast<std::uint8_t>(g.Data3);
  for (int i = 0; i < 8; ++i) b[8 + i] = g.Data4[i];
  return b;
}

SQLGUID GuidOfCanonicalBytes(const std::array<std::uint8_t, 16>& b) {
  SQLGUID g{};
  g.Data1 = static_cast<decltype(g.Data1)>(std::uint32_t{b[0]} << 24 | std::uint32_t{b[1]} << 16 |
                                           std::uint32_t{b[2]} << 8 | b[3]);
  g.Data2 = static_cast<decltype(g.Data2)>(b[4] << 8 | b[5]);
  g.Data3 = static_cast<decltype(g.Data3)>(b[6] << 8 | b[7]);
  for (int i = 0; i < 8; ++i) g.Data4[i] = b[8 + i];
  return g;
}

}  // namespace kestrion
