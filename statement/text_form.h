// The text a value shows when an application reads it into a text buffer.
#pragma once

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
//  - a boolean: "true" or "false"; an integer: its decimal digits;
//  - a real: printf "%.14G" (with '.' whatever the locale);
//  - a decimal: fixed point with at least one fraction digit ("2.0",
//    "0.025", "-12.5"); beyond 400 zero digits the scientific form;
//  - a duration: "HH:MM:SS" with the hours modulo 24, ".mmm" when there are
//    milliseconds, "-" in front of a negative one;
//  - a time: the date by the locale's short date pattern (years always with
//    four digits), a space and hours and minutes by its time pattern;
//  - a UUID: 32 upper-case hexadecimal digits in stored order;
//  - a blob or image: two upper-case hexadecimal digits per byte;
//  - a null or unknown value: the empty text.
std::u16string_view TextFormOf(const corvane::VValue& v, TextScratch& scratch,
                               const LocaleFormats& locale = UserLocaleFormats());

// Pieces of the above, for callers that build texts of their own.
std::u16string_view DurationText(int64_t ms, TextScratch& scratch);
std::u16string_view DecimalText(const corvane::VFloat& f, TextScratch& scratch);
std::u16string_view RealText(double d, TextScratch& scratch);
std::u16string_view TimeText(const corvane::VTime& t, const LocaleFormats& locale,
                             TextScratch& scratch);

}  // namespace kestrion
