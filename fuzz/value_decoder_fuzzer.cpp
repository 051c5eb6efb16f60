// Every value layout of the wire: decode values of a kind chosen by the first
// byte from the rest of the input; a value that decodes must encode, and its
// encoding must decode to a value that encodes to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "toolbox/value.h"
#include "toolbox/value_codec.h"
#include "toolbox/vfloat.h"

using corvane::VKind;
using corvane::VMemoryStream;
using corvane::VValue;

namespace {
std::vector<std::uint8_t> Encode(const VValue& v) {
  VMemoryStream out;
  if (!corvane::WriteValue(out, v)) std::abort();
  return out.TakeBuffer();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const auto kind = static_cast<VKind>(data[0] % 14);
  VMemoryStream in(std::span<const std::uint8_t>(data + 1, size - 1));
  for (int n = 0; n < 64 && in.remaining() > 0; ++n) {
    VValue v;
    if (!corvane::ReadValue(in, kind, v)) break;
    if (kind == VKind::Unknown) break;
    const std::vector<std::uint8_t> first = Encode(v);
    VMemoryStream again{std::span<const std::uint8_t>(first)};
    VValue back;
    if (!corvane::ReadValue(again, kind, back) || again.remaining() != 0) std::abort();
    if (Encode(back) != first) std::abort();
    if (kind == VKind::Float) {
      const corvane::VFloat& f = v.decimal();
      f.ToDouble();
      f.ToInt64();
      const std::string text = f.ToText();
      // Text reading bounds its exponents; within them the text reads back
      // as the same number.
      if (f.exponent() > -100000000 && f.exponent() < 100000000) {
        auto parsed = corvane::VFloat::FromText(text);
        if (!parsed || !(*parsed == f)) std::abort();
      }
    }
  }
  return 0;
}
