#include "driver/call_log.h"

#include <cstdio>
#include <string>

#include "driver/connection.h"
#include "driver/registry.h"

namespace kestrion {

CallLogContext CallLogContextOf(const CSQLHandle& handle) noexcept {
  const CSQLHandle* owner = &handle;
  if (handle.kind() == HandleKind::Statement || handle.kind() == HandleKind::Descriptor) {
    owner = handle.parent();
  }
  if (owner != nullptr && owner->kind() == HandleKind::Connection) {
    const auto& connection = static_cast<const CHConnection&>(*owner);
    return {connection.log, connection.connection_number};
  }
  return {ProcessLogTarget(), -1};
}

std::string_view FunctionNameOf(std::string_view signature) {
  const std::size_t open = signature.find('(');
  if (open == std::string_view::npos) return signature;
  std::size_t start = open;
  while (start > 0 && signature[start - 1] != ' ' && signature[start - 1] != '*' &&
         signature[start - 1] != ':') {
    --start;
  }
  return signature.substr(start, open - start);
}

std::string_view ReturnCodeName(SQLRETURN result) {
  switch (result) {
    case SQL_SUCCESS: return "SQL_SUCCESS";
    case SQL_SUCCESS_WITH_INFO: return "SQL_SUCCESS_WITH_INFO";
    case SQL_ERROR: return "SQL_ERROR";
    case SQL_INVALID_HANDLE: return "SQL_INVALID_HANDLE";
    case SQL_NO_DATA: return "SQL_NO_DATA";
    case SQL_NEED_DATA: return "SQL_NEED_DATA";
    case SQL_STILL_EXECUTING: return "SQL_STILL_EXECUTING";
    default: return "?";
  }
}

void LogCall(const CallLogContext* before, const char* function, const void* handle,
             HandleKind kind, SQLRETURN result) noexcept {
  try {
    const CSQLHandle* h = HandleRegistry::Find(handle, kind);
    CallLogContext context;
    if (h != nullptr) {
      context = CallLogContextOf(*h);
    } else if (before != nullptr) {
      context = *before;
    }
    if (!context.target.Enabled(LogLevel::Debug)) return;
    char address[32];
    std::snprintf(address, sizeof address, "%p", handle);
    std::string line = "call ";
    line += FunctionNameOf(function);
    line += " handle ";
    line += address;
    line += " -> ";
    line += ReturnCodeName(result);
    if (h != nullptr && !h->diagnostics().empty()) {
      line += " SQLSTATE ";
      line += corvane::VString(SqlStateCode(h->diagnostics().front().state)).ToUtf8();
    }
    context.target.file->Write(context.connection, line);
  } catch (...) {
    // A line that cannot be written is dropped; the call's result stands.
  }
}

}  // namespace kestrion
