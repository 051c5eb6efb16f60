// The debug lines of the driver log: one per ODBC call that passes the entry
// guard, with the function, the handle, the return code and the first
// SQLSTATE the call left on its handle.
#pragma once

#include <cstdint>

#include "driver/driver_log.h"
#include "driver/handle.h"

namespace kestrion {

// Where a call on a handle logs: its connection's target (a statement's or a
// descriptor's connection), the process target for an environment.
struct CallLogContext {
  LogTarget target;
  std::int32_t connection = -1;
};
CallLogContext CallLogContextOf(const CSQLHandle& handle) noexcept;

// Writes the line of a finished call. `function` is the calling function's
// signature as the compiler names it. The handle's log is looked up after the
// call (a connect chooses it); when the call freed the handle, `before` (the
// context taken before the call, when there is one) is used.
void LogCall(const CallLogContext* before, const char* function, const void* handle,
             HandleKind kind, SQLRETURN result) noexcept;

// "SQLFetch" out of "SQLRETURN SQLFetch(SQLHSTMT)".
std::string_view FunctionNameOf(std::string_view signature);
std::string_view ReturnCodeName(SQLRETURN result);

}  // namespace kestrion
