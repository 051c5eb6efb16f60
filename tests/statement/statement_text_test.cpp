#include <gtest/gtest.h>

#include "statement/statement_text.h"

using corvane::VString;
using kestrion::CountParameterMarkers;
using kestrion::RewriteAndCountMarkers;

namespace {

struct Rewritten {
  std::u16string text;
  int32_t markers;
};

Rewritten Rewrite(std::u16string_view in) {
  VString s(in);
  int32_t n = RewriteAndCountMarkers(s);
  return {s, n};
}

}  // namespace

TEST(StatementText, IdentifierQuotesBecomeBracketsButLiteralsStay) {
  auto r = Rewrite(u"SELECT * FROM \"My Table\" WHERE c = 'a?b' AND `d` = 'say \"hi\"'");
  EXPECT_EQ(r.text, u"SELECT * FROM [My Table] WHERE c = 'a?b' AND [d] = 'say \"hi\"'");
  EXPECT_EQ(r.markers, 0);

  // Quotes of the other kind inside an identifier are kept as they are.
  EXPECT_EQ(Rewrite(u"SELECT \"a`b\", `c\"d` FROM t").text, u"SELECT [a`b], [c\"d] FROM t");
  // Inside brackets nothing changes.
  EXPECT_EQ(Rewrite(u"SELECT [x\"y\"] FROM t").text, u"SELECT [x\"y\"] FROM t");
  // An unclosed quote is left alone, and nothing after it is touched.
  EXPECT_EQ(Rewrite(u"SELECT \"a, \"b").text, u"SELECT [a, ]b");
  EXPECT_EQ(Rewrite(u"SELECT 1 FROM \"t").text, u"SELECT 1 FROM \"t");
}

TEST(StatementText, DoubledQuotesInsideIdentifiersAreOneQuote) {
  EXPECT_EQ(Rewrite(u"SELECT \"x\"\"y\" FROM t").text, u"SELECT [x\"y] FROM t");
  EXPECT_EQ(Rewrite(u"CREATE TABLE t (\"col \"\"q\"\"\" INT)").text, u"CREATE TABLE t ([col \"q\"] INT)");
  EXPECT_EQ(Rewrite(u"SELECT 1 AS `a``b`").text, u"SELECT 1 AS [a`b]");
  // A closing bracket inside becomes a doubled one, as brackets escape it.
  EXPECT_EQ(Rewrite(u"SELECT \"a]b\" FROM t").text, u"SELECT [a]]b] FROM t");
  // The markers are counted by the same rule, in the quotes and after them.
  auto r = Rewrite(u"SELECT \"a\"\"?\" , \"x]?\" FROM t WHERE c = ?");
  EXPECT_EQ(r.text, u"SELECT [a\"?] , [x]]?] FROM t WHERE c = ?");
  EXPECT_EQ(r.markers, 1);
  EXPECT_EQ(CountParameterMarkers(u"SELECT [a]]?], ?"), 1);
  EXPECT_EQ(CountParameterMarkers(u"SELECT \"a\"\"?\", ?"), 1);
}

TEST(StatementText, BackslashUnderscoreIsUnescapedOutsideLiteralsOnly) {
  auto r = Rewrite(u"SELECT * FROM a\\_b WHERE n LIKE 'x\\_y' AND m\\_n = 1");
  EXPECT_EQ(r.text, u"SELECT * FROM a_b WHERE n LIKE 'x\\_y' AND m_n = 1");
  // A backslash before anything else stays.
  EXPECT_EQ(Rewrite(u"a\\b\\_").text, u"a\\b_");
  // Trailing backslash: no character after it.
  EXPECT_EQ(Rewrite(u"x\\").text, u"x\\");
}

TEST(StatementText, MarkersAreCountedOutsideQuotesAndNotAfterABackslash) {
  EXPECT_EQ(Rewrite(u"INSERT INTO t VALUES (?, ?, '?', \"?\", [?], `?`)").markers, 2);
  EXPECT_EQ(Rewrite(u"SELECT ? , \\? , ?").markers, 2);
  // A doubled quote inside a literal opens and closes it again.
  EXPECT_EQ(Rewrite(u"SELECT 'it''s ?', ?").markers, 1);
  // A backslash inside a literal skips the quote after it.
  EXPECT_EQ(CountParameterMarkers(u"SELECT 'a\\' ?' , ?"), 1);
  EXPECT_EQ(CountParameterMarkers(u""), 0);
  EXPECT_EQ(CountParameterMarkers(u"?"), 1);
  // An unclosed literal hides the rest.
  EXPECT_EQ(CountParameterMarkers(u"? 'abc ?"), 1);
}
