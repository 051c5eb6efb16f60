// SQLPrimaryKeysW: the related columns of the constraints whose related
// table is the named table.
#include <array>

#include "catalog/catalog_functions.h"
#include "catalog/local_result_set.h"
#include "catalog/name_argument.h"
#include "driver/statement.h"
#include "statement/close_statement.h"

namespace kestrion {

using corvane::VString;
using corvane::VValue;

namespace {

constexpr std::array<LocalColumn, 6> kColumns = {{
    {"TABLE_CAT", "VK_TEXT"},
    {"TABLE_SCHEM", "VK_TEXT"},
    {"TABLE_NAME", "VK_TEXT"},
    {"COLUMN_NAME", "VK_TEXT"},
    {"KEY_SEQ", "VK_WORD"},
    {"PK_NAME", "VK_TEXT"},
}};

}  // namespace

VString PrimaryKeysQuery(const OptionalName& name) {
  VString q(u"select [_USER_CONSTRAINTS].[RELATED_TABLE_NAME],[_USER_CONS_COLUMNS].[RELATED_COLUMN_NAME],"
            u"[_USER_CONS_COLUMNS].[RELATED_COLUMN_ID] from [_USER_CONSTRAINTS],[_USER_CONS_COLUMNS]"
            u" where ([_USER_CONSTRAINTS].[RELATED_TABLE_NAME]=");
  if (name) q += QuotedName(*name);
  q += u" and [_USER_CONS_COLUMNS].[CONSTRAINT_ID]=[_USER_CONSTRAINTS].[CONSTRAINT_ID]) order by "
       u"[_USER_CONSTRAINTS].[RELATED_TABLE_NAME],[_USER_CONS_COLUMNS].[RELATED_COLUMN_ID]";
  return q;
}

SQLRETURN CatalogPrimaryKeys(CHStatement& statement, const SQLWCHAR* table, SQLSMALLINT table_length) {
  CloseStatement(statement);
  const OptionalName name = PrepareName(table, table_length, kKeyNameRules);
  OpenLocalResultSet(statement, kColumns);
  // Rows come by table and then by column position: KEY_SEQ is the column's
  // rank among the distinct columns of its table's rows, its place in the key.
  VString key_table;
  int64_t last_column = 0;
  int16_t sequence = 0;
  RunCatalogQuery(statement, PrimaryKeysQuery(name), [&](LocalRow& row, std::span<const VValue> server) {
    if (server.size() < 3) return false;
    const VString table = TextValue(server[0]);
    const int64_t column = IntegerValue(server[2]);
    if (sequence == 0 || table != key_table) {
      key_table = table;
      sequence = 1;
    } else if (column != last_column) {
      ++sequence;
    }
    last_column = column;
    row.push_back(VValue::Null(corvane::VKind::Text));
    row.push_back(VValue::Null(corvane::VKind::Text));
    row.push_back(TextOrNull(server[0]));
    row.push_back(TextOrNull(server[1]));
    row.push_back(corvane::VWord(sequence));
    row.push_back(VValue(VString()));
    return true;
  });
  return statement.return_code();
}

}  // namespace kestrion
