// The boundary of every exported ODBC function: validates the handle,
// clears its diagnostics and never lets a C++ exception escape.
#pragma once

#include <new>
#include <utility>

#include "driver/call_log.h"
#include "protocol/cancel_signal.h"
#include "driver/handle.h"
#include "driver/registry.h"

namespace kestrion {

// Runs `run()` and, once a driver log at debug level exists, writes the
// call's line. `where` names the exported function that called the guard.
template <class Run>
SQLRETURN WithCallLog(CSQLHandle& h, HandleKind kind, const char* where,
                      Run&& run) noexcept {
  if (!g_call_logging.load(std::memory_order_relaxed)) [[likely]] {
    const SQLRETURN result = run();
    // A connect may have opened the first log at debug level.
    if (g_call_logging.load(std::memory_order_relaxed)) [[unlikely]] {
      LogCall(nullptr, where, &h, kind, result);
    }
    return result;
  }
  // Taken before the call, which may free the handle.
  const CallLogContext before = CallLogContextOf(h);
  const SQLRETURN result = run();
  LogCall(&before, where, &h, kind, result);
  return result;
}

// Runs `body(T&)` on a registered handle of the given kind after clearing its
// diagnostics; SQL_INVALID_HANDLE when the handle is null, unknown or of
// another kind. Exceptions become HY001 or HY000 on the handle.
// Holds the call lock of a handle's connection for one call (nothing for an
// environment): threads sharing a connection take turns on its link.
class CallLockHolder {
 public:
  explicit CallLockHolder(const CSQLHandle& h) {
    // A call on a connection may free it: it keeps a share of the lock.
    if (h.kind() == HandleKind::Connection) {
      shared_ = h._CallLock();
      lock_ = shared_.get();
    } else {
      lock_ = h._CallMutex();
    }
    if (lock_) lock_->lock();
  }
  ~CallLockHolder() {
    if (lock_) lock_->unlock();
  }
  CallLockHolder(const CallLockHolder&) = delete;
  CallLockHolder& operator=(const CallLockHolder&) = delete;

 private:
  std::shared_ptr<std::recursive_mutex> shared_;
  std::recursive_mutex* lock_ = nullptr;
};

// Marks a statement's call as running for its connection's cancel signal,
// so that SQLCancel on another thread can stop it (nothing for the other
// handle kinds).
class CancelScope {
 public:
  explicit CancelScope(CSQLHandle& h)
      : signal_(h.kind() == HandleKind::Statement ? h._CancelSignal() : nullptr) {
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

template <class T, class Body>
SQLRETURN Guarded(SQLHANDLE handle, HandleKind kind, Body&& body,
                  const char* where = __builtin_FUNCTION()) noexcept {
  CSQLHandle* h = HandleRegistry::Find(handle, kind);
  if (h == nullptr) return SQL_INVALID_HANDLE;
  const CallLockHolder held(*h);
  const CancelScope cancellable(*h);
  h->ClearDiagnostics();
  return WithCallLog(*h, kind, where, [&]() noexcept -> SQLRETURN {
    try {
      return std::forward<Body>(body)(static_cast<T&>(*h));
    } catch (const std::bad_alloc&) {
      return h->Post(SqlState::HY001);
    } catch (...) {
      return h->Post(SqlState::HY000, u"Unexpected internal failure.");
    }
  });
}

// The same without clearing: for the functions that read diagnostics.
template <class T, class Body>
SQLRETURN GuardedNoClear(SQLHANDLE handle, HandleKind kind, Body&& body,
                         const char* where = __builtin_FUNCTION()) noexcept {
  CSQLHandle* h = HandleRegistry::Find(handle, kind);
  if (h == nullptr) return SQL_INVALID_HANDLE;
  const CallLockHolder held(*h);
  return WithCallLog(*h, kind, where, [&]() noexcept -> SQLRETURN {
    try {
      return std::forward<Body>(body)(static_cast<T&>(*h));
    } catch (...) {
      return SQL_ERROR;
    }
  });
}

// Converts an SQLSMALLINT handle type into a kind (None when out of range).
inline HandleKind KindFromHandleType(SQLSMALLINT type) {
  return (type >= SQL_HANDLE_ENV && type <= SQL_HANDLE_DESC) ? static_cast<HandleKind>(type)
                                                            : HandleKind::None;
}

}  // namespace kestrion
