// SQLForeignKeysW: the constraint columns with the columns they relate to.
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

constexpr std::array<LocalColumn, 14> kColumns = {{
    {"PKTABLE_CAT", "VK_TEXT"},   {"PKTABLE_SCHEM", "VK_TEXT"}, {"PKTABLE_NAME", "VK_TEXT"},
    {"PKCOLUMN_NAME", "VK_TEXT"}, {"FKTABLE_CAT", "VK_TEXT"},   {"FKTABLE_SCHEM", "VK_TEXT"},
    {"FKTABLE_NAME", "VK_TEXT"},  {"FKCOLUMN_NAME", "VK_TEXT"}, {"KEY_SEQ", "VK_WORD"},
    {"UPDATE_RULE", "VK_WORD"},   {"DELETE_RULE", "VK_WORD"},   {"FKNAME", "VK_TEXT"},
    {"PKNAME", "VK_TEXT"},        {"DEFERRABILITY", "VK_WORD"},
}};

}  // namespace

VString ForeignKeysQuery(const OptionalName& pk_name, const OptionalName& fk_name) {
  VString q(u"select [_USER_CONSTRAINTS].[RELATED_TABLE_NAME],[_USER_CONS_COLUMNS].[RELATED_COLUMN_NAME],"
            u"[_USER_CONS_COLUMNS].[TABLE_NAME],[_USER_CONS_COLUMNS].[COLUMN_NAME],"
            u"[_USER_CONS_COLUMNS].[COLUMN_ID] from [_USER_CONS_COLUMNS],[_USER_CONSTRAINTS]"
            u" where ([_USER_CONS_COLUMNS].[CONSTRAINT_ID]=[_USER_CONSTRAINTS].[CONSTRAINT_ID]");
  if (fk_name) {
    q += u" and [_USER_CONS_COLUMNS].[TABLE_NAME]=";
    q += QuotedName(*fk_name);
  }
  if (pk_name) {
    q += u" and [_USER_CONSTRAINTS].[RELATED_TABLE_NAME]=";
    q += QuotedName(*pk_name);
  }
  q += u") order by ";
  if (!pk_name) q += u"[_USER_CONSTRAINTS].[RELATED_TABLE_NAME],";
  if (!fk_name) q += u"[_USER_CONS_COLUMNS].[TABLE_NAME],";
  q += u"[_USER_CONS_COLUMNS].[COLUMN_ID]";
  return q;
}

SQLRETURN CatalogForeignKeys(CHStatement& statement, const SQLWCHAR* pk_table,
                             SQLSMALLINT pk_table_length, const SQLWCHAR* fk_table,
                             SQLSMALLINT fk_table_length) {
  CloseStatement(statement);
  const OptionalName pk = PrepareName(pk_table, pk_table_length, kKeyNameRules);
  const OptionalName fk = PrepareName(fk_table, fk_table_length, kKeyNameRules);
  OpenLocalResultSet(statement, kColumns);
  // The rows of one key come together, in column order: KEY_SEQ counts
  // them from 1 while the related table and the constraint table stay.
  VString key_pk, key_fk;
  int16_t sequence = 0;
  RunCatalogQuery(statement, ForeignKeysQuery(pk, fk), [&](LocalRow& row, std::span<const VValue> server) {
    if (server.size() < 5) return false;
    const VString pk_table = TextValue(server[0]), pk_column = TextValue(server[1]);
    const VString fk_table = TextValue(server[2]), fk_column = TextValue(server[3]);
    // A column related to itself is a table's own primary key, not a
    // foreign key; a column referring to another one of its table is.
    if (pk_table == fk_table && pk_column == fk_column) return false;
    if (sequence == 0 || pk_table != key_pk || fk_table != key_fk) {
      key_pk = pk_table;
      key_fk = fk_table;
      sequence = 0;
    }
    ++sequence;
    const VValue null_text = VValue::Null(corvane::VKind::Text);
    row.push_back(null_text);
    row.push_back(null_text);
    row.push_back(TextOrNull(server[0]));
    row.push_back(TextOrNull(server[1]));
    row.push_back(null_text);
    row.push_back(null_text);
    row.push_back(TextOrNull(server[2]));
    row.push_back(TextOrNull(server[3]));
    row.push_back(corvane::VWord(sequence));
    row.push_back(corvane::VWord(SQL_NO_ACTION));
    row.push_back(corvane::VWord(SQL_NO_ACTION));
    row.push_back(VValue(VString()));
    row.push_back(VValue(VString()));
    row.push_back(corvane::VWord(SQL_NOT_DEFERRABLE));
    return true;
  });
  return statement.return_code();
}

}  // namespace kestrion
