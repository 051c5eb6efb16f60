// Date, time, timestamp and interval targets.
#include <sql.h>
#include <sqlext.h>

#include <cstring>
#include <ctime>

#include "statement/datetime_text.h"
#include "statement/to_c_targets.h"
#include "statement/value_reading.h"

namespace kestrion::to_c {

using corvane::VKind;
using corvane::VValue;

namespace {

constexpr int64_t kMsPerDay = 86400000;

struct Fields {
  int64_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, ms = 0;
};

void SplitDayMs(int64_t ms, Fields& f) {
  f.hour = ms / 3600000;
  f.minute = ms / 60000 % 60;
  f.second = ms / 1000 % 60;
  f.ms = ms % 1000;
}

// Milliseconds of a number read as seconds; false when it has no such reading
// or does not fit.
bool NumberAsMs(const VValue& v, int64_t& ms) {
  double seconds = 0;
  if (ReadAsDouble(v, seconds) != Conversion::kOk) return false;
  double d = seconds * 1000.0;
  if (!(d > -9.2e18 && d < 9.2e18)) return false;
  ms = static_cast<int64_t>(d);
  return true;
}

bool IsNumberKind(VKind k) {
  switch (k) {
    case VKind::Boolean:
    case VKind::Byte:
    case VKind::Word:
    case VKind::Long:
    case VKind::Long8:
    case VKind::Real:
    case VKind::Float:
      return true;
    default:
      return false;
  }
}

Conversion DurationFields(int64_t ms, Fields& f) {
  if (ms < 0) return Conversion::kOutOfRange;
  f.day = ms / kMsPerDay;
  SplitDayMs(ms % kMsPerDay, f);
  return Conversion::kOk;
}

Conversion SourceFields(const VValue& v, bool access_compatible, bool timestamp, Fields& f) {
  switch (v.kind()) {
    case VKind::Time: {
      const corvane::VTime& t = v.time();
      f.year = t.year;
      f.month = t.month;
      f.day = t.day;
      SplitDayMs(t.ms, f);
      return Conversion::kOk;
    }
    case VKind::Duration: {
      Conversion c = DurationFields(v.integer(), f);
      if (c == Conversion::kOk && access_compatible && timestamp && f.year == 0 && f.month == 0 &&
          f.day == 0) {
        std::time_t now = std::time(nullptr);
        std::tm utc{};
        gmtime_r(&now, &utc);
        f.year = utc.tm_year + 1900;
        f.month = utc.tm_mon + 1;
        f.day = utc.tm_mday;
      }
      return c;
    }
    case VKind::Text: {
      DateTimeForm form;
      DateTimeFields d;
      if (ParseDateTimeText(v.text(), form, d) != DateTimeParse::kValid)
        return Conversion::kInvalidText;
      f = Fields{d.year, d.month, d.day, d.hour, d.minute, d.second, d.ms};
      return Conversion::kOk;
    }
    default: {
      int64_t ms = 0;
      if (!IsNumberKind(v.kind())) return Conversion::kNotPossible;
      if (!NumberAsMs(v, ms)) return Conversion::kOutOfRange;
      return DurationFields(ms, f);
    }
  }
}

}  // namespace

CResult DateTime(const CTarget& t, const VValue& v) {
  // A span of time read as a time of day: 24 hours or more (or less than
  // none) has no such reading, rather than wrapping around midnight.
  if (t.c_class == kClassTime && !v.is_null() && v.kind() == VKind::Duration &&
      (v.integer() < 0 || v.integer() >= kMsPerDay))
    return {Conversion::kDatetimeOverflow, 0, 0};
  Fields f;
  Conversion c = SourceFields(v, t.access_compatible, t.c_class == kClassTimestamp, f);
  if (c != Conversion::kOk) return {c, 0, 0};
  switch (t.c_class) {
    case kClassDate: {
      SQL_DATE_STRUCT d{static_cast<SQLSMALLINT>(f.year), static_cast<SQLUSMALLINT>(f.month),
                        static_cast<SQLUSMALLINT>(f.day)};
      return Fixed(t, &d, sizeof d);
    }
    case kClassTime: {
      SQL_TIME_STRUCT d{static_cast<SQLUSMALLINT>(f.hour), static_cast<SQLUSMALLINT>(f.minute),
                        static_cast<SQLUSMALLINT>(f.second)};
      return Fixed(t, &d, sizeof d);
    }
    default: {
      SQL_TIMESTAMP_STRUCT d{static_cast<SQLSMALLINT>(f.year),   static_cast<SQLUSMALLINT>(f.month),
                             static_cast<SQLUSMALLINT>(f.day),   static_cast<SQLUSMALLINT>(f.hour),
                             static_cast<SQLUSMALLINT>(f.minute), static_cast<SQLUSMALLINT>(f.second),
                             static_cast<SQLUINTEGER>(f.ms * 1000000)};
      return Fixed(t, &d, sizeof d);
    }
  }
}

CResult Interval(const CTarget& t, const VValue& v) {
  int64_t ms = 0;
  switch (v.kind()) {
    case VKind::Duration:
      ms = v.integer();
      break;
    case VKind::Time: {
      // Only a time of day without a date is a span of time.
      const corvane::VTime& tv = v.time();
      if (tv.year != 0 || tv.month != 0 || tv.day != 0) return {Conversion::kNotPossible, 0, 0};
      ms = tv.ms;
      break;
    }
    case VKind::Text: {
      // "[-]H:MM:SS[.fff]" with any number of hours, or a time escape.
      std::u16string_view text = v.text();
      DateTimeForm form;
      DateTimeFields d;
      bool negative = false;
      std::size_t b = 0;
      while (b < text.size() && text[b] == u' ') ++b;
      if (b < text.size() && text[b] == u'-') {
        negative = true;
        ++b;
      }
      DateTimeParse p = ParseDateTimeText(text.substr(b), form, d);
      if (p == DateTimeParse::kNoValue || form != DateTimeForm::kTime || d.minute > 59 ||
          d.second > 59)
        return {Conversion::kInvalidText, 0, 0};
      ms = MsOfDay(d);
      if (negative) ms = -ms;
      break;
    }
    default:
      if (!IsNumberKind(v.kind())) return {Conversion::kNotPossible, 0, 0};
      if (!NumberAsMs(v, ms)) return {Conversion::kOutOfRange, 0, 0};
      break;
  }
  const uint64_t mag = ms < 0 ? 0 - static_cast<uint64_t>(ms) : static_cast<uint64_t>(ms);
  SQL_INTERVAL_STRUCT s;
  std::memset(&s, 0, sizeof s);
  s.interval_type = SQL_IS_DAY_TO_SECOND;
  s.interval_sign = ms < 0 ? SQL_TRUE : SQL_FALSE;
  s.intval.day_second.day = static_cast<SQLUINTEGER>(mag / kMsPerDay);
  s.intval.day_second.hour = static_cast<SQLUINTEGER>(mag / 3600000 % 24);
  s.intval.day_second.minute = static_cast<SQLUINTEGER>(mag / 60000 % 60);
  s.intval.day_second.second = static_cast<SQLUINTEGER>(mag / 1000 % 60);
  s.intval.day_second.fraction = static_cast<SQLUINTEGER>(mag % 1000 * 1000000);
  static_assert(sizeof(SQL_INTERVAL_STRUCT) == 28);
  return Fixed(t, &s, sizeof s);
}

}  // namespace kestrion::to_c
