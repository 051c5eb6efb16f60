#include "server/session_interrupt.h"

#include <thread>

#include "server/client_link.h"
#include "server/error_state.h"

namespace kestrion::server {

namespace {
// Virtual machine steps between two calls of the progress handler.
constexpr int kProgressSteps = 1000;
constexpr auto kLinkCheckInterval = std::chrono::milliseconds(20);

bool StopLockWait(void* self) { return static_cast<SessionInterrupt*>(self)->ShouldStop(); }
}  // namespace

SessionInterrupt::~SessionInterrupt() { SetLockWaitStop(nullptr, nullptr); }

void SessionInterrupt::Attach(sqlite3* db) {
  sqlite3_progress_handler(db, kProgressSteps, &SessionInterrupt::OnProgress, this);
  SetLockWaitStop(&StopLockWait, this);
}

int SessionInterrupt::OnProgress(void* self) { return static_cast<SessionInterrupt*>(self)->ShouldStop() ? 1 : 0; }

void SessionInterrupt::Begin(std::string_view id) {
  std::lock_guard lock(mutex_);
  running_.assign(id);
  // Requests are served in order: a cancel waiting for another id is stale.
  const bool early = !pending_.empty() && pending_ == id;
  pending_.clear();
  cancelled_.store(early, std::memory_order_release);
}

void SessionInterrupt::End() {
  std::lock_guard lock(mutex_);
  running_.clear();
  cancelled_.store(false, std::memory_order_release);
}

void SessionInterrupt::Cancel(std::string_view id) {
  if (id.empty()) return;
  std::lock_guard lock(mutex_);
  if (running_ == id) {
    cancelled_.store(true, std::memory_order_release);
  } else {
    // The request may still be on its way to the session.
    pending_.assign(id);
  }
}

bool SessionInterrupt::ShouldStop() {
  if (cancelled_.load(std::memory_order_acquire) || link_.shut()) return true;
  if (link_gone_) return true;
  const auto now = std::chrono::steady_clock::now();
  if (now >= next_link_check_) {
    next_link_check_ = now + kLinkCheckInterval;
    link_gone_ = link_.PeerClosed();
  }
  return link_gone_;
}

bool SessionInterrupt::Sleep(int ms) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < until) {
    if (ShouldStop()) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return !ShouldStop();
}

}  // namespace kestrion::server
