#include "protocol/cancel_signal.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace kestrion {

CancelSignal::CancelSignal() : wake_fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

CancelSignal::~CancelSignal() {
  if (wake_fd_ >= 0) ::close(wake_fd_);
}

void CancelSignal::Forget() {
  // Only a request wrote to the descriptor: most calls cost no system call,
  // and no atomic exchange either (requests are made under the same lock).
  if (!requested_.load(std::memory_order_relaxed)) return;
  if (requested_.exchange(false, std::memory_order_acq_rel) && wake_fd_ >= 0) {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = ::read(wake_fd_, &count, sizeof count);
  }
}

const void* CancelSignal::Enter(const void* statement) {
  std::lock_guard lock(mutex_);
  const void* previous = running_;
  running_ = statement;
  Forget();
  return previous;
}

void CancelSignal::Leave(const void* previous) {
  std::lock_guard lock(mutex_);
  running_ = previous;
  if (previous == nullptr) Forget();
}

bool CancelSignal::Request(const void* statement) {
  std::lock_guard lock(mutex_);
  if (statement == nullptr || running_ != statement) return false;
  if (!requested_.exchange(true, std::memory_order_acq_rel) && wake_fd_ >= 0) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(wake_fd_, &one, sizeof one);
  }
  return true;
}

}  // namespace kestrion
