// How a value reads as a number when an application asks for a numeric C
// type: as a 64-bit integer, a double or an exact decimal, by its kind.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "statement/conversion_status.h"
#include "toolbox/value.h"
#include "toolbox/vfloat.h"

namespace kestrion {

// A value read as an integer: its integer part, with whether a fraction was
// cut off and whether the value was below zero (-0.5 reads as 0, negative).
struct IntegerReading {
  __extension__ __int128 value = 0;
  bool fraction_lost = false;
  bool negative = false;
};

// A boolean gives 0 or 1; the integer kinds their value; a real or a decimal
// its integer part (NaN, infinities and magnitudes of 39 digits or more are
// kOutOfRange); a duration its whole seconds; a text its reading as a
// number (ReadNumberText), kInvalidText when it is none; a UUID, a blob or a
// null value 0. A time value has no numeric reading: kNotPossible.
Conversion ReadAsInteger(const corvane::VValue& v, IntegerReading& out);

// As above, as a double: a decimal gives the nearest double, a duration its
// milliseconds / 1000.0.
Conversion ReadAsDouble(const corvane::VValue& v, double& out);

// As above, as an exact decimal: a duration gives its seconds with the
// milliseconds as fraction, a real its shortest exact decimal (NaN and
// infinities are kOutOfRange).
Conversion ReadAsDecimal(const corvane::VValue& v, corvane::VFloat& out);

// A text that is a number: blanks around it, an optional sign, digits with
// an optional decimal point ('.', or the locale's separator), an optional
// exponent. Nothing when the text is anything else.
std::optional<corvane::VFloat> ReadNumberText(std::u16string_view text);

}  // namespace kestrion
