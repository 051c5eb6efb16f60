// SQLGetDiagRecW and SQLGetDiagFieldW: read the diagnostics of a handle
// without clearing them.
#include <algorithm>
#include <cstring>

#include "driver/entry_guard.h"

using namespace kestrion;

namespace {

// Record n (1 = most recent) of a handle, or null.
const DiagnosticRecord* RecordAt(const CSQLHandle& h, SQLSMALLINT number) {
  const auto& records = h.diagnostics();
  if (number < 1 || static_cast<size_t>(number) > records.size()) return nullptr;
  return &records[records.size() - static_cast<size_t>(number)];
}

// Composes the default text, ":" LF and the message into a buffer of
// `capacity` characters (terminator included); answers the count written.
SQLSMALLINT ComposeMessage(const DiagnosticRecord& record, SQLWCHAR* out, SQLSMALLINT capacity) {
  if (out == nullptr || capacity < 2) return 0;
  auto* dst = reinterpret_cast<char16_t*>(out);
  size_t room = static_cast<size_t>(capacity) - 1;  // characters before the terminator
  size_t written = 0;
  auto append = [&](std::u16string_view text) {
    size_t n = std::min(text.size(), room - written);
    std::memcpy(dst + written, text.data(), n * sizeof(char16_t));
    written += n;
    dst[written] = 0;
  };
  append(SqlStateText(record.state));
  if (!record.message.empty() && room - written >= 2) append(u":\n");
  if (!record.message.empty() && written < room) append(record.message);
  dst[written] = 0;
  return static_cast<SQLSMALLINT>(written);
}

constexpr char16_t kOrigin[12] = u"ISO 9075";  // 24 bytes with the zero padding

}  // namespace

extern "C" {

KESTRION_EXPORT SQLRETURN SQL_API SQLGetDiagRecW(SQLSMALLINT HandleType, SQLHANDLE Handle,
                                                 SQLSMALLINT RecNumber, SQLWCHAR* SQLState,
                                                 SQLINTEGER* NativeErrorPtr, SQLWCHAR* MessageText,
                                                 SQLSMALLINT BufferLength,
                                                 SQLSMALLINT* TextLengthPtr) {
  return GuardedNoClear<CSQLHandle>(Handle, KindFromHandleType(HandleType),
                                    [&](CSQLHandle& h) -> SQLRETURN {
    if (BufferLength < 0 || RecNumber < 0) return SQL_ERROR;
    const DiagnosticRecord* record = RecordAt(h, RecNumber);
    if (record == nullptr) return SQL_NO_DATA;
    if (SQLState != nullptr) {
      std::u16string_view code = SqlStateCode(record->state);
      std::memcpy(SQLState, code.data(), 5 * sizeof(char16_t));
      SQLState[5] = 0;
    }
    size_t full = SqlStateText(record->state).size();
    if (!record->message.empty()) full += 2 + record->message.size();
    SQLSMALLINT length = static_cast<SQLSMALLINT>(std::min<size_t>(full, 32767));
    if (NativeErrorPtr != nullptr) *NativeErrorPtr = record->native_error;
    if (MessageText != nullptr && BufferLength >= 2) {
      length = ComposeMessage(*record, MessageText, BufferLength);
    }
    if (TextLengthPtr != nullptr) *TextLengthPtr = length;
    return SQL_SUCCESS;
  });
}

KESTRION_EXPORT SQLRETURN SQL_API SQLGetDiagFieldW(SQLSMALLINT HandleType, SQLHANDLE Handle,
                                                   SQLSMALLINT RecNumber,
                                                   SQLSMALLINT DiagIdentifier,
                                                   SQLPOINTER DiagInfoPtr, SQLSMALLINT BufferLength,
                                                   SQLSMALLINT* StringLengthPtr) {
  return GuardedNoClear<CSQLHandle>(Handle, KindFromHandleType(HandleType),
                                    [&](CSQLHandle& h) -> SQLRETURN {
    switch (DiagIdentifier) {
      case SQL_DIAG_NUMBER:
        if (DiagInfoPtr != nullptr) {
          *static_cast<SQLINTEGER*>(DiagInfoPtr) = static_cast<SQLINTEGER>(h.diagnostics().size());
        }
        if (StringLengthPtr != nullptr) *StringLengthPtr = 4;
        return SQL_SUCCESS;
      case SQL_DIAG_SQLSTATE: {
        const DiagnosticRecord* record = RecordAt(h, RecNumber);
        if (StringLengthPtr != nullptr) *StringLengthPtr = 10;
        if (record == nullptr) return SQL_ERROR;
        if (DiagInfoPtr != nullptr) {
          auto* out = static_cast<SQLWCHAR*>(DiagInfoPtr);
          std::u16string_view code = SqlStateCode(record->state);
          std::memcpy(out, code.data(), 5 * sizeof(char16_t));
          out[5] = 0;
        }
        return SQL_SUCCESS;
      }
      case SQL_DIAG_ROW_NUMBER:
      case SQL_DIAG_COLUMN_NUMBER: {
        const DiagnosticRecord* record = RecordAt(h, RecNumber);
        if (record == nullptr) return SQL_NO_DATA;
        if (DiagInfoPtr != nullptr) {
          if (DiagIdentifier == SQL_DIAG_ROW_NUMBER) {
            *static_cast<SQLLEN*>(DiagInfoPtr) = static_cast<SQLLEN>(record->row_number);
          } else {
            *static_cast<SQLINTEGER*>(DiagInfoPtr) = record->column_number;
          }
        }
        return SQL_SUCCESS;
      }
      case SQL_DIAG_CLASS_ORIGIN:
      case SQL_DIAG_SUBCLASS_ORIGIN:
      case SQL_DIAG_CONNECTION_NAME:
      case SQL_DIAG_SERVER_NAME:
        if (DiagInfoPtr != nullptr && BufferLength >= 0) {
          std::memcpy(DiagInfoPtr, kOrigin, std::min<size_t>(BufferLength, sizeof(kOrigin)));
        }
        if (StringLengthPtr != nullptr) *StringLengthPtr = sizeof(kOrigin);
        return BufferLength < static_cast<SQLSMALLINT>(sizeof(kOrigin)) ? SQL_SUCCESS_WITH_INFO
                                                                        : SQL_SUCCESS;
      default:
        return SQL_ERROR;
    }
  });
}

}  // extern "C"
