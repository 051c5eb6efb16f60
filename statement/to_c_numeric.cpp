// The SQL_NUMERIC_STRUCT target.
#include <sql.h>
#include <sqlext.h>

#include <cstring>

#include "statement/to_c_targets.h"
#include "statement/value_reading.h"

namespace kestrion::to_c {

namespace {
__extension__ typedef unsigned __int128 U128;

int DigitCount(U128 v) {
  int n = 1;
  while (v >= 10) {
    v /= 10;
    ++n;
  }
  return n;
}
}  // namespace

CResult Numeric(const CTarget& t, const corvane::VValue& v) {
  const int scale = t.scale < 0 ? 0 : t.scale >= 16 ? 15 : t.scale;
  corvane::VFloat f;
  Conversion c = ReadAsDecimal(v, f);
  if (c != Conversion::kOk) return {c, 0, 0};

  // The magnitude times 10^scale, rounded half away from zero.
  const std::string& digits = f.digits();
  const int64_t n = static_cast<int64_t>(digits.size());
  const int64_t whole = static_cast<int64_t>(f.exponent()) + scale;  // digits before the point
  if (whole > 39) return {Conversion::kOutOfRange, 0, 0};
  U128 mag = 0;
  const U128 kMax = ~U128{0};
  for (int64_t i = 0; i < whole; ++i) {
    unsigned d = i < n ? static_cast<unsigned>(digits[i] - '0') : 0;
    if (mag > (kMax - d) / 10) return {Conversion::kOutOfRange, 0, 0};
    mag = mag * 10 + d;
  }
  if (!f.is_zero() && whole >= 0 && whole < n && digits[whole] >= '5') {
    if (mag == kMax) return {Conversion::kOutOfRange, 0, 0};
    ++mag;
  }
  const int precision = DigitCount(mag);
  if (precision > 38) return {Conversion::kOutOfRange, 0, 0};

  SQL_NUMERIC_STRUCT out;
  std::memset(&out, 0, sizeof out);
  out.precision = static_cast<SQLCHAR>(precision);
  out.scale = static_cast<SQLSCHAR>(scale);
  out.sign = (f.sign() < 0 && mag != 0) ? 0 : 1;
  for (int i = 0; i < SQL_MAX_NUMERIC_LEN; ++i) {
    out.val[i] = static_cast<SQLCHAR>(mag & 0xFF);
    mag >>= 8;
  }
  static_assert(sizeof(SQL_NUMERIC_STRUCT) == 19);
  return Fixed(t, &out, sizeof out);
}

}  // namespace kestrion::to_c
