#include "protocol/cancel_signal.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace kestrion {

CancelSignal::CancelSignal() : wake_fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

CancelSignal::~CancelSignal() {
  if (wake_fd_ >= 0) ::close(wake_fd_);
}

void CancelSignal::Drain() {
  // Only a request wrote to the descriptor; it has finished writing once the
  // lock is ours.
  std::lock_guard lock(mutex_);
  if (wake_fd_ >= 0) {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = ::read(wake_fd_, &count, sizeof count);
  }
}

const void* CancelSignal::Enter(const void* statement) {
  // A new call starts unmarked: a request for the call it runs inside is
  // forgotten.
  const std::uintptr_t before =
      state_.exchange(reinterpret_cast<std::uintptr_t>(statement), std::memory_order_acq_rel);
  if (before & kRequested) [[unlikely]] Drain();
  return reinterpret_cast<const void*>(before & ~kRequested);
}

void CancelSignal::Leave(const void* previous) {
  // Back in the call this one ran inside, a request stays marked (the outer
  // call stops too); with no call left it is forgotten.
  const auto outer = reinterpret_cast<std::uintptr_t>(previous);
  std::uintptr_t now = state_.load(std::memory_order_relaxed);
  while (!state_.compare_exchange_weak(now, outer == 0 ? 0 : outer | (now & kRequested),
                                       std::memory_order_acq_rel, std::memory_order_relaxed)) {
  }
  if (outer == 0 && (now & kRequested)) [[unlikely]] Drain();
}

bool CancelSignal::Request(const void* statement) {
  const auto wanted = reinterpret_cast<std::uintptr_t>(statement);
  if (wanted == 0 || (wanted & kRequested)) return false;
  std::lock_guard lock(mutex_);
  std::uintptr_t now = state_.load(std::memory_order_acquire);
  do {
    if ((now & ~kRequested) != wanted) return false;
    if (now & kRequested) return true;  // marked already
  } while (!state_.compare_exchange_weak(now, wanted | kRequested, std::memory_order_acq_rel,
                                         std::memory_order_acquire));
  if (wake_fd_ >= 0) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(wake_fd_, &one, sizeof one);
  }
  return true;
}

}  // namespace kestrion
