// CSQLHandle: the base of every ODBC handle the driver gives out. A handle's
// address is its handle value.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string_view>
#include <vector>

#include "driver/attribute_cell.h"
#include "driver/diagnostic_record.h"
#include "driver/odbc.h"
#include "driver/sqlstate.h"

namespace kestrion {

enum class HandleKind : uint16_t {
  None = 0,
  Environment = SQL_HANDLE_ENV,
  Connection = SQL_HANDLE_DBC,
  Statement = SQL_HANDLE_STMT,
  Descriptor = SQL_HANDLE_DESC,
};

// Character set of narrow text on a connection.
enum class Charset : int32_t { Utf8 = 0, Local = 1 };

class CSQLHandle;
class CancelSignal;

// Whether a handle recorded an error from its `first` diagnostic on.
bool ErrorSince(const CSQLHandle& handle, std::size_t first);

class CSQLHandle {
 public:
  CSQLHandle(const CSQLHandle&) = delete;
  CSQLHandle& operator=(const CSQLHandle&) = delete;
  virtual ~CSQLHandle();

  HandleKind kind() const { return kind_; }
  CSQLHandle* parent() const { return parent_; }
  bool defunct() const { return defunct_; }
  // 0, 1 (SQL_SUCCESS_WITH_INFO) or -1 (SQL_ERROR).
  SQLRETURN return_code() const { return return_code_; }
  bool ok() const { return return_code_ == SQL_SUCCESS || return_code_ == SQL_SUCCESS_WITH_INFO; }

  // Records a diagnostic and raises the handle return code; answers the
  // return code of the handle that received it (-1 when none did).
  SQLRETURN Post(SqlState state, std::u16string_view message = {}, int32_t native_error = 0);
  SQLRETURN Post(SqlState state, const char* ascii_message, int32_t native_error = 0);
  void ClearDiagnostics();
  // Removes the records from index `first` on and recomputes the return
  // code from those left (for work whose failures are reported otherwise).
  void DropDiagnosticsFrom(std::size_t first);
  // Sets the return code while keeping the records: a parameter array runs
  // each set with a return code of its own and answers for all of them.
  void set_return_code(SQLRETURN rc) { return_code_ = rc; }
  // Marks the records from the `first` on as concerning a row and a column
  // (-1: none).
  void SetRowAndColumn(std::size_t first, int64_t row, int32_t column);
  const std::vector<DiagnosticRecord>& diagnostics() const { return diagnostics_; }

  // Children in ascending address order (a snapshot, taken under the
  // registry lock).
  std::vector<CSQLHandle*> Children() const;

  // Virtual operations of the handle classes.
  virtual int32_t _GetODBCVersion();
  // Ends the transaction of the handle and its children. A child counts as
  // failed only when its own step posts an error now: an error left from an
  // earlier call must not fail a commit.
  virtual void _EndTransaction(int16_t completion);
  // Finds the cell of an attribute or descriptor field for an access mode,
  // or posts the refusal and answers null.
  virtual AttributeCell* _GetAvailableAttribute(int32_t id, int16_t record, uint32_t access);
  // Checks and stores a new value in a cell found by _GetAvailableAttribute.
  // For string cells `value` points to the new text (length in bytes,
  // terminator included); for the other kinds it is the value itself.
  virtual void _SetAttribute(AttributeCell& cell, int32_t id, SQLPOINTER value, SQLLEN length,
                             int16_t record);
  virtual void _CopyLastDiagnostic(CSQLHandle& other);
  virtual CSQLHandle* _CreateChild(HandleKind kind);
  virtual void _OnDiagnosticPosted(SqlState state, std::u16string_view message);
  // The lock that serialises calls on a connection and on its statements and
  // descriptors, which share its link and its diagnostics; null for an
  // environment. Held through a shared pointer so that a call that frees the
  // connection can still release it.
  virtual std::shared_ptr<std::recursive_mutex> _CallLock() const;
  // The same lock without taking a share of it, for calls that cannot free
  // the connection (those on statements and descriptors).
  virtual std::recursive_mutex* _CallMutex() const;
  virtual void _OnDiagnosticsCleared();
  // The signal through which SQLCancel on another thread stops a call on
  // this handle (statements only; null for the other kinds).
  virtual CancelSignal* _CancelSignal() const;

  // Connection options, copied from the parent at construction and set by
  // the connection at login; read by statements and the catalog.
  Charset charset = Charset::Utf8;
  bool open_query = false;
  bool access_compatible = false;
  bool windev = false;

 protected:
  // Runs the start-up of the process-wide state and registers the handle,
  // unless that fails (then the handle is defunct and never registered).
  CSQLHandle(HandleKind kind, CSQLHandle* parent);

  // The parent check, last step of every child's base construction.
  void CheckParent(HandleKind expected);
  // Destroys every child, lowest address first. Each class calls it at the
  // end of its own destruction, while its own members are still alive.
  void DestroyChildren();
  void MarkDefunct() { defunct_ = true; }

 private:
  friend class HandleRegistry;
  friend SQLRETURN AllocHandle(SQLSMALLINT, SQLHANDLE, SQLHANDLE*);

  CSQLHandle* parent_ = nullptr;
  bool defunct_ = false;
  SQLRETURN return_code_ = SQL_SUCCESS;
  HandleKind kind_;
  std::set<CSQLHandle*> children_;  // guarded by the registry lock
  std::vector<DiagnosticRecord> diagnostics_;
};

}  // namespace kestrion
