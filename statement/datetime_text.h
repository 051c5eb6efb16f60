// Dates and times written as text: the ODBC escapes {d '...'}, {t '...'} and
// {ts '...'}, and the plain forms "2024-03-01 14:05:09.123", "2024-03-01"
// and "14:05:09".
#pragma once

#include <cstdint>
#include <string_view>

namespace kestrion {

enum class DateTimeForm : uint8_t { kTimestamp, kDate, kTime };

struct DateTimeFields {
  int64_t year = 0, month = 0, day = 0;
  int64_t hour = 0, minute = 0, second = 0, ms = 0;
};

enum class DateTimeParse : uint8_t {
  kValid,
  kInvalid,   // read, but not a real date or time (30 February, hour 24 ...)
  kNoValue,   // not a date or time text at all
};

// An escape: a single quote at the fourth character or later; reading starts
// after the first quote. Each number is a run of digits and the character
// that ends it is skipped. "ts" anywhere in the text makes a timestamp (the
// fraction's first three digits are milliseconds), else a "d" a date, else a
// time (hours, minutes, seconds; no validity rule).
DateTimeParse ParseDateTimeEscape(std::u16string_view text, DateTimeForm& form,
                                  DateTimeFields& f);

// An escape as above, or else a plain form: date, optionally followed by a
// time of day with an optional fraction, or a time of day alone.
DateTimeParse ParseDateTimeText(std::u16string_view text, DateTimeForm& form,
                                DateTimeFields& f);

// The date rule: a negative year is invalid; year 0 and month 0 is valid
// exactly with day 0 (the empty date); otherwise month 1 to 12 and a day of
// that month (29 February in leap years only).
bool IsValidDate(int64_t year, int64_t month, int64_t day);
// The date rule, and for a date that is not empty hour <= 23, minute and
// second <= 59, milliseconds <= 999.
bool IsValidTimestamp(const DateTimeFields& f);

// Milliseconds into the day of the time fields.
inline int64_t MsOfDay(const DateTimeFields& f) {
  return ((f.hour * 60 + f.minute) * 60 + f.second) * 1000 + f.ms;
}

}  // namespace kestrion
