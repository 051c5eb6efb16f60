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

KESTRION_EXPORT SQLRETURN SQL_API SQLCloseCursor(SQLHSTMT StatementHandle) {
  return NotImplemented(StatementHandle, HandleKind::Statement);
}

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

KESTRION_EXPORT SQLRETURN SQL_API SQLColAttributeW(SQLHSTMT hstmt, SQLUSMALLINT iCol, SQLUSMALLINT iField, SQLPOINTER pCharAttr, SQLSMALLINT cbCharAttrMax, SQLSMALLINT *pcbCharAttr, SQLLEN *pNumAttr) {
  (void)iCol;
  (void)iField;
  (void)pCharAttr;
  (void)cbCharAttrMax;
  (void)pcbCharAttr;
  (void)pNumAttr;
  return NotImplemented(hstmt, HandleKind::Statement);
}

KESTRION_EXPORT SQLRETURN SQL_API SQLDescribeColW(SQLHSTMT hstmt, SQLUSMALLINT icol, SQLWCHAR *szColName, SQLSMALLINT cbColNameMax, SQLSMALLINT *pcbColName, SQLSMALLINT *pfSqlType, SQLULEN *pcbColDef, SQLSMALLINT *pibScale, SQLSMALLINT *pfNullable) {
  (void)icol;
  (void)szColName;
  (void)cbColNameMax;
  (void)pcbColName;
  (void)pfSqlType;
  (void)pcbColDef;
  (void)pibScale;
  (void)pfNullable;
  return NotImplemented(hstmt, HandleKind::Statement);
}

KESTRION_EXPORT SQLRETURN SQL_API SQLPrepareW(SQLHSTMT hstmt, SQLWCHAR *szSqlStr, SQLINTEGER cbSqlStr) {
  (void)szSqlStr;
  (void)cbSqlStr;
  return NotImplemented(hstmt, HandleKind::Statement);
}

KESTRION_EXPORT SQLRETURN SQL_API SQLExecute(SQLHSTMT StatementHandle) {
  return NotImplemented(StatementHandle, HandleKind::Statement);
}

KESTRION_EXPORT SQLRETURN SQL_API SQLExecDirectW(SQLHSTMT hstmt, SQLWCHAR *szSqlStr, SQLINTEGER cbSqlStr) {
  (void)szSqlStr;
  (void)cbSqlStr;
  return NotImplemented(hstmt, HandleKind::Statement);
}

KESTRION_EXPORT SQLRETURN SQL_API SQLEndTran(SQLSMALLINT HandleType, SQLHANDLE Handle, SQLSMALLINT CompletionType) {
  (void)CompletionType;
  return NotImplemented(Handle, KindFromHandleType(HandleType));
}

KESTRION_EXPORT SQLRETURN SQL_API SQLCancel(SQLHSTMT StatementHandle) {
  return NotImplemented(StatementHandle, HandleKind::Statement);
}

KESTRION_EXPORT SQLRETURN SQL_API SQLRowCount(SQLHSTMT StatementHandle, SQLLEN *RowCount) {
  (void)RowCount;
  return NotImplemented(StatementHandle, HandleKind::Statement);
}

KESTRION_EXPORT SQLRETURN SQL_API SQLNumResultCols(SQLHSTMT StatementHandle, SQLSMALLINT *ColumnCount) {
  (void)ColumnCount;
  return NotImplemented(StatementHandle, HandleKind::Statement);
}

KESTRION_EXPORT SQLRETURN SQL_API SQLNumParams(SQLHSTMT hstmt, SQLSMALLINT *pcpar) {
  (void)pcpar;
  return NotImplemented(hstmt, HandleKind::Statement);
}

KESTRION_EXPORT SQLRETURN SQL_API SQLPutData(SQLHSTMT StatementHandle, SQLPOINTER Data, SQLLEN StrLen_or_Ind) {
  (void)Data;
  (void)StrLen_or_Ind;
  return NotImplemented(StatementHandle, HandleKind::Statement);
}

KESTRION_EXPORT SQLRETURN SQL_API SQLParamData(SQLHSTMT StatementHandle, SQLPOINTER *Value) {
  (void)Value;
  return NotImplemented(StatementHandle, HandleKind::Statement);
}

KESTRION_EXPORT SQLRETURN SQL_API SQLFetch(SQLHSTMT StatementHandle) {
  return NotImplemented(StatementHandle, HandleKind::Statement);
}

KESTRION_EXPORT SQLRETURN SQL_API SQLFetchScroll(SQLHSTMT StatementHandle, SQLSMALLINT FetchOrientation, SQLLEN FetchOffset) {
  (void)FetchOrientation;
  (void)FetchOffset;
  return NotImplemented(StatementHandle, HandleKind::Statement);
}

KESTRION_EXPORT SQLRETURN SQL_API SQLExtendedFetch(SQLHSTMT hstmt, SQLUSMALLINT fFetchType, SQLLEN irow, SQLULEN *pcrow, SQLUSMALLINT *rgfRowStatus) {
  (void)fFetchType;
  (void)irow;
  (void)pcrow;
  (void)rgfRowStatus;
  return NotImplemented(hstmt, HandleKind::Statement);
}

KESTRION_EXPORT SQLRETURN SQL_API SQLGetData(SQLHSTMT StatementHandle, SQLUSMALLINT ColumnNumber, SQLSMALLINT TargetType, SQLPOINTER TargetValue, SQLLEN BufferLength, SQLLEN *StrLen_or_Ind) {
  (void)ColumnNumber;
  (void)TargetType;
  (void)TargetValue;
  (void)BufferLength;
  (void)StrLen_or_Ind;
  return NotImplemented(StatementHandle, HandleKind::Statement);
}

KESTRION_EXPORT SQLRETURN SQL_API SQLMoreResults(SQLHSTMT hstmt) {
  return NotImplemented(hstmt, HandleKind::Statement);
}

KESTRION_EXPORT SQLRETURN SQL_API SQLGetTypeInfoW(SQLHSTMT StatementHandle, SQLSMALLINT DataType) {
  (void)DataType;
  return NotImplemented(StatementHandle, HandleKind::Statement);
}

KESTRION_EXPORT SQLRETURN SQL_API SQLDescribeParam(SQLHSTMT hstmt, SQLUSMALLINT ipar, SQLSMALLINT *pfSqlType, SQLULEN *pcbParamDef, SQLSMALLINT *pibScale, SQLSMALLINT *pfNullable) {
  (void)ipar;
  (void)pfSqlType;
  (void)pcbParamDef;
  (void)pibScale;
  (void)pfNullable;
  return NotImplemented(hstmt, HandleKind::Statement);
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
