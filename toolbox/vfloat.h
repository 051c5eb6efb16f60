// VFloat: an exact decimal number.
//   value = sign x 0.d1 d2 ... dn x 10^exponent
// The digits are kept normalised: no leading and no trailing zero digit, and
// zero has sign 0 and no digits.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvane {

class VFloat {
 public:
  VFloat() = default;  // zero

  // From parts; `digits` are ASCII '0'..'9'. The result is normalised. Returns
  // nothing when a digit is not a decimal digit, sign is out of -1..1 or the
  // normalised exponent does not fit in 32 bits.
  static std::optional<VFloat> FromParts(int sign, std::int32_t exponent, std::string_view digits);

  // Replaces the value in place from the wire's digit pairs (0..99 each, most
  // significant first; `count` digits), keeping the digit storage. False,
  // with the value left zero, when a pair is above 99 or sign is not -1..1.
  bool AssignPairs(int sign, std::int32_t exponent, const std::uint8_t* pairs, std::int32_t count);

  static VFloat FromInt64(std::int64_t v);
  // Shortest decimal text that reads back as the same double; nothing for NaN
  // and infinities.
  static std::optional<VFloat> FromDouble(double v);
  // Decimal text: optional sign, digits with an optional point, optional
  // exponent ("12.50", "-0.025", "1e5", ".5"). Surrounding spaces are allowed.
  static std::optional<VFloat> FromText(std::string_view text);

  int sign() const { return sign_; }
  std::int32_t exponent() const { return exponent_; }
  // Significant digits as ASCII '0'..'9'.
  const std::string& digits() const { return digits_; }
  bool is_zero() const { return sign_ == 0; }

  // Plain notation ("12.5", "-0.025", "100000"); scientific ("1.5e+300") when
  // the plain form would need more than 40 zero digits.
  std::string ToText() const;
  // Nearest double (infinity when out of range).
  double ToDouble() const;
  // The exact integer value; nothing when fractional or out of range.
  std::optional<std::int64_t> ToInt64() const;
  bool IsInteger() const;

  friend bool operator==(const VFloat& a, const VFloat& b) = default;

 private:
  void Normalise();

  int sign_ = 0;
  std::int32_t exponent_ = 0;
  std::string digits_;
};

}  // namespace corvane
