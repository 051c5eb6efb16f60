// Binds a value received from a client to a SQLite statement parameter, in the
// storage the server uses for its kind (dates as ISO text, durations as
// milliseconds, decimals as numbers or, beyond a double's precision, text).
#pragma once

#include <sqlite3.h>

#include <string>

#include "toolbox/value.h"

namespace kestrion::server {

// Returns SQLITE_OK or SQLite's error; `error` names a value the server
// refuses (an impossible date).
int BindValue(sqlite3_stmt* stmt, int index, const corvane::VValue& v, std::string& error);

}  // namespace kestrion::server
