// Reply fields: plain and Base64 forms, and the tokenizer.
#include <gtest/gtest.h>

#include "protocol/capabilities.h"
#include "protocol/reply_field.h"

namespace {

using corvane::VString;
using kestrion::GetReplyField;
using kestrion::Tokenize;
using kestrion::TokenList;

TokenList L(std::initializer_list<const char16_t*> items) {
  TokenList out;
  for (auto* i : items) out.emplace_back(i);
  return out;
}

TEST(Tokenize, QuotesAndBracketsStayWhole) {
  EXPECT_EQ(Tokenize(u"word \"a phrase\" [in brackets]  'x'"),
            L({u"word", u"\"a phrase\"", u"[in brackets]", u"'x'"}));
  EXPECT_EQ(Tokenize(u"   a   b  "), L({u"a", u"b"}));
  // An unclosed quote or bracket drops the last token.
  EXPECT_EQ(Tokenize(u"a b [c d"), L({u"a", u"b"}));
  EXPECT_EQ(Tokenize(u"a \"b"), L({u"a"}));
  EXPECT_EQ(Tokenize(u"['x y' z]"), L({u"['x y' z]"}));
}

TEST(ReplyField, PlainBase64AndPrecedence) {
  const VString header =
      u"1.0 OK\r\nColumn-Count: 3\r\nColumn-Aliases-Base64: ImEgYiIgYw==\r\n"
      u"Row-Count-Base64: OTk=\r\nRow-Count: 5\r\nEmpty:\r\n\r\n";
  EXPECT_EQ(GetReplyField(u"column-count", header), L({u"3"}));
  EXPECT_EQ(GetReplyField(u"Column-Aliases", header), L({u"\"a b\"", u"c"}));
  // Both forms present: the plain one is taken.
  EXPECT_EQ(GetReplyField(u"Row-Count", header), L({u"5"}));
  EXPECT_FALSE(GetReplyField(u"Empty", header).has_value());
  EXPECT_FALSE(GetReplyField(u"Missing", header).has_value());
  // The first line never matches as a field.
  EXPECT_FALSE(GetReplyField(u"1.0 OK", u"1.0 OK: x\r\n\r\n").has_value());
  // Invalid Base64 is kept raw.
  EXPECT_EQ(GetReplyField(u"X", u"1.0 OK\r\nX-Base64: not*base64\r\n\r\n"), L({u"not*base64"}));
}

TEST(ReplyField, Base64OfTextIsUtf8) {
  EXPECT_EQ(kestrion::Base64OfText(u""), "");
  EXPECT_EQ(kestrion::Base64OfText(u"\u00E9t\u00E9"), "w6l0w6k=");
  EXPECT_EQ(kestrion::TextOfBase64(u"w6l0w6k="), VString(u"\u00E9t\u00E9"));
}

}  // namespace

// The LOGIN reply's capability list: read once into the connection.
TEST(ServerCapabilities, WordsOfTheLoginReply) {
  using kestrion::ServerCapabilities;
  const ServerCapabilities none = ServerCapabilities::FromReply(u"0.0 OK\r\nServer-Name: x\r\n\r\n");
  EXPECT_TRUE(none.words().empty());
  EXPECT_FALSE(none.deferred_close());
  EXPECT_FALSE(none.execute_describes());
  const ServerCapabilities some = ServerCapabilities::FromReply(
      u"0.0 OK\r\nCapabilities: Deferred-Close  cancel deferred-close\r\n\r\n");
  EXPECT_EQ(some.words(), (std::vector<std::string>{"deferred-close", "cancel"}));
  EXPECT_TRUE(some.deferred_close());
  EXPECT_FALSE(some.execute_describes());
  EXPECT_TRUE(some.Has("CANCEL"));
  EXPECT_FALSE(some.Has("pipeline"));
  // Empty, and only the first line: no field.
  EXPECT_TRUE(ServerCapabilities::FromReply(u"0.0 OK\r\nCapabilities:\r\n\r\n").words().empty());
  EXPECT_TRUE(ServerCapabilities::FromList("").words().empty());
}
