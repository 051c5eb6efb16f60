// The catalog functions and SQLGetTypeInfoW.
#include "catalog/catalog_functions.h"
#include "driver/entry_guard.h"
#include "driver/statement.h"

using namespace kestrion;

namespace {

template <class Body>
SQLRETURN OnStatement(SQLHSTMT handle, Body&& body,
                      const char* where = __builtin_FUNCTION()) {
  return Guarded<CHStatement>(handle, HandleKind::Statement, std::forward<Body>(body), where);
}

}  // namespace

extern "C" {

KESTRION_EXPORT SQLRETURN SQL_API SQLTablesW(SQLHSTMT StatementHandle, SQLWCHAR* CatalogName,
                                             SQLSMALLINT NameLength1, SQLWCHAR* SchemaName,
                                             SQLSMALLINT NameLength2, SQLWCHAR* TableName,
                                             SQLSMALLINT NameLength3, SQLWCHAR* TableType,
                                             SQLSMALLINT NameLength4) {
  return OnStatement(StatementHandle, [&](CHStatement& s) {
    return CatalogTables(s, CatalogName, NameLength1, SchemaName, NameLength2, TableName,
                         NameLength3, TableType, NameLength4);
  });
}

KESTRION_EXPORT SQLRETURN SQL_API SQLColumnsW(SQLHSTMT StatementHandle, SQLWCHAR* CatalogName,
                                              SQLSMALLINT NameLength1, SQLWCHAR* SchemaName,
                                              SQLSMALLINT NameLength2, SQLWCHAR* TableName,
                                              SQLSMALLINT NameLength3, SQLWCHAR* ColumnName,
                                              SQLSMALLINT NameLength4) {
  (void)CatalogName, (void)NameLength1, (void)SchemaName, (void)NameLength2;
  (void)ColumnName, (void)NameLength4;
  return OnStatement(StatementHandle,
                     [&](CHStatement& s) { return CatalogColumns(s, TableName, NameLength3); });
}

KESTRION_EXPORT SQLRETURN SQL_API SQLPrimaryKeysW(SQLHSTMT StatementHandle, SQLWCHAR* CatalogName,
                                                  SQLSMALLINT NameLength1, SQLWCHAR* SchemaName,
                                                  SQLSMALLINT NameLength2, SQLWCHAR* TableName,
                                                  SQLSMALLINT NameLength3) {
  (void)CatalogName, (void)NameLength1, (void)SchemaName, (void)NameLength2;
  return OnStatement(StatementHandle,
                     [&](CHStatement& s) { return CatalogPrimaryKeys(s, TableName, NameLength3); });
}

KESTRION_EXPORT SQLRETURN SQL_API SQLForeignKeysW(
    SQLHSTMT StatementHandle, SQLWCHAR* PKCatalogName, SQLSMALLINT NameLength1,
    SQLWCHAR* PKSchemaName, SQLSMALLINT NameLength2, SQLWCHAR* PKTableName,
    SQLSMALLINT NameLength3, SQLWCHAR* FKCatalogName, SQLSMALLINT NameLength4,
    SQLWCHAR* FKSchemaName, SQLSMALLINT NameLength5, SQLWCHAR* FKTableName,
    SQLSMALLINT NameLength6) {
  (void)PKCatalogName, (void)NameLength1, (void)PKSchemaName, (void)NameLength2;
  (void)FKCatalogName, (void)NameLength4, (void)FKSchemaName, (void)NameLength5;
  return OnStatement(StatementHandle, [&](CHStatement& s) {
    return CatalogForeignKeys(s, PKTableName, NameLength3, FKTableName, NameLength6);
  });
}

KESTRION_EXPORT SQLRETURN SQL_API SQLSpecialColumnsW(SQLHSTMT StatementHandle,
                                                     SQLUSMALLINT IdentifierType,
                                                     SQLWCHAR* CatalogName, SQLSMALLINT NameLength1,
                                                     SQLWCHAR* SchemaName, SQLSMALLINT NameLength2,
                                                     SQLWCHAR* TableName, SQLSMALLINT NameLength3,
                                                     SQLUSMALLINT Scope, SQLUSMALLINT Nullable) {
  (void)CatalogName, (void)NameLength1, (void)SchemaName, (void)NameLength2, (void)Scope;
  return OnStatement(StatementHandle, [&](CHStatement& s) {
    return CatalogSpecialColumns(s, IdentifierType, TableName, NameLength3, Nullable);
  });
}

KESTRION_EXPORT SQLRETURN SQL_API SQLStatisticsW(SQLHSTMT StatementHandle, SQLWCHAR* CatalogName,
                                                 SQLSMALLINT NameLength1, SQLWCHAR* SchemaName,
                                                 SQLSMALLINT NameLength2, SQLWCHAR* TableName,
                                                 SQLSMALLINT NameLength3, SQLUSMALLINT Unique,
                                                 SQLUSMALLINT Reserved) {
  (void)CatalogName, (void)NameLength1, (void)SchemaName, (void)NameLength2;
  (void)TableName, (void)NameLength3, (void)Unique, (void)Reserved;
  return OnStatement(StatementHandle, [](CHStatement& s) { return CatalogStatistics(s); });
}

KESTRION_EXPORT SQLRETURN SQL_API SQLProceduresW(SQLHSTMT StatementHandle, SQLWCHAR* CatalogName,
                                                 SQLSMALLINT NameLength1, SQLWCHAR* SchemaName,
                                                 SQLSMALLINT NameLength2, SQLWCHAR* ProcName,
                                                 SQLSMALLINT NameLength3) {
  (void)CatalogName, (void)NameLength1, (void)SchemaName, (void)NameLength2;
  (void)ProcName, (void)NameLength3;
  return OnStatement(StatementHandle, [](CHStatement& s) { return CatalogProcedures(s); });
}

KESTRION_EXPORT SQLRETURN SQL_API SQLProcedureColumnsW(
    SQLHSTMT StatementHandle, SQLWCHAR* CatalogName, SQLSMALLINT NameLength1, SQLWCHAR* SchemaName,
    SQLSMALLINT NameLength2, SQLWCHAR* ProcName, SQLSMALLINT NameLength3, SQLWCHAR* ColumnName,
    SQLSMALLINT NameLength4) {
  (void)CatalogName, (void)NameLength1, (void)SchemaName, (void)NameLength2;
  (void)ProcName, (void)NameLength3, (void)ColumnName, (void)NameLength4;
  return OnStatement(StatementHandle, [](CHStatement& s) { return CatalogProcedureColumns(s); });
}

KESTRION_EXPORT SQLRETURN SQL_API SQLTablePrivilegesW(SQLHSTMT StatementHandle,
                                                      SQLWCHAR* CatalogName, SQLSMALLINT NameLength1,
                                                      SQLWCHAR* SchemaName, SQLSMALLINT NameLength2,
                                                      SQLWCHAR* TableName, SQLSMALLINT NameLength3) {
  (void)CatalogName, (void)NameLength1, (void)SchemaName, (void)NameLength2;
  (void)TableName, (void)NameLength3;
  return OnStatement(StatementHandle, [](CHStatement& s) { return CatalogTablePrivileges(s); });
}

KESTRION_EXPORT SQLRETURN SQL_API SQLColumnPrivilegesW(
    SQLHSTMT StatementHandle, SQLWCHAR* CatalogName, SQLSMALLINT NameLength1, SQLWCHAR* SchemaName,
    SQLSMALLINT NameLength2, SQLWCHAR* TableName, SQLSMALLINT NameLength3, SQLWCHAR* ColumnName,
    SQLSMALLINT NameLength4) {
  (void)CatalogName, (void)NameLength1, (void)SchemaName, (void)NameLength2;
  (void)TableName, (void)NameLength3, (void)ColumnName, (void)NameLength4;
  return OnStatement(StatementHandle, [](CHStatement& s) { return CatalogColumnPrivileges(s); });
}

KESTRION_EXPORT SQLRETURN SQL_API SQLGetTypeInfoW(SQLHSTMT StatementHandle, SQLSMALLINT DataType) {
  return OnStatement(StatementHandle, [&](CHStatement& s) { return GetTypeInfo(s, DataType); });
}

}  // extern "C"
