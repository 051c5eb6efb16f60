#include "server/odbc_escapes.h"

#include <string_view>
#include <vector>

#include "server/sql_tokens.h"

namespace kestrion::server {

namespace {

bool IsSymbol(const SqlToken& t, char c) {
  return t.kind == SqlToken::kSymbol && t.text.size() == 1 && t.text[0] == c;
}

// The keywords whose braces are dropped; ESCAPE stays as the SQL keyword.
enum class Keyword { kNone, kDropped, kKept };

Keyword EscapeKeyword(const SqlToken& t) {
  if (t.kind != SqlToken::kWord) return Keyword::kNone;
  if (t.text == "D" || t.text == "T" || t.text == "TS" || t.text == "FN" || t.text == "OJ") {
    return Keyword::kDropped;
  }
  if (t.text == "ESCAPE") return Keyword::kKept;
  return Keyword::kNone;
}

void Blank(std::string& sql, std::size_t from, std::size_t to) {
  for (std::size_t i = from; i < to && i < sql.size(); ++i) sql[i] = ' ';
}

}  // namespace

std::string WithoutOdbcEscapes(std::string sql) {
  if (sql.find('{') == std::string::npos) return sql;
  const std::vector<SqlToken> tokens = TokenizeSql(sql);
  // Open braces not yet closed: whether each one is an escape being removed.
  std::vector<bool> open;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const SqlToken& t = tokens[i];
    if (IsSymbol(t, '{')) {
      const Keyword k = i + 1 < tokens.size() ? EscapeKeyword(tokens[i + 1]) : Keyword::kNone;
      open.push_back(k != Keyword::kNone);
      if (k == Keyword::kNone) continue;
      const SqlToken& word = tokens[i + 1];
      Blank(sql, t.offset, k == Keyword::kDropped ? word.offset + word.text.size() : t.offset + 1);
      ++i;
    } else if (IsSymbol(t, '}') && !open.empty()) {
      if (open.back()) Blank(sql, t.offset, t.offset + 1);
      open.pop_back();
    }
  }
  return sql;
}

}  // namespace kestrion::server
