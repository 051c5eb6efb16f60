// The attribute functions of every handle kind and the descriptor field
// functions: all run the generic setter and getter.
#include "driver/attribute_access.h"
#include "driver/connection.h"
#include "driver/entry_guard.h"
#include "driver/statement.h"

using namespace kestrion;

namespace {

// The query time-out of a statement is its connection's: the value is set
// and read there, and whatever the connection reports is also posted on the
// statement, where the application looks for it.
SQLRETURN StatementQueryTimeout(SQLHSTMT handle, SQLPOINTER value, SQLLEN length, bool set,
                                const char* where = __builtin_FUNCTION()) {
  return Guarded<CHStatement>(handle, HandleKind::Statement, [&](CHStatement& statement) {
    CHConnection* connection = statement.connection();
    if (HandleRegistry::KindOf(connection) != HandleKind::Connection) {
      return statement.Post(SqlState::HY000, u"The statement has no connection.");
    }
    connection->ClearDiagnostics();
    if (set) {
      SetAttributeValue(*connection, SQL_ATTR_QUERY_TIMEOUT, value, length, 0, kAppSet);
    } else {
      SQLLEN answered = length;
      GetAttributeValue(*connection, SQL_ATTR_QUERY_TIMEOUT, value, answered, 0, kAppGet);
    }
    for (const DiagnosticRecord& record : connection->diagnostics()) {
      statement.Post(record.state, record.message, record.native_error);
    }
    return connection->return_code();
  }, where);
}

// SQL_ROWSET_SIZE is the ODBC 2 name of the row array size.
SQLINTEGER StatementAttributeId(SQLINTEGER attribute) {
  return attribute == SQL_ROWSET_SIZE ? SQL_ATTR_ROW_ARRAY_SIZE : attribute;
}

}  // namespace

extern "C" {

KESTRION_EXPORT SQLRETURN SQL_API SQLSetEnvAttr(SQLHENV EnvironmentHandle, SQLINTEGER Attribute,
                                                SQLPOINTER Value, SQLINTEGER StringLength) {
  return SetAttributeEntry(HandleKind::Environment, EnvironmentHandle, Attribute, Value,
                           StringLength, 0);
}

KESTRION_EXPORT SQLRETURN SQL_API SQLGetEnvAttr(SQLHENV EnvironmentHandle, SQLINTEGER Attribute,
                                                SQLPOINTER Value, SQLINTEGER BufferLength,
                                                SQLINTEGER* StringLength) {
  return GetAttributeEntry(HandleKind::Environment, EnvironmentHandle, Attribute, Value,
                           BufferLength, StringLength, 0);
}

KESTRION_EXPORT SQLRETURN SQL_API SQLSetConnectAttrW(SQLHDBC hdbc, SQLINTEGER fAttribute,
                                                     SQLPOINTER rgbValue, SQLINTEGER cbValue) {
  return SetAttributeEntry(HandleKind::Connection, hdbc, fAttribute, rgbValue, cbValue, 0);
}

KESTRION_EXPORT SQLRETURN SQL_API SQLGetConnectAttrW(SQLHDBC hdbc, SQLINTEGER fAttribute,
                                                     SQLPOINTER rgbValue, SQLINTEGER cbValueMax,
                                                     SQLINTEGER* pcbValue) {
  return GetAttributeEntry(HandleKind::Connection, hdbc, fAttribute, rgbValue, cbValueMax,
                           pcbValue, 0);
}

KESTRION_EXPORT SQLRETURN SQL_API SQLSetStmtAttrW(SQLHSTMT hstmt, SQLINTEGER fAttribute,
                                                  SQLPOINTER rgbValue, SQLINTEGER cbValueMax) {
  if (fAttribute == SQL_ATTR_QUERY_TIMEOUT) {
    return StatementQueryTimeout(hstmt, rgbValue, cbValueMax, true);
  }
  return SetAttributeEntry(HandleKind::Statement, hstmt, StatementAttributeId(fAttribute),
                           rgbValue, cbValueMax, 0);
}

KESTRION_EXPORT SQLRETURN SQL_API SQLGetStmtAttrW(SQLHSTMT hstmt, SQLINTEGER fAttribute,
                                                  SQLPOINTER rgbValue, SQLINTEGER cbValueMax,
                                                  SQLINTEGER* pcbValue) {
  if (fAttribute == SQL_ATTR_QUERY_TIMEOUT) {
    return StatementQueryTimeout(hstmt, rgbValue, cbValueMax, false);
  }
  return GetAttributeEntry(HandleKind::Statement, hstmt, StatementAttributeId(fAttribute),
                           rgbValue, cbValueMax, pcbValue, 0);
}

KESTRION_EXPORT SQLRETURN SQL_API SQLSetDescFieldW(SQLHDESC DescriptorHandle,
                                                   SQLSMALLINT RecNumber,
                                                   SQLSMALLINT FieldIdentifier, SQLPOINTER Value,
                                                   SQLINTEGER BufferLength) {
  return SetAttributeEntry(HandleKind::Descriptor, DescriptorHandle, FieldIdentifier, Value,
                           BufferLength, RecNumber);
}

KESTRION_EXPORT SQLRETURN SQL_API SQLGetDescFieldW(SQLHDESC hdesc, SQLSMALLINT iRecord,
                                                   SQLSMALLINT iField, SQLPOINTER rgbValue,
                                                   SQLINTEGER cbValueMax, SQLINTEGER* pcbValue) {
  return GetAttributeEntry(HandleKind::Descriptor, hdesc, iField, rgbValue, cbValueMax, pcbValue,
                           iRecord);
}

}  // extern "C"
