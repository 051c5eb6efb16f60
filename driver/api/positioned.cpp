// SQLSetPos and SQLBulkOperations.
#include "catalog/bulk_modify.h"
#include "driver/entry_guard.h"
#include "driver/statement.h"

using namespace kestrion;

extern "C" {

KESTRION_EXPORT SQLRETURN SQL_API SQLSetPos(SQLHSTMT StatementHandle, SQLSETPOSIROW RowNumber,
                                            SQLUSMALLINT Operation, SQLUSMALLINT LockType) {
  (void)LockType;
  return Guarded<CHStatement>(StatementHandle, HandleKind::Statement,
                              [&](CHStatement& s) { return SetPos(s, RowNumber, Operation); });
}

KESTRION_EXPORT SQLRETURN SQL_API SQLBulkOperations(SQLHSTMT StatementHandle, SQLSMALLINT Operation) {
  return Guarded<CHStatement>(StatementHandle, HandleKind::Statement,
                              [&](CHStatement& s) { return BulkOperations(s, Operation); });
}

}  // extern "C"
