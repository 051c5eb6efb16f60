#include "server/batch.h"

#include <cstring>
#include <iterator>
#include <memory>
#include <span>

#include "server/cell_encoder.h"
#include "server/column_types.h"
#include "server/error_codes.h"
#include "server/error_state.h"
#include "server/sql_tokens.h"
#include "server/value_binding.h"

namespace kestrion::server {

using corvane::VKind;

namespace {

using StmtPtr = StatementPtr;

constexpr const char* kRowIdAlias = "__kestrion_rowid__";

// What the statement at the start of `rest` is, from its leading words.
enum class Special { kNone, kStartTransaction, kEndTransaction };

struct NextStatement {
  StmtPtr stmt;
  Special special = Special::kNone;
  std::string_view text;  // this statement's text
};

// Prepares the next statement of the batch, skipping empty ones. "START
// TRANSACTION" runs as BEGIN IMMEDIATE: the transaction takes the write lock
// when it starts (waiting for it like any statement), so that two writers
// queue instead of each holding a read snapshot that the other's commit makes
// impossible to upgrade, which fails at once whatever the busy timeout.
// Readers are not held up: the database runs in WAL mode. Returns false on a prepare error; `done` when
// the text is used up.
bool PrepareNext(sqlite3* db, std::string_view& rest, NextStatement& next, bool& done) {
  next = NextStatement{};
  done = false;
  for (;;) {
    std::size_t skip = 0;
    while (skip < rest.size() && (rest[skip] == ' ' || rest[skip] == '\t' || rest[skip] == '\r' ||
                                  rest[skip] == '\n' || rest[skip] == ';'))
      ++skip;
    rest.remove_prefix(skip);
    if (rest.empty()) {
      done = true;
      return true;
    }
    std::vector<SqlToken> tokens = TokenizeSql(rest.substr(0, std::min<std::size_t>(rest.size(), 64)));
    if (tokens.size() >= 2 && tokens[0].kind == SqlToken::kWord && tokens[0].text == "START" &&
        tokens[1].kind == SqlToken::kWord && tokens[1].text == "TRANSACTION") {
      std::size_t end = rest.find(';');
      next.text = rest.substr(0, end);
      rest.remove_prefix(end == std::string_view::npos ? rest.size() : end);
      sqlite3_stmt* s = nullptr;
      if (sqlite3_prepare_v2(db, "BEGIN IMMEDIATE", -1, &s, nullptr) != SQLITE_OK) return false;
      next.stmt.reset(s);
      next.special = Special::kStartTransaction;
      return true;
    }
    sqlite3_stmt* s = nullptr;
    const char* tail = nullptr;
    int rc = sqlite3_prepare_v3(db, rest.data(), static_cast<int>(rest.size()), 0, &s, &tail);
    if (rc != SQLITE_OK) return false;
    std::size_t used = static_cast<std::size_t>(tail - rest.data());
    next.text = rest.substr(0, used);
    rest.remove_prefix(used);
    if (!s) continue;  // only comments or spaces
    next.stmt.reset(s);
    if (!tokens.empty() && tokens[0].kind == SqlToken::kWord) {
      const std::string& w = tokens[0].text;
      bool savepoint_rollback = w == "ROLLBACK" && tokens.size() >= 2 && tokens[1].kind == SqlToken::kWord &&
                                (tokens[1].text == "TO" || (tokens.size() >= 3 && tokens[2].text == "TO"));
      if ((w == "COMMIT" || w == "END" || w == "ROLLBACK") && !savepoint_rollback) next.special = Special::kEndTransaction;
    }
    return true;
  }
}

bool IsSystemTable(const char* name) {
  return strncasecmp(name, "_USER_", 6) == 0 || strncasecmp(name, "sqlite_", 7) == 0;
}

// When `stmt` is a plain SELECT of columns of one rowid table, returns a
// statement that also selects the row id, as its last column (so that
// positional ORDER BY terms keep their meaning).
StmtPtr UpdatableVariant(sqlite3* db, sqlite3_stmt* stmt, std::string& table) {
  int n = sqlite3_column_count(stmt);
  if (n == 0 || !sqlite3_stmt_readonly(stmt)) return nullptr;
  const char* t0 = nullptr;
  const char* db0 = nullptr;
  for (int i = 0; i < n; ++i) {
    const char* t = sqlite3_column_table_name(stmt, i);
    const char* d = sqlite3_column_database_name(stmt, i);
    if (!t || !d || !sqlite3_column_origin_name(stmt, i)) return nullptr;
    if (i == 0) {
      t0 = t;
      db0 = d;
    } else if (std::strcmp(t, t0) != 0 || std::strcmp(d, db0) != 0) {
      return nullptr;
    }
  }
  if (IsSystemTable(t0)) return nullptr;
  const char* sql = sqlite3_sql(stmt);
  std::vector<SqlToken> tokens = TokenizeSql(sql);
  if (tokens.empty() || tokens[0].kind != SqlToken::kWord || tokens[0].text != "SELECT") return nullptr;
  int from_count = 0, depth = 0;
  std::size_t from_offset = 0;
  for (const SqlToken& tk : tokens) {
    if (tk.kind == SqlToken::kSymbol && tk.text == "(") ++depth;
    if (tk.kind == SqlToken::kSymbol && tk.text == ")") --depth;
    if (tk.kind != SqlToken::kWord) continue;
    if (tk.text == "DISTINCT" || tk.text == "GROUP" || tk.text == "UNION" || tk.text == "INTERSECT" ||
        tk.text == "EXCEPT" || tk.text == "OVER" || tk.text == "HAVING" || tk.text == "JOIN" || tk.text == "VALUES")
      return nullptr;
    if (tk.text == "FROM") {
      ++from_count;
      if (depth == 0) from_offset = tk.offset;
    }
  }
  if (from_count != 1 || from_offset == 0) return nullptr;
  std::string rewritten(sql, from_offset);
  rewritten += ", _rowid_ AS [";
  rewritten += kRowIdAlias;
  rewritten += "] ";
  rewritten += sql + from_offset;
  sqlite3_stmt* s = nullptr;
  if (sqlite3_prepare_v2(db, rewritten.c_str(), -1, &s, nullptr) != SQLITE_OK || !s) return nullptr;
  StmtPtr p(s);
  if (sqlite3_column_count(s) != n + 1) return nullptr;
  const char* rt = sqlite3_column_table_name(s, n);
  if (!rt || std::strcmp(rt, t0) != 0) return nullptr;
  table = t0;
  return p;
}

// Describes the first `n` columns of `s`.
void DescribeColumns(sqlite3_stmt* s, int n, ResultSet& r, bool undeclared_as_unknown) {
  r.columns.clear();
  if (n > 0) r.columns.reserve(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    ResultColumn c;
    const char* name = sqlite3_column_name(s, i);
    c.alias = name ? name : "";
    const char* decl = sqlite3_column_decltype(s, i);
    if (decl != nullptr) {
      const ColumnType declared = ColumnTypeFromDeclared(decl);
      c.kind = declared.kind;
      c.declared_size = DeclaredSize(declared);
    } else {
      c.kind = VKind::Unknown;
    }
    if (c.kind == VKind::Unknown && !undeclared_as_unknown) c.kind = VKind::Text;
    const char* origin = sqlite3_column_origin_name(s, i);
    if (origin) c.origin = origin;
    r.columns.push_back(std::move(c));
  }
}

// Kind for a column without a declared type, from the storage classes seen.
VKind KindFromClasses(unsigned seen) {
  switch (seen) {
    case 1u << SQLITE_INTEGER: return VKind::Long8;
    case 1u << SQLITE_FLOAT: return VKind::Real;
    case 1u << SQLITE_BLOB: return VKind::Blob;
    default: return VKind::Text;
  }
}

// Steps `s` to the end, copying every row into `r` (encoded later, page by
// page). For an updatable result the statement's last column is the row id.
// Columns without a declared kind take it from the storage classes seen.
bool CollectRows(sqlite3* db, sqlite3_stmt* s, ResultSet& r, SqlError& error) {
  const int width = sqlite3_column_count(s);
  unsigned small[16] = {};
  std::vector<unsigned> large;
  std::span<unsigned> seen;
  if (r.columns.size() <= std::size(small)) {
    seen = std::span<unsigned>(small, r.columns.size());
  } else {
    large.assign(r.columns.size(), 0);
    seen = large;
  }
  r.held.Reuse();
  int rc;
  while ((rc = sqlite3_step(s)) == SQLITE_ROW) r.held.Append(s, width, seen);
  if (rc != SQLITE_DONE) {
    r.held.Clear();
    error = SqliteError(db);
    return false;
  }
  for (std::size_t k = 0; k < r.columns.size(); ++k)
    if (r.columns[k].kind == VKind::Unknown) r.columns[k].kind = KindFromClasses(seen[k]);
  return true;
}

}  // namespace

SqlError SqliteError(sqlite3* db) {
  const std::string message = sqlite3_errmsg(db);
  const std::string_view state =
      SqlStateOfSqliteError(sqlite3_extended_errcode(db), message, TakeBusyWaitTimedOut());
  return {kSqlErrorBase + (sqlite3_errcode(db) & 0xFF), message, std::string(state)};
}

bool DescribeBatch(sqlite3* db, std::string_view sql, std::vector<ResultSet>& out, SqlError& error) {
  out.clear();
  std::string_view rest = sql;
  for (;;) {
    NextStatement next;
    bool done;
    if (!PrepareNext(db, rest, next, done)) {
      if (out.empty()) {
        error = SqliteError(db);
        return false;
      }
      return true;
    }
    if (done) return true;
    ResultSet r;
    sqlite3_stmt* s = next.stmt.get();
    if (sqlite3_column_count(s) == 0) {
      r.row_set = false;
    } else {
      std::string table;
      StmtPtr variant = UpdatableVariant(db, s, table);
      DescribeColumns(s, sqlite3_column_count(s), r, false);
      if (variant) {
        r.updatable = true;
        r.table = table;
      }
    }
    out.push_back(std::move(r));
  }
}

namespace {

// Whether the update count of a statement that changes rows is its changes:
// INSERT, UPDATE, DELETE, REPLACE and WITH count them, anything else 0.
bool CountsChanges(std::string_view text) {
  std::vector<SqlToken> head = TokenizeSql(text.substr(0, std::min<std::size_t>(text.size(), 32)));
  return !head.empty() && head[0].kind == SqlToken::kWord &&
         (head[0].text == "INSERT" || head[0].text == "UPDATE" || head[0].text == "DELETE" ||
          head[0].text == "REPLACE" || head[0].text == "WITH");
}

// Whether a statement only reads and answers rows: a SELECT, VALUES or a
// WITH that selects, which SQLite reports as read-only.
bool PlainRead(sqlite3_stmt* s, std::string_view text) {
  if (!sqlite3_stmt_readonly(s) || sqlite3_column_count(s) == 0) return false;
  std::vector<SqlToken> head = TokenizeSql(text.substr(0, std::min<std::size_t>(text.size(), 32)));
  return !head.empty() && head[0].kind == SqlToken::kWord &&
         (head[0].text == "SELECT" || head[0].text == "VALUES" || head[0].text == "WITH");
}

// Binds the statement's share of `params` from `next_param` on.
bool BindShare(sqlite3* db, sqlite3_stmt* s, const std::vector<corvane::VValue>& params,
               std::size_t& next_param, SqlError& error) {
  int count = sqlite3_bind_parameter_count(s);
  for (int i = 1; i <= count; ++i) {
    if (next_param >= params.size()) break;
    std::string bad;
    int rc = BindValue(s, i, params[next_param++], bad);
    if (rc != SQLITE_OK) {
      error = bad.empty() ? SqliteError(db) : SqlError{kSqlErrorBase + SQLITE_MISMATCH, bad, "22007"};
      return false;
    }
  }
  return true;
}

// Describes the columns a run of `s` answers, before it runs: kinds from the
// declarations, Unknown where the values will give them. An updatable result
// leaves out its row id, the statement's last column.
void DescribeRun(sqlite3_stmt* s, ResultSet& r) {
  const int columns = sqlite3_column_count(s);
  DescribeColumns(s, r.updatable ? columns - 1 : columns, r, true);
}

// Runs one bound statement into `r`, whose columns are described already.
// `counts_changes` applies to a statement without result columns that is no
// transaction control.
bool RunStatement(sqlite3* db, sqlite3_stmt* s, Special special, bool counts_changes, ResultSet& r,
                  SqlError& error) {
  if (sqlite3_column_count(s) > 0 || r.updatable) return CollectRows(db, s, r, error);
  r.row_set = false;
  if (special == Special::kEndTransaction && sqlite3_get_autocommit(db)) {
    return true;  // No transaction open: COMMIT and ROLLBACK succeed and do nothing.
  }
  int rc = sqlite3_step(s);
  while (rc == SQLITE_ROW) rc = sqlite3_step(s);
  if (rc != SQLITE_DONE) {
    error = SqliteError(db);
    return false;
  }
  // Statements that change no rows (DDL, transaction control) count 0.
  bool changes_rows = !sqlite3_stmt_readonly(s) && special == Special::kNone;
  r.update_count = changes_rows && counts_changes ? sqlite3_changes64(db) : 0;
  return true;
}

// Whether nothing but spaces and semicolons is left of a batch.
bool OnlySeparatorsLeft(std::string_view rest) {
  for (char c : rest)
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != ';') return false;
  return true;
}

}  // namespace

bool ExecuteBatch(sqlite3* db, std::string_view sql, const std::vector<corvane::VValue>& params,
                  std::vector<ResultSet>& out, SqlError& error, StatementCache* cache,
                  CachedStatement** used) {
  // The first result of an earlier run lends its memory to this run's first.
  ResultSet first;
  if (!out.empty()) {
    first = std::move(out.front());
    first.Reuse();
  }
  out.clear();
  if (used) *used = nullptr;
  std::size_t next_param = 0;
  if (cache) {
    // Outside a transaction a kept plain read runs in the read transaction
    // of the schema check; anything else runs after that has ended.
    const bool in_transaction = sqlite3_get_autocommit(db) == 0;
    cache->Validate(db, !in_transaction);
    CachedStatement* kept = cache->Find(sql);
    if (!kept || !kept->plain_read) cache->Release();
    if (kept) {
      ResultSet r = std::move(first);
      r.updatable = kept->updatable;
      r.table = kept->table;
      sqlite3_stmt* s = kept->stmt.get();
      bool ok = BindShare(db, s, params, next_param, error);
      if (ok) {
        // The kept description holds when the statement runs on the schema
        // the check saw: in the check's read transaction, or in a
        // transaction, whose snapshot only this session can change (and a
        // change it made empties the cache at the next check). Otherwise
        // another session may have changed the schema since the check, and
        // the check does not see the schemas of attached databases.
        const bool attached = sqlite3_db_name(db, 2) != nullptr;
        if ((kept->plain_read || in_transaction) && !attached) r.columns = kept->columns;
        else DescribeRun(s, r);
        ok = RunStatement(db, s, Special::kNone, kept->counts_changes, r, error);
      }
      ResetCached(s);
      cache->Release();
      if (!ok) return false;
      out.push_back(std::move(r));
      if (used) *used = kept;
      return true;
    }
  }
  std::string_view rest = sql;
  for (;;) {
    NextStatement next;
    bool done;
    if (!PrepareNext(db, rest, next, done)) {
      error = SqliteError(db);
      return false;
    }
    if (done) return true;
    ResultSet r = out.empty() ? std::move(first) : ResultSet();
    StmtPtr variant;
    if (sqlite3_column_count(next.stmt.get()) > 0) {
      variant = UpdatableVariant(db, next.stmt.get(), r.table);
      r.updatable = variant != nullptr;
    }
    StmtPtr& run = variant ? variant : next.stmt;
    sqlite3_stmt* s = run.get();
    const bool counts_changes = CountsChanges(next.text);
    if (!BindShare(db, s, params, next_param, error)) return false;
    DescribeRun(s, r);
    // A text of one ordinary statement is kept for the next time it comes.
    const bool keep = cache && out.empty() && next.special == Special::kNone && OnlySeparatorsLeft(rest);
    std::vector<ResultColumn> described;
    if (keep) described = r.columns;
    const bool ok = RunStatement(db, s, next.special, counts_changes, r, error);
    if (keep) {
      CachedStatement entry;
      entry.updatable = r.updatable;
      entry.table = r.table;
      entry.counts_changes = counts_changes;
      entry.plain_read = PlainRead(s, next.text);
      entry.columns = std::move(described);
      entry.stmt = std::move(run);
      cache->Keep(sql, std::move(entry));
    }
    if (!ok) return false;
    out.push_back(std::move(r));
  }
}

}  // namespace kestrion::server
