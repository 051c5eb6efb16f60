#include "server/statement_cache.h"

namespace kestrion::server {

namespace {

// The schema version of the main and the temporary database together:
// either changes when a table, index or view is created, altered or dropped.
long long SchemaVersion(sqlite3* db, StatementPtr& query, bool hold) {
  if (!query) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT (SELECT schema_version FROM pragma_schema_version) * 65536 + "
                               "(SELECT schema_version FROM temp.pragma_schema_version)",
                           -1, &s, nullptr) != SQLITE_OK) {
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

void StatementCache::Validate(sqlite3* db, bool hold) {
  Release();
  const long long version = SchemaVersion(db, version_query_, hold);
  if (version < 0 || version != schema_version_) {
    entries_.clear();
    schema_version_ = version;
  }
}

void StatementCache::Release() {
  if (version_query_) sqlite3_reset(version_query_.get());
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
  version_query_.reset();
  schema_version_ = -1;
}

}  // namespace kestrion::server
