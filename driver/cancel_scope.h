#pragma once

#include "driver/handle.h"
#include "protocol/cancel_signal.h"

namespace kestrion {

// Marks a statement's call as running for its connection's cancel signal,
// so that SQLCancel on another thread can stop it (nothing for the other
// handle kinds).
class CancelScope {
 public:
  explicit CancelScope(CSQLHandle& h, bool enter = true)
      : signal_(enter && h.kind() == HandleKind::Statement ? h._CancelSignal() : nullptr) {
    if (signal_) previous_ = signal_->Enter(&h);
  }
  ~CancelScope() {
    if (signal_) signal_->Leave(previous_);
  }
  CancelScope(const CancelScope&) = delete;
  CancelScope& operator=(const CancelScope&) = delete;

 private:
  CancelSignal* signal_;
  const void* previous_ = nullptr;
};

}  // namespace kestrion
