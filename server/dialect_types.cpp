#include "server/dialect_types.h"

#include <string_view>
#include <vector>

#include "server/sql_tokens.h"

namespace kestrion::server {

namespace {

// A cheap test that spares tokenizing the many statements without "MAX".
bool MentionsMax(std::string_view sql) {
  for (std::size_t i = 0; i + 3 <= sql.size(); ++i) {
    if ((sql[i] | 0x20) == 'm' && (sql[i + 1] | 0x20) == 'a' && (sql[i + 2] | 0x20) == 'x') return true;
  }
  return false;
}

bool TakesMaxLength(const SqlToken& t) {
  return t.kind == SqlToken::kWord &&
         (t.text == "VARCHAR" || t.text == "NVARCHAR" || t.text == "VARBINARY");
}

bool IsSymbol(const SqlToken& t, char c) {
  return t.kind == SqlToken::kSymbol && t.text.size() == 1 && t.text[0] == c;
}

}  // namespace

std::string WithoutMaxLengths(std::string sql) {
  if (!MentionsMax(sql)) return sql;
  const std::vector<SqlToken> tokens = TokenizeSql(sql);
  // Cut from the back so that earlier offsets stay valid.
  for (std::size_t i = tokens.size(); i >= 4; --i) {
    const SqlToken& type = tokens[i - 4];
    const SqlToken& open = tokens[i - 3];
    const SqlToken& max = tokens[i - 2];
    const SqlToken& close = tokens[i - 1];
    if (TakesMaxLength(type) && IsSymbol(open, '(') && max.kind == SqlToken::kWord &&
        max.text == "MAX" && IsSymbol(close, ')')) {
      sql.erase(open.offset, close.offset + 1 - open.offset);
      i -= 3;
    }
  }
  return sql;
}

}  // namespace kestrion::server
