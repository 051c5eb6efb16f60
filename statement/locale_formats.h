// What conversions take from the user's default locale (the LANG / LC_*
// environment, not the process's current C locale): the decimal separator
// and the short date and time patterns. Read once and cached, so that the
// per-cell conversions never look the locale up.
#pragma once

#include <string>

namespace kestrion {

struct LocaleFormats {
  // The decimal separator of the locale's numbers.
  char16_t decimal_separator = u'.';
  // strftime-style date pattern with %D and %F expanded ("%m/%d/%y").
  std::u16string date_pattern = u"%m/%d/%Y";
  // strftime-style time pattern reduced to hours and minutes: seconds and the
  // AM/PM marker removed ("%H:%M").
  std::u16string time_pattern = u"%H:%M";
};

// The cached formats of the user's default locale.
const LocaleFormats& UserLocaleFormats();

// Replaces the cached formats (tests only; not safe while other threads
// convert values).
void SetLocaleFormatsForTesting(const LocaleFormats& formats);

// Builds the formats from strftime patterns as the C library reports them
// (D_FMT, T_FMT and the radix character): %D, %F, %T, %R and %r expanded,
// seconds and AM/PM dropped from the time.
LocaleFormats MakeLocaleFormats(std::u16string_view date_fmt, std::u16string_view time_fmt,
                                char16_t decimal_separator);

}  // namespace kestrion
