// The SQLSTATE class of an error reply ("Error-SQLState:"), chosen from
// SQLite's result codes, and the busy wait whose outcome decides between a
// retryable conflict and a time-out.
#pragma once

#include <sqlite3.h>

#include <string_view>

namespace kestrion::server {

// The SQLSTATE for SQLite's extended result code `code` and its message:
// constraint violations 23000, syntax errors 42000, an unknown table 42S02,
// an unknown column 42S22, an existing table 42S01, busy or locked 40001 (or
// HYT00 when `busy_wait_timed_out`), an interrupted statement HY008,
// anything else HY000.
std::string_view SqlStateOfSqliteError(int code, std::string_view message, bool busy_wait_timed_out);

// Waits for a database lock held by another connection for up to
// `timeout_ms`, remembering on this thread whether a wait ran out.
void InstallBusyWait(sqlite3* db, int timeout_ms);

// Makes lock waits on this thread end early when `stop(context)` answers
// true (null: never).
void SetLockWaitStop(bool (*stop)(void*), void* context);

// Whether the last busy wait on this thread ran out; reading it forgets it.
bool TakeBusyWaitTimedOut();

}  // namespace kestrion::server
