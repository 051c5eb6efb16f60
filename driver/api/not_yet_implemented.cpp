// Exported ODBC functions whose behaviour is not built yet. Each passes the
// entry guard, then reports HYC00 ("Optional feature not implemented"). As
// each area is built, its functions move out of this file.
#include <odbcinst.h>

#include "driver/entry_guard.h"

using namespace kestrion;

namespace {

SQLRETURN NotImplemented(SQLHANDLE handle, HandleKind kind) {
  return Guarded<CSQLHandle>(handle, kind, [](CSQLHandle& h) { return h.Post(SqlState::HYC00); });
}

}  // namespace

extern "C" {

KESTRION_EXPORT SQLRETURN SQL_API SQLSetPos(SQLHSTMT hstmt, SQLSETPOSIROW irow, SQLUSMALLINT fOption, SQLUSMALLINT fLock) {
  (void)irow;
  (void)fOption;
  (void)fLock;
  return NotImplemented(hstmt, HandleKind::Statement);
}

KESTRION_EXPORT SQLRETURN SQL_API SQLBulkOperations(SQLHSTMT StatementHandle, SQLSMALLINT Operation) {
  (void)Operation;
  return NotImplemented(StatementHandle, HandleKind::Statement);
}

KESTRION_EXPORT SQLRETURN SQL_API SQLColumnsW(SQLHSTMT hstmt, SQLWCHAR *szCatalogName, SQLSMALLINT cbCatalogName, SQLWCHAR *szSchemaName, SQLSMALLINT cbSchemaName, SQLWCHAR *szTableName, SQLSMALLINT cbTableName, SQLWCHAR *szColumnName, SQLSMALLINT cbColumnName) {
  (void)szCatalogName;
  (void)cbCatalogName;
  (void)szSchemaName;
  (void)cbSchemaName;
  (void)szTableName;
  (void)cbTableName;
  (void)szColumnName;
  (void)cbColumnName;
  return NotImplemented(hstmt, HandleKind::Statement);
}

KESTRION_EXPORT SQLRETURN SQL_API SQLTablesW(SQLHSTMT hstmt, SQLWCHAR *szCatalogName, SQLSMALLINT cbCatalogName, SQLWCHAR *szSchemaName, SQLSMALLINT cbSchemaName, SQLWCHAR *szTableName, SQLSMALLINT cbTableName, SQLWCHAR *szTableType, SQLSMALLINT cbTableType) {
  (void)szCatalogName;
  (void)cbCatalogName;
  (void)szSchemaName;
  (void)cbSchemaName;
  (void)szTableName;
  (void)cbTableName;
  (void)szTableType;
  (void)cbTableType;
  return NotImplemented(hstmt, HandleKind::Statement);
}

KESTRION_EXPORT SQLRETURN SQL_API SQLPrimaryKeysW(SQLHSTMT hstmt, SQLWCHAR *szCatalogName, SQLSMALLINT cbCatalogName, SQLWCHAR *szSchemaName, SQLSMALLINT cbSchemaName, SQLWCHAR *szTableName, SQLSMALLINT cbTableName) {
  (void)szCatalogName;
  (void)cbCatalogName;
  (void)szSchemaName;
  (void)cbSchemaName;
  (void)szTableName;
  (void)cbTableName;
  return NotImplemented(hstmt, HandleKind::Statement);
}

KESTRION_EXPORT SQLRETURN SQL_API SQLForeignKeysW(SQLHSTMT hstmt, SQLWCHAR *szPkCatalogName, SQLSMALLINT cbPkCatalogName, SQLWCHAR *szPkSchemaName, SQLSMALLINT cbPkSchemaName, SQLWCHAR *szPkTableName, SQLSMALLINT cbPkTableName, SQLWCHAR *szFkCatalogName, SQLSMALLINT cbFkCatalogName, SQLWCHAR *szFkSchemaName, SQLSMALLINT cbFkSchemaName, SQLWCHAR *szFkTableName, SQLSMALLINT cbFkTableName) {
  (void)szPkCatalogName;
  (void)cbPkCatalogName;
  (void)szPkSchemaName;
  (void)cbPkSchemaName;
  (void)szPkTableName;
  (void)cbPkTableName;
  (void)szFkCatalogName;
  (void)cbFkCatalogName;
  (void)szFkSchemaName;
  (void)cbFkSchemaName;
  (void)szFkTableName;
  (void)cbFkTableName;
  return NotImplemented(hstmt, HandleKind::Statement);
}

KESTRION_EXPORT SQLRETURN SQL_API SQLSpecialColumnsW(SQLHSTMT hstmt, SQLUSMALLINT fColType, SQLWCHAR *szCatalogName, SQLSMALLINT cbCatalogName, SQLWCHAR *szSchemaName, SQLSMALLINT cbSchemaName, SQLWCHAR *szTableName, SQLSMALLINT cbTableName, SQLUSMALLINT fScope, SQLUSMALLINT fNullable) {
  (void)fColType;
  (void)szCatalogName;
  (void)cbCatalogName;
  (void)szSchemaName;
  (void)cbSchemaName;
  (void)szTableName;
  (void)cbTableName;
  (void)fScope;
  (void)fNullable;
  return NotImplemented(hstmt, HandleKind::Statement);
}

KESTRION_EXPORT SQLRETURN SQL_API SQLStatisticsW(SQLHSTMT hstmt, SQLWCHAR *szCatalogName, SQLSMALLINT cbCatalogName, SQLWCHAR *szSchemaName, SQLSMALLINT cbSchemaName, SQLWCHAR *szTableName, SQLSMALLINT cbTableName, SQLUSMALLINT fUnique, SQLUSMALLINT fAccuracy) {
  (void)szCatalogName;
  (void)cbCatalogName;
  (void)szSchemaName;
  (void)cbSchemaName;
  (void)szTableName;
  (void)cbTableName;
  (void)fUnique;
  (void)fAccuracy;
  return NotImplemented(hstmt, HandleKind::Statement);
}

KESTRION_EXPORT SQLRETURN SQL_API SQLProceduresW(SQLHSTMT hstmt, SQLWCHAR *szCatalogName, SQLSMALLINT cbCatalogName, SQLWCHAR *szSchemaName, SQLSMALLINT cbSchemaName, SQLWCHAR *szProcName, SQLSMALLINT cbProcName) {
  (void)szCatalogName;
  (void)cbCatalogName;
  (void)szSchemaName;
  (void)cbSchemaName;
  (void)szProcName;
  (void)cbProcName;
  return NotImplemented(hstmt, HandleKind::Statement);
}

KESTRION_EXPORT SQLRETURN SQL_API SQLProcedureColumnsW(SQLHSTMT hstmt, SQLWCHAR *szCatalogName, SQLSMALLINT cbCatalogName, SQLWCHAR *szSchemaName, SQLSMALLINT cbSchemaName, SQLWCHAR *szProcName, SQLSMALLINT cbProcName, SQLWCHAR *szColumnName, SQLSMALLINT cbColumnName) {
  (void)szCatalogName;
  (void)cbCatalogName;
  (void)szSchemaName;
  (void)cbSchemaName;
  (void)szProcName;
  (void)cbProcName;
  (void)szColumnName;
  (void)cbColumnName;
  return NotImplemented(hstmt, HandleKind::Statement);
}

KESTRION_EXPORT SQLRETURN SQL_API SQLTablePrivilegesW(SQLHSTMT hstmt, SQLWCHAR *szCatalogName, SQLSMALLINT cbCatalogName, SQLWCHAR *szSchemaName, SQLSMALLINT cbSchemaName, SQLWCHAR *szTableName, SQLSMALLINT cbTableName) {
  (void)szCatalogName;
  (void)cbCatalogName;
  (void)szSchemaName;
  (void)cbSchemaName;
  (void)szTableName;
  (void)cbTableName;
  return NotImplemented(hstmt, HandleKind::Statement);
}

KESTRION_EXPORT SQLRETURN SQL_API SQLColumnPrivilegesW(SQLHSTMT hstmt, SQLWCHAR *szCatalogName, SQLSMALLINT cbCatalogName, SQLWCHAR *szSchemaName, SQLSMALLINT cbSchemaName, SQLWCHAR *szTableName, SQLSMALLINT cbTableName, SQLWCHAR *szColumnName, SQLSMALLINT cbColumnName) {
  (void)szCatalogName;
  (void)cbCatalogName;
  (void)szSchemaName;
  (void)cbSchemaName;
  (void)szTableName;
  (void)cbTableName;
  (void)szColumnName;
  (void)cbColumnName;
  return NotImplemented(hstmt, HandleKind::Statement);
}

KESTRION_EXPORT SQLRETURN SQL_API SQLGetTypeInfoW(SQLHSTMT StatementHandle, SQLSMALLINT DataType) {
  (void)DataType;
  return NotImplemented(StatementHandle, HandleKind::Statement);
}

KESTRION_EXPORT BOOL INSTAPI ConfigDSNW(HWND hwndParent, WORD fRequest, LPCWSTR lpszDriver,
                                         LPCWSTR lpszAttributes) {
  (void)hwndParent;
  (void)fRequest;
  (void)lpszDriver;
  (void)lpszAttributes;
  return 0;  // FALSE: no data source was configured
}

}  // extern "C"
