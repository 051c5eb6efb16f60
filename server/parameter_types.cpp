#include "server/parameter_types.h"

#include <optional>

#include "server/column_types.h"
#include "server/sql_tokens.h"

namespace kestrion::server {

namespace {

using Tokens = std::vector<SqlToken>;

bool IsWord(const Tokens& t, std::size_t i, std::string_view w) {
  return i < t.size() && t[i].kind == SqlToken::kWord && t[i].text == w;
}
bool IsSymbol(const Tokens& t, std::size_t i, std::string_view s) {
  return i < t.size() && t[i].kind == SqlToken::kSymbol && t[i].text == s;
}
bool IsName(const Tokens& t, std::size_t i) {
  return i < t.size() && (t[i].kind == SqlToken::kWord || t[i].kind == SqlToken::kIdentifier);
}
bool IsComparison(const Tokens& t, std::size_t i) {
  if (i >= t.size()) return false;
  if (t[i].kind == SqlToken::kWord) return t[i].text == "LIKE" || t[i].text == "GLOB";
  if (t[i].kind != SqlToken::kSymbol) return false;
  const std::string& s = t[i].text;
  return s == "=" || s == "==" || s == "<>" || s == "!=" || s == "<" || s == ">" || s == "<=" || s == ">=";
}

class Placer {
 public:
  Placer(sqlite3* db, const Tokens& t) : db_(db), t_(t) {
    for (std::size_t i = 0; i < t.size(); ++i) {
      // Tables after FROM, JOIN, UPDATE and INTO, and after commas of a FROM list.
      if ((IsWord(t, i, "FROM") || IsWord(t, i, "JOIN") || IsWord(t, i, "UPDATE") || IsWord(t, i, "INTO")) &&
          IsName(t, i + 1)) {
        std::size_t k = i + 1;
        for (;;) {
          std::size_t name = k;
          if (IsSymbol(t, k + 1, ".") && IsName(t, k + 2)) name = k += 2;  // schema.table
          tables_.push_back(t[name].text);
          // Skip an alias, then continue over a comma list.
          ++k;
          if (IsWord(t, k, "AS")) ++k;
          if (k < t.size() && t[k].kind != SqlToken::kSymbol && IsName(t, k) && !IsKeyword(t[k])) ++k;
          if (IsWord(t, i, "FROM") && IsSymbol(t, k, ",") && IsName(t, k + 1)) {
            ++k;
            continue;
          }
          break;
        }
      }
    }
  }

  std::optional<std::string> KindOfColumn(const std::string& column, const std::string& table_hint) const {
    for (const std::string& table : tables_) {
      if (!table_hint.empty() && sqlite3_stricmp(table_hint.c_str(), table.c_str()) != 0 && tables_.size() > 1)
        continue;
      const char* decl = nullptr;
      if (sqlite3_table_column_metadata(db_, nullptr, table.c_str(), column.c_str(), &decl, nullptr, nullptr,
                                        nullptr, nullptr) == SQLITE_OK) {
        corvane::VKind k = decl ? ColumnTypeFromDeclared(decl).kind : corvane::VKind::Unknown;
        if (k == corvane::VKind::Unknown) return std::nullopt;
        return std::string(corvane::KindName(k));
      }
    }
    return std::nullopt;
  }

  // The column reference ending at token i (name, or table.name).
  std::optional<std::string> ColumnEndingAt(std::size_t i) const {
    if (!IsName(t_, i) || IsKeyword(t_[i])) return std::nullopt;
    std::string hint;
    if (i >= 2 && IsSymbol(t_, i - 1, ".") && IsName(t_, i - 2)) hint = t_[i - 2].text;
    return KindOfColumn(t_[i].text, hint);
  }
  std::optional<std::string> ColumnStartingAt(std::size_t i) const {
    if (!IsName(t_, i)) return std::nullopt;
    if (IsSymbol(t_, i + 1, ".") && IsName(t_, i + 2)) return KindOfColumn(t_[i + 2].text, t_[i].text);
    if (IsKeyword(t_[i])) return std::nullopt;
    return KindOfColumn(t_[i].text, "");
  }

  const std::vector<std::string>& tables() const { return tables_; }

 private:
  static bool IsKeyword(const SqlToken& tk) {
    if (tk.kind != SqlToken::kWord) return false;
    static const char* const kWords[] = {"SELECT", "FROM", "WHERE", "AND", "OR", "NOT", "SET", "VALUES", "ON",
                                         "JOIN", "ORDER", "GROUP", "BY", "LIMIT", "INTO", "AS", "LEFT", "INNER",
                                         "NULL", "IS", "IN", "LIKE", "HAVING", "UPDATE", "DELETE", "INSERT"};
    for (const char* w : kWords)
      if (tk.text == w) return true;
    return false;
  }

  sqlite3* db_;
  const Tokens& t_;
  std::vector<std::string> tables_;
};

// For INSERT ... [(columns)] VALUES (...): the target column of each marker
// that is a whole value, by token index.
std::vector<std::pair<std::size_t, std::string>> InsertTargets(sqlite3* db, const Tokens& t) {
  std::vector<std::pair<std::size_t, std::string>> out;
  std::size_t i = 0;
  while (i < t.size() && !IsWord(t, i, "INTO")) ++i;
  if (i + 1 >= t.size() || !IsName(t, i + 1)) return out;
  std::size_t name = i + 1;
  if (IsSymbol(t, name + 1, ".") && IsName(t, name + 2)) name += 2;
  std::string table = t[name].text;
  std::vector<std::string> columns;
  std::size_t k = name + 1;
  if (IsSymbol(t, k, "(")) {
    for (++k; k < t.size() && !IsSymbol(t, k, ")"); ++k)
      if (IsName(t, k)) columns.push_back(t[k].text);
    ++k;
  } else {
    std::string sql = "SELECT name FROM pragma_table_info(?)";
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) == SQLITE_OK) {
      sqlite3_bind_text(s, 1, table.c_str(), -1, SQLITE_TRANSIENT);
      while (sqlite3_step(s) == SQLITE_ROW) columns.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)));
    }
    sqlite3_finalize(s);
  }
  if (!IsWord(t, k, "VALUES")) return out;
  ++k;
  while (IsSymbol(t, k, "(")) {
    std::size_t position = 0;
    int depth = 0;
    for (++k; k < t.size(); ++k) {
      if (IsSymbol(t, k, "(")) ++depth;
      else if (IsSymbol(t, k, ")")) {
        if (depth-- == 0) break;
      } else if (depth == 0 && IsSymbol(t, k, ",")) {
        ++position;
      } else if (depth == 0 && t[k].kind == SqlToken::kMarker && (IsSymbol(t, k - 1, "(") || IsSymbol(t, k - 1, ",")) &&
                 (IsSymbol(t, k + 1, ",") || IsSymbol(t, k + 1, ")")) && position < columns.size()) {
        out.push_back({k, columns[position]});
      }
    }
    ++k;
    if (!IsSymbol(t, k, ",")) break;
    ++k;
  }
  (void)table;
  return out;
}

}  // namespace

std::vector<std::string> DescribeParameterKinds(sqlite3* db, std::string_view sql) {
  std::vector<std::string> kinds;
  Tokens t = TokenizeSql(sql);
  Placer placer(db, t);
  auto inserts = InsertTargets(db, t);
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (t[i].kind != SqlToken::kMarker) continue;
    std::optional<std::string> kind;
    for (const auto& [index, column] : inserts)
      if (index == i) kind = placer.KindOfColumn(column, "");
    if (!kind && i >= 2 && IsComparison(t, i - 1)) kind = placer.ColumnEndingAt(i - 2);
    if (!kind && IsComparison(t, i + 1)) kind = placer.ColumnStartingAt(i + 2);
    // column BETWEEN ? AND ?
    if (!kind && i >= 2 && IsWord(t, i - 1, "BETWEEN")) kind = placer.ColumnEndingAt(i - 2);
    if (!kind && i >= 4 && IsWord(t, i - 1, "AND") && t[i - 2].kind == SqlToken::kMarker &&
        IsWord(t, i - 3, "BETWEEN"))
      kind = placer.ColumnEndingAt(i - 4);
    // column IN (?, ?, ...)
    if (!kind && i >= 1 && (IsSymbol(t, i - 1, "(") || IsSymbol(t, i - 1, ","))) {
      std::size_t k = i - 1;
      while (k >= 2 && IsSymbol(t, k, ",") && t[k - 1].kind == SqlToken::kMarker) k -= 2;
      if (k >= 2 && IsSymbol(t, k, "(") && IsWord(t, k - 1, "IN")) kind = placer.ColumnEndingAt(k - 2);
    }
    // LIMIT ? and OFFSET ?
    if (!kind && i >= 1 && (IsWord(t, i - 1, "LIMIT") || IsWord(t, i - 1, "OFFSET"))) kind = "VK_LONG";
    if (!kind) break;
    kinds.push_back(*kind);
  }
  return kinds;
}

}  // namespace kestrion::server
