#include <gtest/gtest.h>

#include "statement/datetime_text.h"

using namespace kestrion;

namespace {

DateTimeParse Escape(std::u16string_view text, DateTimeFields* out = nullptr,
                     DateTimeForm* form_out = nullptr) {
  DateTimeForm form{};
  DateTimeFields f;
  DateTimeParse p = ParseDateTimeEscape(text, form, f);
  if (out) *out = f;
  if (form_out) *form_out = form;
  return p;
}

}  // namespace

TEST(DateTimeText, DateValidityFollowsTheCalendar) {
  EXPECT_TRUE(IsValidDate(2024, 2, 29));
  EXPECT_FALSE(IsValidDate(2023, 2, 29));
  EXPECT_FALSE(IsValidDate(1900, 2, 29));  // divisible by 100
  EXPECT_TRUE(IsValidDate(2000, 2, 29));   // divisible by 400
  EXPECT_FALSE(IsValidDate(2024, 4, 31));
  EXPECT_TRUE(IsValidDate(2024, 12, 31));
  EXPECT_FALSE(IsValidDate(2024, 13, 1));
  EXPECT_FALSE(IsValidDate(2024, 1, 0));
  EXPECT_TRUE(IsValidDate(0, 0, 0));  // the empty date
  EXPECT_FALSE(IsValidDate(0, 0, 1));
  EXPECT_FALSE(IsValidDate(-1, 1, 1));
  EXPECT_TRUE(IsValidDate(0, 1, 1));
  // The empty date's time is not examined; a real date's is.
  EXPECT_TRUE(IsValidTimestamp({0, 0, 0, 99, 99, 99, 9999}));
  EXPECT_FALSE(IsValidTimestamp({2024, 1, 1, 24, 0, 0, 0}));
  EXPECT_FALSE(IsValidTimestamp({2024, 1, 1, 23, 60, 0, 0}));
  EXPECT_TRUE(IsValidTimestamp({2024, 1, 1, 23, 59, 59, 999}));
}

TEST(DateTimeText, EscapesChooseTheirFormAndReadTheirFields) {
  DateTimeFields f;
  DateTimeForm form;
  EXPECT_EQ(Escape(u"{ts '2024-03-01 10:20:30.1234'}", &f, &form), DateTimeParse::kValid);
  EXPECT_EQ(form, DateTimeForm::kTimestamp);
  EXPECT_EQ(f.year, 2024);
  EXPECT_EQ(f.second, 30);
  EXPECT_EQ(f.ms, 123);
  EXPECT_EQ(MsOfDay(f), 37230123);
  EXPECT_EQ(Escape(u"{ts '2024-03-01 10:20:30'}", &f), DateTimeParse::kValid);
  EXPECT_EQ(f.ms, 0);
  EXPECT_EQ(Escape(u"{ts '2024-02-30 00:00:00'}"), DateTimeParse::kInvalid);
  EXPECT_EQ(Escape(u"{ts '2024-01-01 24:00:00'}"), DateTimeParse::kInvalid);
  EXPECT_EQ(Escape(u"{ts '0000-00-00 99:00:00'}"), DateTimeParse::kValid);
  EXPECT_EQ(Escape(u"{d '2024-02-29'}", &f, &form), DateTimeParse::kValid);
  EXPECT_EQ(form, DateTimeForm::kDate);
  EXPECT_EQ(Escape(u"{d '1900-02-29'}"), DateTimeParse::kInvalid);
  EXPECT_EQ(Escape(u"{t '10:20:30'}", &f, &form), DateTimeParse::kValid);
  EXPECT_EQ(form, DateTimeForm::kTime);
  EXPECT_EQ(f.hour, 10);
  EXPECT_EQ(f.minute, 20);
  // A quote before the fourth character is no escape.
  EXPECT_EQ(Escape(u"{d'2024-01-01'}"), DateTimeParse::kNoValue);
  EXPECT_EQ(Escape(u"2024-01-01"), DateTimeParse::kNoValue);
  // Enormous numbers do not overflow; they are invalid.
  EXPECT_EQ(Escape(u"{d '99999999999999999999-01-01'}"), DateTimeParse::kInvalid);
  // Nothing after the quote reads as the empty date.
  EXPECT_EQ(Escape(u"{ts '"), DateTimeParse::kValid);
}

TEST(DateTimeText, PlainForms) {
  DateTimeForm form;
  DateTimeFields f;
  EXPECT_EQ(ParseDateTimeText(u"2024-03-01 14:05:09.5", form, f), DateTimeParse::kValid);
  EXPECT_EQ(form, DateTimeForm::kTimestamp);
  EXPECT_EQ(f.ms, 500);
  EXPECT_EQ(ParseDateTimeText(u" 2024-03-01T14:05 ", form, f), DateTimeParse::kValid);
  EXPECT_EQ(f.minute, 5);
  EXPECT_EQ(ParseDateTimeText(u"2024-03-01", form, f), DateTimeParse::kValid);
  EXPECT_EQ(form, DateTimeForm::kDate);
  EXPECT_EQ(ParseDateTimeText(u"14:05:09", form, f), DateTimeParse::kValid);
  EXPECT_EQ(form, DateTimeForm::kTime);
  EXPECT_EQ(ParseDateTimeText(u"2023-02-29", form, f), DateTimeParse::kInvalid);
  for (const char16_t* bad : {u"", u"12", u"12.5", u"abc", u"2024-03", u"2024-03-01 x", u"14:"})
    EXPECT_EQ(ParseDateTimeText(bad, form, f), DateTimeParse::kNoValue) << static_cast<int>(bad[0]);
}
