#include "toolbox/vfloat.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace corvane {

void VFloat::Normalise() {
  std::size_t lead = digits_.find_first_not_of('0');
  if (lead == std::string::npos) {
    sign_ = 0;
    exponent_ = 0;
    digits_.clear();
    return;
  }
  if (lead > 0) {
    digits_.erase(0, lead);
    // Callers make sure this stays within 32 bits (FromParts refuses the rest).
    exponent_ = static_cast<std::int32_t>(static_cast<std::int64_t>(exponent_) -
                                          static_cast<std::int64_t>(lead));
  }
  std::size_t last = digits_.find_last_not_of('0');
  digits_.resize(last + 1);
  if (sign_ == 0) sign_ = 1;
}

namespace {

// Normalising lowers the exponent by the leading zero digits: a number whose
// exponent would then fall below INT32_MIN cannot be represented.
bool ExponentSurvivesNormalising(const std::string& digits, std::int32_t exponent) {
  const std::size_t lead = std::min(digits.find_first_not_of('0'), digits.size());
  return lead == digits.size() ||
         static_cast<std::int64_t>(exponent) - static_cast<std::int64_t>(lead) >= INT32_MIN;
}

}  // namespace

std::optional<VFloat> VFloat::FromParts(int sign, std::int32_t exponent, std::string_view digits) {
  if (sign < -1 || sign > 1) return std::nullopt;
  for (char c : digits)
    if (c < '0' || c > '9') return std::nullopt;
  VFloat f;
  f.sign_ = sign;
  f.exponent_ = exponent;
  f.digits_.assign(digits);
  if (sign == 0) f.digits_.clear();
  if (!ExponentSurvivesNormalising(f.digits_, exponent)) return std::nullopt;
  f.Normalise();
  return f;
}

bool VFloat::AssignPairs(int sign, std::int32_t exponent, const std::uint8_t* pairs,
                         std::int32_t count) {
  digits_.clear();
  sign_ = 0;
  exponent_ = 0;
  if (sign < -1 || sign > 1 || count < 0) return false;
  digits_.resize(static_cast<std::size_t>(count) + 1);  // room for an odd count's pair
  char* d = digits_.data();
  for (std::int32_t i = 0; i < count; i += 2) {
    const std::uint8_t pair = pairs[i / 2];
    if (pair > 99) {
      digits_.clear();
      return false;
    }
    d[i] = static_cast<char>('0' + pair / 10);
    d[i + 1] = static_cast<char>('0' + pair % 10);
  }
  digits_.resize(static_cast<std::size_t>(count));
  if (sign == 0) digits_.clear();
  if (!ExponentSurvivesNormalising(digits_, exponent)) {
    digits_.clear();
    return false;
  }
  sign_ = sign;
  exponent_ = exponent;
  Normalise();
  return true;
}

VFloat VFloat::FromInt64(std::int64_t v) {
  VFloat f;
  if (v == 0) return f;
  std::uint64_t mag = v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
  f.sign_ = v < 0 ? -1 : 1;
  f.digits_ = std::to_string(mag);
  f.exponent_ = static_cast<std::int32_t>(f.digits_.size());
  f.Normalise();
  return f;
}

std::optional<VFloat> VFloat::FromDouble(double v) {
  if (v != v || v - v != 0) return std::nullopt;  // NaN or infinity
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
  if (r.ec != std::errc()) return std::nullopt;
  return FromText(std::string_view(buf, static_cast<std::size_t>(r.ptr - buf)));
}

std::optional<VFloat> VFloat::FromText(std::string_view t) {
  while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
  while (!t.empty() && (t.back() == ' ' || t.back() == '\t')) t.remove_suffix(1);
  std::size_t i = 0;
  int sign = 1;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
    if (t[i] == '-') sign = -1;
    ++i;
  }
  std::string digits;
  std::int64_t point = -1;  // digits before the point
  bool any = false;
  for (; i < t.size(); ++i) {
    char c = t[i];
    if (c >= '0' && c <= '9') {
      any = true;
      if (digits.size() > 100000) return std::nullopt;
      digits.push_back(c);
    } else if (c == '.' && point < 0) {
      point = static_cast<std::int64_t>(digits.size());
    } else {
      break;
    }
  }
  if (!any) return std::nullopt;
  if (point < 0) point = static_cast<std::int64_t>(digits.size());
  std::int64_t exp10 = 0;
  if (i < t.size()) {
    if (t[i] != 'e' && t[i] != 'E') return std::nullopt;
    ++i;
    int esign = 1;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
      if (t[i] == '-') esign = -1;
      ++i;
    }
    if (i >= t.size()) return std::nullopt;
    for (; i < t.size(); ++i) {
      if (t[i] < '0' || t[i] > '9') return std::nullopt;
      exp10 = exp10 * 10 + (t[i] - '0');
      if (exp10 > 1000000000) return std::nullopt;
    }
    exp10 *= esign;
  }
  std::int64_t exponent = point + exp10;
  // Leading zeros move the exponent; Normalise does that, but check range first.
  if (exponent > INT32_MAX || exponent < INT32_MIN + 200000) return std::nullopt;
  VFloat f;
  f.sign_ = sign;
  f.exponent_ = static_cast<std::int32_t>(exponent);
  f.digits_ = std::move(digits);
  f.Normalise();
  return f;
}

std::string VFloat::ToText() const {
  if (sign_ == 0) return "0";
  std::string out;
  if (sign_ < 0) out.push_back('-');
  const std::int64_t n = static_cast<std::int64_t>(digits_.size());
  const std::int64_t e = exponent_;
  if (e > n + 40 || e < -40) {
    out.push_back(digits_[0]);
    if (n > 1) {
      out.push_back('.');
      out.append(digits_, 1, std::string::npos);
    }
    out.push_back('e');
    std::int64_t sci = e - 1;
    out.push_back(sci < 0 ? '-' : '+');
    out += std::to_string(sci < 0 ? -sci : sci);
    return out;
  }
  if (e <= 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-e), '0');
    out += digits_;
  } else if (e >= n) {
    out += digits_;
    out.append(static_cast<std::size_t>(e - n), '0');
  } else {
    out.append(digits_, 0, static_cast<std::size_t>(e));
    out.push_back('.');
    out.append(digits_, static_cast<std::size_t>(e), std::string::npos);
  }
  return out;
}

double VFloat::ToDouble() const {
  if (sign_ == 0) return 0.0;
  // Up to 15 digits and a power of ten up to 1e22 are exact doubles, and one
  // multiplication or division of exact values is rounded correctly: the
  // usual values need no text.
  static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                       1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  const auto count = static_cast<std::int64_t>(digits_.size());
  const std::int64_t scale = static_cast<std::int64_t>(exponent_) - count;
  if (count <= 15 && scale >= -22 && scale <= 22) {
    std::uint64_t mantissa = 0;
    for (const char c : digits_) mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
    double d = static_cast<double>(mantissa);
    d = scale >= 0 ? d * kPowers[scale] : d / kPowers[-scale];
    return sign_ < 0 ? -d : d;
  }
  // "-0.<digits>e<exponent>", on the stack for the usual few digits.
  char small[96];
  std::string big;
  char* text = small;
  const std::size_t size = digits_.size() + 16;
  if (size > sizeof small) {
    big.resize(size);
    text = big.data();
  }
  char* p = text;
  if (sign_ < 0) *p++ = '-';
  *p++ = '0';
  *p++ = '.';
  std::memcpy(p, digits_.data(), digits_.size());
  p += digits_.size();
  *p++ = 'e';
  p = std::to_chars(p, text + size - 1, exponent_).ptr;
  *p = 0;
  double d = 0;
  auto r = std::from_chars(text, p, d);
  if (r.ec == std::errc::result_out_of_range) {
    // Too large or too small: strtod gives the right infinity or zero.
    return std::strtod(text, nullptr);
  }
  return d;
}

bool VFloat::IsInteger() const {
  return sign_ == 0 || static_cast<std::int64_t>(exponent_) >= static_cast<std::int64_t>(digits_.size());
}

std::optional<std::int64_t> VFloat::ToInt64() const {
  if (sign_ == 0) return 0;
  if (!IsInteger() || exponent_ > 19) return std::nullopt;
  std::uint64_t mag = 0;
  for (std::int32_t i = 0; i < exponent_; ++i) {
    unsigned d = i < static_cast<std::int32_t>(digits_.size()) ? static_cast<unsigned>(digits_[i] - '0') : 0;
    if (mag > (UINT64_MAX - d) / 10) return std::nullopt;
    mag = mag * 10 + d;
  }
  if (sign_ > 0) {
    if (mag > static_cast<std::uint64_t>(INT64_MAX)) return std::nullopt;
    return static_cast<std::int64_t>(mag);
  }
  if (mag > static_cast<std::uint64_t>(INT64_MAX) + 1) return std::nullopt;
  return static_cast<std::int64_t>(0 - mag);
}

}  // namespace corvane
