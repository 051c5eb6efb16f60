// SQLSpecialColumnsW: the best row identifier, the key columns of a table.
#include <array>
#include <set>

#include "catalog/catalog_functions.h"
#include "catalog/local_result_set.h"
#include "catalog/name_argument.h"
#include "catalog/server_types.h"
#include "catalog/type_oracle.h"
#include "driver/statement.h"
#include "statement/close_statement.h"
#include "statement/type_tables.h"

namespace kestrion {

using corvane::VString;
using corvane::VValue;

namespace {

constexpr std::array<LocalColumn, 8> kColumns = {{
    {"SCOPE", "VK_WORD"},
    {"COLUMN_NAME", "VK_TEXT"},
    {"DATA_TYPE", "VK_WORD"},
    {"TYPE_NAME", "VK_TEXT"},
    {"COLUMN_SIZE", "VK_LONG"},
    {"BUFFER_LENGTH", "VK_LONG"},
    {"DECIMAL_DIGIT", "VK_WORD"},
    {"PSEUDO_COLUMN", "VK_WORD"},
}};

}  // namespace

VString SpecialColumnsQuery(const OptionalName& name, bool no_nulls) {
  VString q(u"select [_USER_COLUMNS].[DATA_TYPE],[_USER_COLUMNS].[COLUMN_NAME],[_USER_COLUMNS].[COLUMN_ID]"
            u" from [_USER_COLUMNS],[_USER_CONSTRAINTS],[_USER_CONS_COLUMNS]"
            u" where ([_USER_CONSTRAINTS].[RELATED_TABLE_NAME]=");
  if (name) q += QuotedName(*name);
  q += u" and [_USER_CONS_COLUMNS].[CONSTRAINT_ID]=[_USER_CONSTRAINTS].[CONSTRAINT_ID]"
       u" and [_USER_COLUMNS].[COLUMN_ID]=[_USER_CONS_COLUMNS].[RELATED_COLUMN_ID]"
       u" and [_USER_COLUMNS].[TABLE_ID]=[_USER_CONSTRAINTS].[RELATED_TABLE_ID]";
  if (no_nulls) q += u" and [_USER_COLUMNS].[NULLABLE]=cast(0 as Boolean)";
  q += u" ) order by [_USER_COLUMNS].[COLUMN_ID]";
  return q;
}

SQLRETURN CatalogSpecialColumns(CHStatement& statement, SQLUSMALLINT identifier_type,
                                const SQLWCHAR* table, SQLSMALLINT table_length,
                                SQLUSMALLINT nullable) {
  CloseStatement(statement);
  TypeOracle oracle(statement);
  std::set<int64_t> seen;
  VString query;
  if (identifier_type == SQL_BEST_ROWID) {
    query = SpecialColumnsQuery(PrepareName(table, table_length, kKeyNameRules),
                                nullable == SQL_NO_NULLS);
  }
  OpenLocalResultSet(statement, kColumns);
  const bool open_query = statement.open_query;
  RunCatalogQuery(statement, query, [&](LocalRow& row, std::span<const VValue> server) {
    if (server.size() < 3) return false;
    const int64_t id = IntegerValue(server[2]);
    if (!seen.insert(id).second) return false;
    return BuildSpecialColumnRow(&oracle, open_query, row, server);
  });
  return statement.return_code();
}

bool BuildSpecialColumnRow(TypeOracle* oracle, bool open_query, LocalRow& row,
                           std::span<const VValue> server) {
  if (oracle == nullptr || !oracle->ok() || server.size() < 3) return false;
  const int64_t code = IntegerValue(server[0]);
  const int16_t t = ServerSqlType(code);
  const TypeOracle::Answer a = oracle->Bind(t);
  int64_t buffer_length = 0;
  TypeNameEntry entry{0, 0};
  if (t != SQL_UNKNOWN_TYPE && LookUpTypeName(u"", t, entry)) buffer_length = entry.column_size;
  const std::optional<std::u16string_view> type_name =
      t == SQL_UNKNOWN_TYPE ? std::nullopt : ServerTypeName(code);
  row.push_back(corvane::VWord(SQL_SCOPE_SESSION));
  row.push_back(TextOrNull(server[1]));
  row.push_back(corvane::VWord(t));
  row.push_back(type_name ? VValue(VString(*type_name)) : VValue::Null(corvane::VKind::Text));
  row.push_back(corvane::VLong(ColumnSize(t, open_query)));
  row.push_back(corvane::VLong8(buffer_length));
  row.push_back(corvane::VWord(a.decimal_digits));
  row.push_back(corvane::VWord(SQL_PC_NOT_PSEUDO));
  return true;
}

}  // namespace kestrion
