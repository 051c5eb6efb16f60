#include "server/error_state.h"

#include <chrono>
#include <thread>

namespace kestrion::server {

namespace {

bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

// Set when a wait gave up; each session runs on its own thread.
thread_local bool t_busy_wait_timed_out = false;
thread_local std::chrono::steady_clock::time_point t_busy_since;
// Asked before each retry of a lock wait: a cancelled request stops waiting.
thread_local bool (*t_stop)(void*) = nullptr;
thread_local void* t_stop_context = nullptr;

int BusyWait(void* context, int attempt) {
  const auto timeout = std::chrono::milliseconds(static_cast<int>(reinterpret_cast<std::intptr_t>(context)));
  const auto now = std::chrono::steady_clock::now();
  if (attempt == 0) {
    t_busy_wait_timed_out = false;
    t_busy_since = now;
  }
  if (t_stop && t_stop(t_stop_context)) return 0;
  if (now - t_busy_since >= timeout) {
    t_busy_wait_timed_out = true;
    return 0;
  }
  // Short sleeps first, so that a lock released at once costs little.
  const int ms = attempt < 10 ? 1 + attempt : 20;
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  return 1;
}

}  // namespace

std::string_view SqlStateOfSqliteError(int code, std::string_view message, bool busy_wait_timed_out) {
  switch (code & 0xFF) {
    case SQLITE_CONSTRAINT:
      return "23000";
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return busy_wait_timed_out ? "HYT00" : "40001";
    case SQLITE_INTERRUPT:
      return "HY008";
    case SQLITE_ERROR:
      if (Contains(message, "no such table") || Contains(message, "no such view")) return "42S02";
      if (Contains(message, "no such column")) return "42S22";
      if (Contains(message, "already exists") &&
          (message.starts_with("table") || message.starts_with("view"))) {
        return "42S01";
      }
      if (Contains(message, "syntax error") || Contains(message, "incomplete input") ||
          Contains(message, "unrecognized token")) {
        return "42000";
      }
      return "HY000";
    default:
      return "HY000";
  }
}

void InstallBusyWait(sqlite3* db, int timeout_ms) {
  sqlite3_busy_handler(db, timeout_ms > 0 ? BusyWait : nullptr,
                       reinterpret_cast<void*>(static_cast<std::intptr_t>(timeout_ms)));
}

void SetLockWaitStop(bool (*stop)(void*), void* context) {
  t_stop = stop;
  t_stop_context = context;
}

bool TakeBusyWaitTimedOut() {
  const bool timed_out = t_busy_wait_timed_out;
  t_busy_wait_timed_out = false;
  return timed_out;
}

}  // namespace kestrion::server
