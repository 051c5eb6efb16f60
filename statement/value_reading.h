// How a value reads as a number when an application asks for a numeric C
// type: as a 64-bit integer, a double or an exact decimal, by its kind.
#pragma once

#include <cstdint>
#include <string_view>

#include "statement/conversion_status.h"
#include "toolbox/value.h"

namespace kestrion {

// A boolean gives 0 or 1; the integer kinds their value; a real its value
// truncated toward zero (saturated at the int64 limits, NaN gives 0); a
// decimal its integer part (cut to the low 64 bits); a duration its whole
// seconds; a text by ReadTextAsInt64; a UUID, a blob or a null value 0.
// A time value has no numeric reading: kNotPossible.
Conversion ReadAsInt64(const corvane::VValue& v, int64_t& out);

// As above, as a double: a decimal gives the nearest double, a duration its
// milliseconds / 1000.0, a text ReadTextAsDouble.
Conversion ReadAsDouble(const corvane::VValue& v, double& out);

// As above, as an exact decimal: a duration gives its seconds with the
// milliseconds as fraction, a real its shortest exact decimal (NaN and
// infinities are kOutOfRange), a text its decimal reading (or, when it is
// not a plain number, ReadTextAsDouble's).
Conversion ReadAsDecimal(const corvane::VValue& v, corvane::VFloat& out);

// The decimal digits of the text in order, every other character skipped,
// up to the first `decimal_separator`; negative when a '-' comes before any
// non-zero digit. Wraps modulo 2^64 past the int64 range.
int64_t ReadTextAsInt64(std::u16string_view text, char16_t decimal_separator);

// The C library's reading of a floating-point number at the start of the
// text, with '.' as decimal point whatever the locale; leading blanks are
// skipped; 0 when no number starts the text.
double ReadTextAsDouble(std::u16string_view text);

}  // namespace kestrion
