#include "server/database_setup.h"

#include <sqlite3.h>
#include <stdlib.h>
#include <unistd.h>

#include "server/sample_schema.h"

namespace kestrion::server {

bool CreateTemporaryDatabase(std::string& path, std::string& error) {
  const char* dir = getenv("TMPDIR");
  std::string pattern = std::string(dir && *dir ? dir : "/tmp") + "/kestrion-server-XXXXXX";
  std::string buf = pattern;
  int fd = mkstemp(buf.data());
  if (fd < 0) {
    error = "cannot create a temporary database in " + pattern;
    return false;
  }
  close(fd);
  path = buf;
  return true;
}

void RemoveDatabaseFiles(const std::string& path) {
  unlink(path.c_str());
  unlink((path + "-wal").c_str());
  unlink((path + "-shm").c_str());
  unlink((path + "-journal").c_str());
}

bool InitialiseDatabase(const std::string& path, bool sample, std::string& error) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
    error = db ? sqlite3_errmsg(db) : "cannot open the database";
    sqlite3_close(db);
    return false;
  }
  bool ok = sqlite3_exec(db, "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr) == SQLITE_OK;
  if (ok && sample) ok = LoadSampleSchema(db);
  if (!ok) error = sqlite3_errmsg(db);
  sqlite3_close(db);
  return ok;
}

}  // namespace kestrion::server
