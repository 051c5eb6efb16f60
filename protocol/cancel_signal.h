// How SQLCancel on one thread reaches a statement call waiting for the
// server on another. The waiting call holds the connection's call lock, so
// SQLCancel takes only this object's own small lock: it marks the request
// and wakes the wait through an event descriptor that the wait polls beside
// the link. Everything else (cancelling on the server or closing the link)
// is done by the waiting thread itself.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

namespace kestrion {

class CancelSignal {
 public:
  CancelSignal();
  ~CancelSignal();
  CancelSignal(const CancelSignal&) = delete;
  CancelSignal& operator=(const CancelSignal&) = delete;

  // Around a call on statement `statement`, by the thread that holds the
  // connection's call lock: Enter answers what was running before (a call
  // may run inside another), Leave restores it. Entering forgets an earlier
  // request.
  const void* Enter(const void* statement);
  void Leave(const void* previous);

  // From any thread: asks the call running on `statement` to stop. False
  // when no call of that statement is running (nothing is marked then).
  bool Request(const void* statement);

  // Whether the running call was asked to stop.
  bool requested() const { return (state_.load(std::memory_order_acquire) & kRequested) != 0; }
  // Becomes readable when a request is made; -1 when the descriptor could
  // not be created (waits then look at requested() every few milliseconds).
  int wake_fd() const { return wake_fd_; }

 private:
  // Empties the wake-up descriptor of a request that was forgotten.
  void Drain();

  // The running call's statement and, in the lowest bit, whether it was
  // asked to stop: one word, so that entering and leaving a call cost one
  // atomic operation each and a request marks exactly the call it saw.
  static constexpr std::uintptr_t kRequested = 1;
  std::atomic<std::uintptr_t> state_{0};
  // Held by a request from marking to waking, and by a call that forgets a
  // request while emptying the descriptor, so that no wake-up outlives it.
  std::mutex mutex_;
  int wake_fd_ = -1;
};

}  // namespace kestrion
