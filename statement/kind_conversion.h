// Conversion of a parameter value to the kind the server expects for the
// parameter's SQL type, so that the kind named in the request always matches
// the bytes that follow it.
#pragma once

#include <cstdint>
#include <string_view>

#include "statement/conversion_status.h"
#include "toolbox/value.h"

namespace kestrion {

// The value kind of an SQL type class (kind name of the type tables);
// Unknown for the default class and classes without a kind.
corvane::VKind KindOfClass(int16_t sql_class);

// Converts `v` in place to `kind`, keeping everything the kind can hold:
//  - integer kinds: from integers, reals and decimals (a fraction is cut),
//    range-checked (kOutOfRange); a boolean takes 0 and 1 only;
//  - real and decimal: from every number (NaN and infinities kOutOfRange for
//    a decimal);
//  - text: the exact text of the value (numbers in full, a time as
//    "YYYY-MM-DD HH:MM:SS[.fff]", a duration as "[-]H:MM:SS[.fff]", bytes
//    in hexadecimal, a boolean "1" or "0");
//  - time: from a duration within a day (a time of day with an empty date);
//  - duration: from a time value, its time of day;
//  - blob: from a UUID; UUID: from a blob of 16 bytes;
//  - from a text, by reading the text as that kind (ReadTextAsKind).
// A null value becomes a null value of the kind. Kind Unknown keeps the
// value. Anything else is kNotPossible, and `v` is left as it was.
// A failed allocation throws std::bad_alloc.
Conversion ConvertToKind(corvane::VValue& v, corvane::VKind kind);

// Reads a parameter text as a value of `kind`:
//  - boolean: "true"/"false" (any case) or the numbers 0 and 1;
//  - integers, real, decimal: a decimal number ("12", "-0.5", "1e3"), blanks
//    around allowed; a fraction is cut for the integer kinds;
//  - time and duration: the escapes {d '...'}, {t '...'}, {ts '...'} or the
//    plain forms "2024-03-01 14:05:09.123", "2024-03-01", "14:05:09"; a time
//    text gives a duration, or a time value with the empty date. An escape
//    that is no real date or time gives a null value of the kind;
//  - blob: hexadecimal pairs; UUID: 32 hexadecimal digits, dashes allowed;
//  - text: the text itself.
// A text that does not read is kInvalidText, a number too large kOutOfRange.
Conversion ReadTextAsKind(std::u16string_view text, corvane::VKind kind, corvane::VValue& out);

}  // namespace kestrion
