// Prepared SQLite statements of one session, kept by their text, so that a
// statement executed again (a prepared point select, an insert per row) skips
// SQLite's prepare. Only texts that hold one statement are kept. Any change
// of the database schema, by this session or another, empties the cache.
#pragma once

#include <sqlite3.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "server/result_description.h"
#include "server/result_set.h"

namespace kestrion::server {

struct StatementDeleter {
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using StatementPtr = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

// A kept statement and what was learnt about it when it was first prepared.
struct CachedStatement {
  StatementPtr stmt;        // ready to bind (reset, bindings cleared)
  bool updatable = false;   // stmt is the row-id variant of a plain SELECT
  std::string table;        // the table of an updatable result
  bool counts_changes = false;  // INSERT, UPDATE, DELETE, REPLACE or WITH
  // A query that only reads (SELECT, VALUES or a WITH that selects): it may
  // run inside the read transaction that the schema check opened.
  bool plain_read = false;
  // The columns a run answers, described when the statement was kept (kind
  // Unknown where the values give it; an updatable result without its row
  // id). They hold while the schema is the one the check saw.
  std::vector<ResultColumn> columns;
  // The reply's description lines of its last result.
  DescriptionMemo description;
};

class StatementCache {
 public:
  explicit StatementCache(std::size_t capacity = 64) : capacity_(capacity) {}
  StatementCache(const StatementCache&) = delete;
  StatementCache& operator=(const StatementCache&) = delete;

  // Checks the schema version first: a changed schema empties the cache.
  // With `hold`, the version query is left open until Release: outside a
  // transaction its read transaction then lasts, so that a plain read run
  // before Release reads the very snapshot whose schema was checked and
  // SQLite locks and unlocks the database once per request instead of twice.
  void Validate(sqlite3* db, bool hold = false);
  // From now on, watches what `db` prepares for statements that may change
  // its temporary schema, which no other connection can change. Until the
  // first such statement, Validate reads the temporary schema's version once
  // instead of at every check. Installs the connection's authorizer, which
  // allows everything.
  void WatchTempSchema(sqlite3* db);
  // Ends what Validate held open (nothing when nothing is held).
  void Release();
  // The kept statement for `text`, or null. The caller resets it when done.
  CachedStatement* Find(std::string_view text);
  // Keeps `entry` under `text` (after resetting it); a full cache is emptied
  // first.
  void Keep(std::string_view text, CachedStatement entry);
  void Clear();
  std::size_t size() const { return entries_.size(); }

 private:
  std::size_t capacity_;
  // Looked up by string_view, without building a string per request.
  struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
  };
  std::unordered_map<std::string, CachedStatement, TextHash, std::equal_to<>> entries_;
  static int Authorize(void* self, int action, const char* arg1, const char* arg2, const char* database,
                       const char* trigger);

  StatementPtr main_version_, temp_version_;
  long long schema_version_ = -1;
  bool watching_temp_ = false;
  // A statement prepared since watching began may change the temporary schema.
  bool temp_may_change_ = false;
  long long temp_version_read_ = -1;  // the temporary schema's version last read
};

// Resets a kept statement after use: its read transaction ends and its
// parameters are cleared.
void ResetCached(sqlite3_stmt* stmt);

}  // namespace kestrion::server
