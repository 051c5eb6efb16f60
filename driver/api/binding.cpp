// SQLBindCol and SQLBindParameter: bind a record of the current application
// row or parameter descriptor, growing the descriptor when needed.
#include <limits>

#include "driver/bind_record.h"
#include "driver/descriptor.h"
#include "driver/entry_guard.h"
#include "driver/statement.h"
#include "statement/type_tables.h"

using namespace kestrion;

namespace {

// The descriptor in an application role, when it is a live descriptor.
CHDescriptor* CurrentDescriptor(CHStatement& statement, int32_t attribute) {
  AttributeCell* cell = statement._GetAvailableAttribute(attribute, 0, kInternalGet);
  if (cell == nullptr) return nullptr;
  return HandleRegistry::FindAs<CHDescriptor>(cell->AsPointer(), HandleKind::Descriptor);
}

// Grows the descriptor to hold record `number` and binds it.
void BindInto(CHStatement& statement, int32_t role_attribute, int number, int16_t type,
              SQLPOINTER data, SQLLEN buffer_length, SQLLEN* indicator) {
  CHDescriptor* descriptor = CurrentDescriptor(statement, role_attribute);
  if (descriptor == nullptr) return;
  if (descriptor->count() < number) {
    descriptor->_SetAttribute(descriptor->count_cell, SQL_DESC_COUNT,
                              reinterpret_cast<SQLPOINTER>(static_cast<intptr_t>(number)), 0, 0);
  }
  if (!statement.ok() || !descriptor->ok()) return;
  BindRecord(*descriptor, static_cast<int16_t>(number), type, data, buffer_length, indicator);
}

constexpr int kMaxRecord = std::numeric_limits<int16_t>::max();

}  // namespace

extern "C" {

KESTRION_EXPORT SQLRETURN SQL_API SQLBindCol(SQLHSTMT StatementHandle, SQLUSMALLINT ColumnNumber,
                                             SQLSMALLINT TargetType, SQLPOINTER TargetValue,
                                             SQLLEN BufferLength, SQLLEN* StrLen_or_Ind) {
  return Guarded<CHStatement>(StatementHandle, HandleKind::Statement, [&](CHStatement& s) {
    constexpr SQLSMALLINT kBookmark = -27;  // SQL_C_BOOKMARK on 64-bit
    if (ColumnNumber == 0 && TargetType != kBookmark && TargetType != SQL_C_VARBOOKMARK) {
      s.Post(SqlState::S07006,
             u"The ColumnNumber argument was 0\n and the TargetType argument was not "
             u"SQL_C_BOOKMARK or SQL_C_VARBOOKMARK.");
    }
    // Records are numbered in 16 bits.
    if (s.ok() && ColumnNumber > kMaxRecord) s.Post(SqlState::S07009);
    int16_t type = kClassNone;
    if (s.ok()) {
      type = FoldType(TargetType, s._GetODBCVersion());
      if (type == kClassNone) {
        s.Post(SqlState::HY003,
               u"The argument Type was neither a valid data type nor SQL_C_DEFAULT.");
      }
    }
    if (s.ok()) {
      BindInto(s, SQL_ATTR_APP_ROW_DESC, ColumnNumber, type, TargetValue, BufferLength,
               StrLen_or_Ind);
    }
    if (s.ok() && s.open_query) s.bound_columns.insert(ColumnNumber);
    return s.return_code();
  });
}

KESTRION_EXPORT SQLRETURN SQL_API SQLBindParameter(SQLHSTMT hstmt, SQLUSMALLINT ipar,
                                                   SQLSMALLINT fParamType, SQLSMALLINT fCType,
                                                   SQLSMALLINT fSqlType, SQLULEN cbColDef,
                                                   SQLSMALLINT ibScale, SQLPOINTER rgbValue,
                                                   SQLLEN cbValueMax, SQLLEN* pcbValue) {
  // The direction, column size and decimal digits are not kept: parameters
  // travel with the types of their application buffers.
  (void)fParamType;
  (void)cbColDef;
  (void)ibScale;
  return Guarded<CHStatement>(hstmt, HandleKind::Statement, [&](CHStatement& s) {
    // A null buffer is fine when an indicator comes with it: that is how
    // applications bind NULL.
    int16_t type = kClassNone;
    if (rgbValue == nullptr && pcbValue == nullptr) {
      s.Post(SqlState::HY009, u"The application provided a null inParameterValuePtr.");
    } else {
      const int32_t version = s._GetODBCVersion();
      type = FoldType(fCType, version);
      if (type == kClassNone || type == kClassDefault) type = FoldType(fSqlType, version);
      if (type == kClassNone) {
        s.Post(SqlState::HY003, u"The parameter Type wasn't a valid data type.");
      } else if (type == kClassDefault) {
        s.Post(SqlState::HY003, u"SQL_C_DEFAULT supported for SQLBindCol, not for SQLBindParam.");
      }
    }
    if (s.ok() && ipar < 1) {
      s.Post(SqlState::S07009,
             u"Null ColumnNumber argument supported for SQLBindCol, not for SQLBindParameter.");
    }
    if (s.ok() && ipar > kMaxRecord) s.Post(SqlState::S07009);
    if (s.ok()) BindInto(s, SQL_ATTR_APP_PARAM_DESC, ipar, type, rgbValue, cbValueMax, pcbValue);
    return s.return_code();
  });
}

}  // extern "C"
