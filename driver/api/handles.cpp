// SQLAllocHandle, SQLFreeHandle and SQLFreeStmt.
#include <optional>

#include "driver/connection.h"
#include "driver/descriptor.h"
#include "driver/entry_guard.h"
#include "driver/environment.h"
#include "driver/statement.h"
#include "statement/close_statement.h"

namespace kestrion {

SQLRETURN AllocHandle(SQLSMALLINT type, SQLHANDLE input, SQLHANDLE* output) {
  CSQLHandle* parent = nullptr;
  // A statement or descriptor is allocated under its connection's call lock:
  // clearing the connection's diagnostics while another thread's statement
  // call is reading its reply would drop that call's error, which reaches the
  // statement through the connection's records.
  std::optional<CallLockHolder> held;
  if (type != SQL_HANDLE_ENV) {
    HandleKind input_kind = HandleRegistry::KindOf(input);
    if (input_kind == HandleKind::None) return SQL_INVALID_HANDLE;
    parent = static_cast<CSQLHandle*>(input);
    held.emplace(*parent);
    parent->ClearDiagnostics();
    HandleKind required = HandleKind::None;
    if (type == SQL_HANDLE_DBC) required = HandleKind::Environment;
    if (type == SQL_HANDLE_STMT || type == SQL_HANDLE_DESC) required = HandleKind::Connection;
    if (required == HandleKind::None || input_kind != required) {
      parent->Post(SqlState::HY092);
      return SQL_INVALID_HANDLE;
    }
  } else if (input != nullptr) {
    return SQL_ERROR;
  }
  if (output == nullptr) return SQL_ERROR;
  *output = nullptr;

  if (type == SQL_HANDLE_ENV) {
    CHEnvironment* env = CHEnvironment::Create();
    if (env == nullptr) return SQL_ERROR;
    *output = env;
    return SQL_SUCCESS;
  }
  CSQLHandle* child = parent->_CreateChild(static_cast<HandleKind>(type));
  if (child == nullptr) return SQL_ERROR;
  if (child->defunct()) {
    delete child;
    return SQL_ERROR;
  }
  HandleRegistry::AddChild(parent, child);
  if (type == SQL_HANDLE_DESC) {
    auto* descriptor = static_cast<CHDescriptor*>(child);
    descriptor->_SetAttribute(descriptor->alloc_type_cell, SQL_DESC_ALLOC_TYPE,
                              reinterpret_cast<SQLPOINTER>(SQL_DESC_ALLOC_USER), 0, 0);
  }
  *output = child;
  return SQL_SUCCESS;
}

}  // namespace kestrion

using namespace kestrion;

extern "C" {

KESTRION_EXPORT SQLRETURN SQL_API SQLAllocHandle(SQLSMALLINT HandleType, SQLHANDLE InputHandle,
                                                 SQLHANDLE* OutputHandlePtr) {
  try {
    return AllocHandle(HandleType, InputHandle, OutputHandlePtr);
  } catch (...) {
    return SQL_ERROR;
  }
}

KESTRION_EXPORT SQLRETURN SQL_API SQLFreeHandle(SQLSMALLINT HandleType, SQLHANDLE Handle) {
  HandleKind kind = KindFromHandleType(HandleType);
  if (kind == HandleKind::None) return SQL_INVALID_HANDLE;
  return Guarded<CSQLHandle>(Handle, kind, [&](CSQLHandle& h) -> SQLRETURN {
    if (kind == HandleKind::Descriptor) {
      auto& descriptor = static_cast<CHDescriptor&>(h);
      AttributeCell* cell = descriptor._GetAvailableAttribute(SQL_DESC_ALLOC_TYPE, 0, kInternalGet);
      if (cell != nullptr && cell->AsInt16() == SQL_DESC_ALLOC_AUTO) {
        return descriptor.Post(SqlState::HY017,
                               u"Invalid use of an automatically allocated descriptor handle.");
      }
    }
    delete &h;
    return SQL_SUCCESS;
  });
}

KESTRION_EXPORT SQLRETURN SQL_API SQLFreeStmt(SQLHSTMT StatementHandle, SQLUSMALLINT Option) {
  return Guarded<CHStatement>(StatementHandle, HandleKind::Statement,
                              [&](CHStatement& stmt) -> SQLRETURN {
    switch (Option) {
      case SQL_CLOSE:
        CloseStatement(stmt);
        return stmt.return_code();
      case SQL_DROP:
        delete &stmt;
        return SQL_SUCCESS;
      case SQL_UNBIND:
      case SQL_RESET_PARAMS: {
        CHDescriptor* d = stmt.current_descriptor(Option == SQL_UNBIND ? DescriptorRole::AppRow
                                                                      : DescriptorRole::AppParam);
        if (d != nullptr && HandleRegistry::KindOf(d) == HandleKind::Descriptor) {
          d->_SetAttribute(d->count_cell, SQL_DESC_COUNT, reinterpret_cast<SQLPOINTER>(0), 0, 0);
        }
        return stmt.return_code();
      }
      default:
        return stmt.return_code();
    }
  });
}

}  // extern "C"
