// Reply fields: plain and Base64 forms, and the tokenizer.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "protocol/capabilities.h"
#include "protocol/header_end.h"
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

// What a field lookup must answer, by the plainest search: the value after
// the first "CR LF name:" (ignoring case and accents), up to the next CR;
// else the same for "name-Base64:".
std::optional<std::u16string_view> ReferenceValue(std::u16string_view name, std::u16string_view header,
                                                  bool& base64) {
  for (const bool encoded : {false, true}) {
    VString needle = u"\r\n";
    needle += name;
    if (encoded) needle += u"-Base64";
    needle += u':';
    const std::size_t at = VString::FindFolded(header, needle);
    if (at == VString::npos) continue;
    const std::size_t start = at + needle.size();
    std::size_t end = header.find(u'\r', start);
    if (end == std::u16string_view::npos) end = header.size();
    base64 = encoded;
    return header.substr(start, end - start);
  }
  return std::nullopt;
}

TEST(ReplyField, IndexedLookupsAgreeWithAPlainSearch) {
  // Headers made of field names, separators, stray CRs and LFs, colons and
  // accented letters, cut anywhere.
  static const std::u16string_view kPieces[] = {
      u"\r\n", u"\r", u"\n", u":", u" ", u"Row-Count", u"row-count", u"R\u00D6W-COUNT", u"-Base64",
      u"Column-Types", u"VK_LONG", u"x", u"Statement-ID", u"7"};
  static const std::u16string_view kNames[] = {u"Row-Count", u"Column-Types", u"Statement-ID", u"x",
                                                u"Row"};
  std::mt19937 random(20261207);
  for (int round = 0; round < 20000; ++round) {
    VString header = u"1.0 OK";
    const int pieces = static_cast<int>(random() % 24);
    for (int k = 0; k < pieces; ++k) header += kPieces[random() % std::size(kPieces)];
    if (random() % 2) header += u"\r\n\r\n";
    const kestrion::ReplyFields fields(header);
    for (const std::u16string_view name : kNames) {
      bool expected_base64 = false, base64 = false;
      const auto expected = ReferenceValue(name, header, expected_base64);
      const auto got = fields.Raw(name, base64);
      ASSERT_EQ(got.has_value(), expected.has_value()) << VString(header).ToUtf8();
      if (!got) continue;
      EXPECT_EQ(*got, *expected) << VString(header).ToUtf8();
      EXPECT_EQ(base64, expected_base64) << VString(header).ToUtf8();
    }
  }
}

TEST(ReplyHeaderEnd, FoundAcrossAnyCutIntoBlocks) {
  std::mt19937 random(7);
  static const char kBytes[] = {'\r', '\n', 'a', '\r', '\n'};
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    const int length = static_cast<int>(random() % 24);
    for (int k = 0; k < length; ++k) text += kBytes[random() % std::size(kBytes)];
    const std::size_t first = text.find("\r\n\r\n");
    const std::size_t expected = first == std::string::npos ? text.size() : first + 4;
    // Fed in blocks of random sizes, as the bytes arrive.
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    int matched = 0;
    std::size_t at = 0;
    while (at < text.size() && matched < 4) {
      const std::size_t block_end = std::min(text.size(), at + 1 + random() % 6);
      at = kestrion::ScanForHeaderEnd(bytes, at, block_end, matched);
    }
    ASSERT_EQ(at, expected) << round;
    EXPECT_EQ(matched == 4, first != std::string::npos) << round;
  }
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
