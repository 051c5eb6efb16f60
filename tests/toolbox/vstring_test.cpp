// Case- and accent-blind search: the plain search for a first unit that
// matches only itself (CR of a reply field) finds what the unit-by-unit
// comparison finds, at the ends of the text too.
#include <gtest/gtest.h>

#include "toolbox/vstring.h"

using corvane::VString;

TEST(VStringFindFolded, FieldNamesAtEveryPlaceOfAHeader) {
  const std::u16string header = u"1.2 OK\r\nROW-COUNT: 5\r\nrow-count-sent: 2\r\n\r\n";
  EXPECT_EQ(VString::FindFolded(header, u"\r\nRow-Count:"), 6u);
  EXPECT_EQ(VString::FindFolded(header, u"\r\nRow-Count-Sent:"), 20u);
  EXPECT_EQ(VString::FindFolded(header, u"\r\nRow-Count", 7), 20u) << "from after the first";
  EXPECT_EQ(VString::FindFolded(header, u"\r\n\r\n"), header.size() - 4) << "at the very end";
  EXPECT_EQ(VString::FindFolded(header, u"\r\n\r\n\r"), VString::npos) << "a candidate too close to the end";
  EXPECT_EQ(VString::FindFolded(header, u"\r\nStatement-ID:"), VString::npos);
  EXPECT_EQ(VString::FindFolded(header, u"-count-SENT"), 25u);
  // A first unit that is a letter still matches its other cases and accents.
  EXPECT_EQ(VString::FindFolded(u"x\u00C9t\u00E9", u"ETE"), 1u);
  EXPECT_EQ(VString::FindFolded(u"abc", u""), 0u);
  EXPECT_EQ(VString::FindFolded(u"ab", u"abc"), VString::npos);
}
