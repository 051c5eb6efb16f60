// What stops a session's running SQL before it ends on its own: a cancel
// that names the request being served (from another client connection, see
// CancelRegistry), the client closing its link, or the server stopping.
// SQLite asks the progress handler installed here every few hundred virtual
// machine steps, and a lock wait asks too; either way the statement fails
// with SQLITE_INTERRUPT, which the session reports as error 4009 (HY008).
#pragma once

#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <string_view>

namespace kestrion::server {

class ClientLink;

class SessionInterrupt {
 public:
  explicit SessionInterrupt(const ClientLink& link) : link_(link) {}
  ~SessionInterrupt();
  SessionInterrupt(const SessionInterrupt&) = delete;
  SessionInterrupt& operator=(const SessionInterrupt&) = delete;

  // Installs the progress handler and the lock wait's stop check on the
  // session's connection (on the session's thread). Both stay until the
  // connection is closed and this object destroyed.
  void Attach(sqlite3* db);
  // The session begins and ends serving request `id` (on its thread). A
  // cancel that arrived for `id` before it began takes effect at once.
  void Begin(std::string_view id);
  void End();

  // From any thread: interrupts request `id` when it is being served, or
  // when it is the next one to begin. Anything else is ignored.
  void Cancel(std::string_view id);

  // Whether the request being served should stop: cancelled, the client's
  // link closed, or the server stopping. Checks the link at most every
  // 20 ms. On the session's thread.
  bool ShouldStop();
  // Waits `ms` milliseconds unless the request should stop first; false
  // when it should.
  bool Sleep(int ms);
  // Whether the request being served was cancelled (not just its link lost).
  bool cancelled() const { return cancelled_.load(std::memory_order_acquire); }

 private:
  static int OnProgress(void* self);

  const ClientLink& link_;
  std::atomic<bool> cancelled_{false};
  std::chrono::steady_clock::time_point next_link_check_{};
  bool link_gone_ = false;

  std::mutex mutex_;
  std::string running_;  // the request being served; empty between requests
  std::string pending_;  // a cancel that came before its request began
};

}  // namespace kestrion::server
