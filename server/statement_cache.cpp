#include "server/statement_cache.h"

namespace kestrion::server {

namespace {

// Reads one schema cookie with a prepared "PRAGMA ...schema_version" (a
// plain cookie read: the pragma table functions would prepare SQL anew on
// every step). With `hold` the statement is left on its row.
long long Cookie(sqlite3* db, StatementPtr& query, const char* sql, bool hold) {
  if (!query) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) != SQLITE_OK || !s) {
      sqlite3_finalize(s);
      return -1;
    }
    query.reset(s);
  }
  long long version = -1;
  if (sqlite3_step(query.get()) == SQLITE_ROW) version = sqlite3_column_int64(query.get(), 0);
  if (!hold || version < 0) sqlite3_reset(query.get());
  return version;
}

}  // namespace

void ResetCached(sqlite3_stmt* stmt) {
  sqlite3_reset(stmt);
  sqlite3_clear_bindings(stmt);
}

// The schema version of the main and the temporary database together:
// either changes when a table, index or view is created, altered or dropped.
void StatementCache::Validate(sqlite3* db, bool hold) {
  Release();
  const long long main = Cookie(db, main_version_, "PRAGMA main.schema_version", hold);
  const long long temp = main < 0 ? -1 : Cookie(db, temp_version_, "PRAGMA temp.schema_version", false);
  const long long version = temp < 0 ? -1 : main * 65536 + temp;
  if (version < 0) Release();
  if (version < 0 || version != schema_version_) {
    // Reading the cookie does not make SQLite reload a schema that another
    // connection changed, so statements prepared next would still be
    // compiled against the old one; a read of the schema table checks the
    // cookie and reloads it.
    if (version >= 0)
      sqlite3_exec(db, "SELECT count(*) FROM main.sqlite_schema", nullptr, nullptr, nullptr);
    entries_.clear();
    schema_version_ = version;
  }
}

void StatementCache::Release() {
  if (main_version_) sqlite3_reset(main_version_.get());
}

CachedStatement* StatementCache::Find(std::string_view text) {
  if (schema_version_ < 0) return nullptr;
  auto it = entries_.find(text);
  return it == entries_.end() ? nullptr : &it->second;
}

void StatementCache::Keep(std::string_view text, CachedStatement entry) {
  if (schema_version_ < 0 || !entry.stmt || capacity_ == 0) return;
  ResetCached(entry.stmt.get());
  if (entries_.size() >= capacity_) entries_.clear();
  entries_[std::string(text)] = std::move(entry);
}

void StatementCache::Clear() {
  Release();
  entries_.clear();
  main_version_.reset();
  temp_version_.reset();
  schema_version_ = -1;
}

}  // namespace kestrion::server
