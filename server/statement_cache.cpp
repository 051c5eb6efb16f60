#include "server/statement_cache.h"

#include <strings.h>

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
  long long temp = -1;
  if (main >= 0) {
    const bool known = watching_temp_ && !temp_may_change_ && temp_version_read_ >= 0;
    temp = known ? temp_version_read_ : Cookie(db, temp_version_, "PRAGMA temp.schema_version", false);
    temp_version_read_ = temp;
  }
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

namespace {

bool IsTemp(const char* database) { return database == nullptr || strcasecmp(database, "temp") == 0; }

// Pragmas that read and cannot change a schema: the cookie reads of Validate
// and those that the system tables are filled with.
bool ReadsOnly(const char* pragma, const char* argument) {
  if (pragma == nullptr) return false;
  if (strcasecmp(pragma, "schema_version") == 0) return argument == nullptr;
  for (const char* name : {"table_info", "table_xinfo", "index_list", "index_info", "index_xinfo", "foreign_key_list"})
    if (strcasecmp(pragma, name) == 0) return true;
  return false;
}

}  // namespace

int StatementCache::Authorize(void* self, int action, const char* arg1, const char* arg2, const char* database,
                              const char*) {
  bool may_change = false;
  switch (action) {
    case SQLITE_CREATE_TEMP_INDEX:
    case SQLITE_CREATE_TEMP_TABLE:
    case SQLITE_CREATE_TEMP_TRIGGER:
    case SQLITE_CREATE_TEMP_VIEW:
    case SQLITE_DROP_TEMP_INDEX:
    case SQLITE_DROP_TEMP_TABLE:
    case SQLITE_DROP_TEMP_TRIGGER:
    case SQLITE_DROP_TEMP_VIEW:
    case SQLITE_ALTER_TABLE:  // a rename rewrites temporary triggers too
      may_change = true;
      break;
    case SQLITE_CREATE_INDEX:
    case SQLITE_CREATE_TABLE:
    case SQLITE_CREATE_TRIGGER:
    case SQLITE_CREATE_VIEW:
    case SQLITE_DROP_INDEX:
    case SQLITE_DROP_TABLE:
    case SQLITE_DROP_TRIGGER:
    case SQLITE_DROP_VIEW:
    case SQLITE_CREATE_VTABLE:
    case SQLITE_DROP_VTABLE:
    case SQLITE_ANALYZE:
    case SQLITE_REINDEX:
      may_change = IsTemp(database);
      break;
    case SQLITE_PRAGMA:  // temp_store, writable_schema, schema_version = ...
      may_change = !ReadsOnly(arg1, arg2);
      break;
    default:
      break;
  }
  if (may_change) static_cast<StatementCache*>(self)->temp_may_change_ = true;
  return SQLITE_OK;
}

void StatementCache::WatchTempSchema(sqlite3* db) {
  if (sqlite3_set_authorizer(db, &StatementCache::Authorize, this) != SQLITE_OK) return;
  watching_temp_ = true;
  temp_may_change_ = false;
  temp_version_read_ = -1;
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
  temp_version_read_ = -1;
}

}  // namespace kestrion::server
