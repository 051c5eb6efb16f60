// Runs the statements of one request text (a batch separated by ";") on the
// session's SQLite connection.
#pragma once

#include <sqlite3.h>

#include <string>
#include <string_view>
#include <vector>

#include "server/result_set.h"
#include "server/statement_cache.h"
#include "toolbox/value.h"

namespace kestrion::server {

struct SqlError {
  int code = 0;  // an ErrorCode
  std::string message;
  std::string sqlstate;  // the reply's "Error-SQLState", empty for none
};

// Describes the results without running anything. A statement that cannot be
// prepared ends the description (it may need an earlier one to have run); only
// a failure of the first statement is an error.
bool DescribeBatch(sqlite3* db, std::string_view sql, std::vector<ResultSet>& out, SqlError& error);

// Runs every statement, handing out `params` in marker order, and keeps every
// result in `out` (whose first result, when there is one, lends its memory). On error, effects of earlier statements stay (each
// statement commits on its own unless a transaction is open). With a cache,
// a text of one statement is prepared once and then taken from the cache;
// `used` then tells which kept statement ran (null when none did), valid
// until the cache is next used.
bool ExecuteBatch(sqlite3* db, std::string_view sql, const std::vector<corvane::VValue>& params,
                  std::vector<ResultSet>& out, SqlError& error, StatementCache* cache = nullptr,
                  CachedStatement** used = nullptr);

// The error of the connection's last call as a reply error.
SqlError SqliteError(sqlite3* db);

}  // namespace kestrion::server
