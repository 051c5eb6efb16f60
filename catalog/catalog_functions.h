// The catalog functions: each opens a local result with the ODBC columns of
// the function and fills it from queries on the server's system tables. The
// exported entry points in driver/api/catalog.cpp call these after the entry
// guard; each answers the statement's handle return code.
#pragma once

#include <optional>
#include <span>

#include "catalog/local_result_set.h"

#include "driver/odbc.h"
#include "toolbox/vstring.h"

namespace kestrion {

class CHStatement;
class TypeOracle;

SQLRETURN CatalogTables(CHStatement& statement, const SQLWCHAR* catalog, SQLSMALLINT catalog_length,
                        const SQLWCHAR* schema, SQLSMALLINT schema_length, const SQLWCHAR* table,
                        SQLSMALLINT table_length, const SQLWCHAR* table_type,
                        SQLSMALLINT table_type_length);
SQLRETURN CatalogColumns(CHStatement& statement, const SQLWCHAR* table, SQLSMALLINT table_length);
SQLRETURN CatalogPrimaryKeys(CHStatement& statement, const SQLWCHAR* table, SQLSMALLINT table_length);
SQLRETURN CatalogForeignKeys(CHStatement& statement, const SQLWCHAR* pk_table,
                             SQLSMALLINT pk_table_length, const SQLWCHAR* fk_table,
                             SQLSMALLINT fk_table_length);
SQLRETURN CatalogSpecialColumns(CHStatement& statement, SQLUSMALLINT identifier_type,
                                const SQLWCHAR* table, SQLSMALLINT table_length,
                                SQLUSMALLINT nullable);
// The functions whose answer is always empty: statistics, procedures,
// procedure columns, table and column privileges.
SQLRETURN CatalogStatistics(CHStatement& statement);
SQLRETURN CatalogProcedures(CHStatement& statement);
SQLRETURN CatalogProcedureColumns(CHStatement& statement);
SQLRETURN CatalogTablePrivileges(CHStatement& statement);
SQLRETURN CatalogColumnPrivileges(CHStatement& statement);

// SQLGetTypeInfoW.
SQLRETURN GetTypeInfo(CHStatement& statement, SQLSMALLINT data_type);

// What a TableType argument of SQLTablesW asks for.
struct TableTypeChoice {
  bool tables = true;
  bool views = true;
};
TableTypeChoice ChooseTableTypes(const std::optional<corvane::VString>& table_type);

// The query texts, by prepared name (absent: every name).
using OptionalName = std::optional<corvane::VString>;
corvane::VString TablesQuery(const OptionalName& name);
corvane::VString ViewsQuery(const OptionalName& name);
corvane::VString ColumnsTableQuery(const OptionalName& name);
corvane::VString ColumnsViewQuery(const OptionalName& name);
corvane::VString PrimaryKeysQuery(const OptionalName& name);
corvane::VString ForeignKeysQuery(const OptionalName& pk_name, const OptionalName& fk_name);
corvane::VString SpecialColumnsQuery(const OptionalName& name, bool no_nulls);

// The row builders of SQLColumnsW and SQLSpecialColumnsW, by server row.
struct ColumnFlags {
  bool access = false;      // the Access-compatibility flag
  bool open_query = false;  // the open-query flag
  bool views = false;       // rows of the view query (no column id)
  int32_t odbc_version = SQL_OV_ODBC3;  // the application's ODBC version
};
// Server fields: name, column name, type code, nullable, [column id], data
// length.
bool BuildColumnRow(TypeOracle* oracle, const ColumnFlags& flags, LocalRow& row,
                    std::span<const corvane::VValue> server);
// Server fields: type code, column name, column id.
bool BuildSpecialColumnRow(TypeOracle* oracle, bool open_query, LocalRow& row,
                           std::span<const corvane::VValue> server);

}  // namespace kestrion
