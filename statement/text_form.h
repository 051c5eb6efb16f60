// The text a value shows when an application reads it into a text buffer.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "statement/locale_formats.h"
#include "toolbox/value.h"

namespace kestrion {

// Room for the text of a value that is not itself a text. Short forms stay in
// `small`; long ones (blobs, long decimals) go to `big`.
struct TextScratch {
  char16_t small[96];
  std::u16string big;
};

// The text of a value:
//  - a text: itself (the view refers to the value, nothing is copied);
//  - a boolean: "1" or "0"; an integer: its decimal digits;
//  - a real: printf "%.14G" (with '.' whatever the locale);
//  - a decimal: fixed point with at least one fraction digit ("2.0",
//    "0.025", "-12.5"); beyond 400 zero digits the scientific form;
//  - a duration: "HH:MM:SS" with the hours modulo 24, ".mmm" when there are
//    milliseconds, "-" in front of a negative one;
//  - a time: "yyyy-mm-dd hh:mm:ss", ".fff" added when there are
//    milliseconds; a time without a date only "hh:mm:ss[.fff]"; the same
//    whatever the locale, so that applications can read it back;
//  - a UUID: "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx" in upper case, the bytes
//    in stored (canonical) order;
//  - a blob or image: two upper-case hexadecimal digits per byte;
//  - a null or unknown value: the empty text.
std::u16string_view TextFormOf(const corvane::VValue& v, TextScratch& scratch);

// Pieces of the above, for callers that build texts of their own.
std::u16string_view DurationText(int64_t ms, TextScratch& scratch);
std::u16string_view DecimalText(const corvane::VFloat& f, TextScratch& scratch);
std::u16string_view RealText(double d, TextScratch& scratch);
std::u16string_view OdbcTimeText(const corvane::VTime& t, TextScratch& scratch);
std::u16string_view GuidText(const std::array<uint8_t, 16>& bytes, TextScratch& scratch);
// A time in the user's short date and time patterns (years always with four
// digits, hours and minutes), for display.
std::u16string_view TimeText(const corvane::VTime& t, const LocaleFormats& locale,
                             TextScratch& scratch);

}  // namespace kestrion
