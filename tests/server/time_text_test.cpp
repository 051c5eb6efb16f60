// Date and time texts as SQLite stores them, read into the wire's date.
#include "server/time_text.h"

#include <gtest/gtest.h>

using kestrion::server::FormatIsoTime;
using kestrion::server::ParseIsoTime;

namespace {

::testing::AssertionResult Reads(const char* text, unsigned year, unsigned month, unsigned day, unsigned ms) {
  auto t = ParseIsoTime(text);
  if (!t) return ::testing::AssertionFailure() << text << " was refused";
  if (t->year != year || t->month != month || t->day != day || t->ms != ms)
    return ::testing::AssertionFailure() << text << " read as " << t->year << "-" << int{t->month} << "-"
                                         << int{t->day} << " " << t->ms << " ms";
  return ::testing::AssertionSuccess();
}

TEST(IsoTimeText, FullFormAndTheShorterOnes) {
  EXPECT_TRUE(Reads("2024-03-01 00:00:01", 2024, 3, 1, 1000));
  EXPECT_TRUE(Reads("2024-02-29 23:59:59", 2024, 2, 29, 86399000));
  EXPECT_TRUE(Reads("0001-01-01T10:20:30", 1, 1, 1, 37230000));
  EXPECT_TRUE(Reads("9999-12-31 00:00:00", 9999, 12, 31, 0));
  EXPECT_TRUE(Reads("2024-01-01", 2024, 1, 1, 0));
  EXPECT_TRUE(Reads("2024-01-01 10:20", 2024, 1, 1, 37200000));
  EXPECT_TRUE(Reads("2024-01-01 10:20:30.5", 2024, 1, 1, 37230500));
  EXPECT_TRUE(Reads("2024-01-01 10:20:30Z", 2024, 1, 1, 37230000));
}

TEST(IsoTimeText, ImpossibleOrMisshapenTextsAreRefused) {
  for (const char* text : {"2023-02-29 12:00:00", "2024-04-31 00:00:00", "2024-13-01 00:00:00",
                           "2024-00-10 00:00:00", "2024-01-00 00:00:00", "2024-01-01 24:00:00",
                           "2024-01-01 10:60:00", "2024-01-01 10:00:60", "2024-01-01 1a:00:00",
                           "2024/01/01 10:00:00", "2024-01-01x10:00:00", "2024-01-01 10:00:00 ", "", "2024"})
    EXPECT_FALSE(ParseIsoTime(text)) << text;
}

// The text a date parameter is bound as: zero-padded fields, the time only
// when there is one, milliseconds only when not zero, and the parser reads
// every such text back to the same value.
TEST(IsoTimeText, WrittenPaddedAndReadBack) {
  EXPECT_EQ(FormatIsoTime({2024, 3, 1, 0}), "2024-03-01");
  EXPECT_EQ(FormatIsoTime({7, 1, 9, 1000}), "0007-01-09 00:00:01");
  EXPECT_EQ(FormatIsoTime({2024, 12, 31, 86399999}), "2024-12-31 23:59:59.999");
  EXPECT_EQ(FormatIsoTime({1999, 10, 10, 37230050}), "1999-10-10 10:20:30.050");
  // Out-of-range fields are written whole, not cut to their width.
  EXPECT_EQ(FormatIsoTime({65535, 255, 255, 4294967295u}), "65535-255-255 1193:02:47.295");
  for (unsigned year : {1u, 99u, 1000u, 2024u, 9999u})
    for (unsigned ms = 0; ms < 86400000u; ms += 3599999u) {
      const corvane::VTime t{static_cast<std::uint16_t>(year), 2, 28, ms};
      const auto back = ParseIsoTime(FormatIsoTime(t));
      ASSERT_TRUE(back) << FormatIsoTime(t);
      EXPECT_EQ(*back, t) << FormatIsoTime(t);
    }
}

}  // namespace
