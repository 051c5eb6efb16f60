// The catalog functions whose answer is always empty (the server keeps no
// statistics, procedures or privileges): described results without rows.
#include <array>

#include "catalog/catalog_functions.h"
#include "catalog/local_result_set.h"
#include "driver/statement.h"
#include "statement/close_statement.h"

namespace kestrion {

namespace {

constexpr std::array<LocalColumn, 13> kStatistics = {{
    {"TABLE_CAT", "VK_TEXT"},       {"TABLE_SCHEM", "VK_TEXT"},    {"TABLE_NAME", "VK_TEXT"},
    {"NON_UNIQUE", "VK_WORD"},      {"INDEX_QUALIFIER", "VK_TEXT"}, {"INDEX_NAME", "VK_TEXT"},
    {"TYPE", "VK_WORD"},            {"ORDINAL_POSITION", "VK_WORD"}, {"COLUMN_NAME", "VK_TEXT"},
    {"ASC_OR_DESC", "VK_TEXT"},     {"CARDINALITY", "VK_LONG"},    {"PAGES", "VK_LONG"},
    {"FILTER_CONDITION", "VK_TEXT"},
}};

constexpr std::array<LocalColumn, 8> kProcedures = {{
    {"PROCEDURE_CAT", "VK_TEXT"},     {"PROCEDURE_SCHEM", "VK_TEXT"},
    {"PROCEDURE_NAME", "VK_TEXT"},    {"NUM_INPUT_PARAMS", "VK_TEXT"},
    {"NUM_OUTPUT_PARAMS", "VK_TEXT"}, {"NUM_RESULT_SETS", "VK_TEXT"},
    {"REMARKS", "VK_TEXT"},           {"PROCEDURE_TYPE", "VK_WORD"},
}};

constexpr std::array<LocalColumn, 19> kProcedureColumns = {{
    {"PROCEDURE_CAT", "VK_TEXT"},    {"PROCEDURE_SCHEM", "VK_TEXT"}, {"PROCEDURE_NAME", "VK_TEXT"},
    {"COLUMN_NAME", "VK_TEXT"},      {"COLUMN_TYPE", "VK_WORD"},     {"DATA_TYPE", "VK_WORD"},
    {"TYPE_NAME", "VK_TEXT"},        {"COLUMN_SIZE", "VK_LONG"},     {"BUFFER_LENGTH", "VK_LONG"},
    {"DECIMAL_DIGITS", "VK_WORD"},   {"NUM_PREC_RADIX", "VK_WORD"},  {"NULLABLE", "VK_WORD"},
    {"REMARKS", "VK_TEXT"},          {"COLUMN_DEF", "VK_TEXT"},      {"SQL_DATA_TYPE", "VK_WORD"},
    {"SQL_DATETIME_SUB", "VK_WORD"}, {"CHAR_OCTET_LENGTH", "VK_LONG"}, {"ORDINAL_POSITION", "VK_LONG"},
    {"IS_NULLABLE", "VK_TEXT"},
}};

constexpr std::array<LocalColumn, 7> kTablePrivileges = {{
    {"TABLE_CAT", "VK_TEXT"}, {"TABLE_SCHEM", "VK_TEXT"}, {"TABLE_NAME", "VK_TEXT"},
    {"GRANTOR", "VK_TEXT"},   {"GRANTEE", "VK_TEXT"},     {"PRIVILEGE", "VK_TEXT"},
    {"IS_GRANTABLE", "VK_TEXT"},
}};

constexpr std::array<LocalColumn, 8> kColumnPrivileges = {{
    {"TABLE_CAT", "VK_TEXT"},   {"TABLE_SCHEM", "VK_TEXT"}, {"TABLE_NAME", "VK_TEXT"},
    {"COLUMN_NAME", "VK_TEXT"}, {"GRANTOR", "VK_TEXT"},     {"GRANTEE", "VK_TEXT"},
    {"PRIVILEGE", "VK_TEXT"},   {"IS_GRANTABLE", "VK_TEXT"},
}};

SQLRETURN Empty(CHStatement& statement, std::span<const LocalColumn> columns) {
  OpenLocalResultSet(statement, columns);
  AllocateRowStatus(statement, 0);
  return statement.return_code();
}

}  // namespace

SQLRETURN CatalogStatistics(CHStatement& statement) {
  CloseStatement(statement);
  return Empty(statement, kStatistics);
}
SQLRETURN CatalogProcedures(CHStatement& statement) { return Empty(statement, kProcedures); }
SQLRETURN CatalogProcedureColumns(CHStatement& statement) {
  return Empty(statement, kProcedureColumns);
}
SQLRETURN CatalogTablePrivileges(CHStatement& statement) {
  return Empty(statement, kTablePrivileges);
}
SQLRETURN CatalogColumnPrivileges(CHStatement& statement) {
  return Empty(statement, kColumnPrivileges);
}

}  // namespace kestrion
