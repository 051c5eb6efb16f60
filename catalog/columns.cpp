// SQLColumnsW: the columns of the tables, then of the views.
#include <array>

#include "catalog/catalog_functions.h"
#include "catalog/local_result_set.h"
#include "catalog/name_argument.h"
#include "catalog/server_types.h"
#include "catalog/type_oracle.h"
#include "driver/statement.h"
#include "statement/close_statement.h"
#include "statement/statement_settings.h"
#include "statement/type_tables.h"

namespace kestrion {

using corvane::VString;
using corvane::VValue;

namespace {

constexpr std::array<LocalColumn, 18> kColumns = {{
    {"TABLE_CAT", "VK_TEXT"},         {"TABLE_SCHEM", "VK_TEXT"},
    {"TABLE_NAME", "VK_TEXT"},        {"COLUMN_NAME", "VK_TEXT"},
    {"DATA_TYPE", "VK_WORD"},         {"TYPE_NAME", "VK_TEXT"},
    {"COLUMN_SIZE", "VK_LONG"},       {"BUFFER_LENGTH", "VK_LONG"},
    {"DECIMAL_DIGITS", "VK_WORD"},    {"NUM_PREC_RADIX", "VK_WORD"},
    {"NULLABLE", "VK_WORD"},          {"REMARKS", "VK_TEXT"},
    {"COLUMN_DEF", "VK_TEXT"},        {"SQL_DATA_TYPE", "VK_WORD"},
    {"SQL_DATETIME_SUB", "VK_WORD"},  {"CHAR_OCTET_LENGTH", "VK_LONG"},
    {"ORDINAL_POSITION", "VK_LONG"},  {"IS_NULLABLE", "VK_TEXT"},
}};

// The server's type code of unbounded text (TEXT, CLOB).
constexpr int64_t kUnboundedTextCode = 14;

VValue NullText() { return VValue::Null(corvane::VKind::Text); }

// The type a column is reported with, once its bind type is known, as
// DATA_TYPE and SQL_DATA_TYPE with SQL_DATETIME_SUB. With the
// Access-compatibility flag, the floating types read as SQL_DOUBLE and the
// date, time and interval types as SQL_TIMESTAMP (11). Otherwise an ODBC 3
// application gets the concise date and time codes (91, 92, 93) as DATA_TYPE
// and the verbose code with its subcode (9 and 1, 2, 3) in SQL_DATA_TYPE and
// SQL_DATETIME_SUB; an ODBC 2 application the codes 9, 10 and 11 in both.
struct ReportedTypes {
  int16_t data_type;
  int16_t sql_data_type;
  int16_t datetime_sub;
};

ReportedTypes ReportedType(int16_t type, int16_t datetime_sub, bool access, int32_t version) {
  if (access) {
    if (type == SQL_REAL || type == SQL_DOUBLE) return {SQL_DOUBLE, SQL_DOUBLE, 0};
    if (type == SQL_TYPE_DATE || type == SQL_TYPE_TIME || type == SQL_TYPE_TIMESTAMP ||
        type == SQL_INTERVAL_DAY_TO_SECOND)
      return {SQL_TIMESTAMP, SQL_TIMESTAMP, datetime_sub};
    return {type, type, datetime_sub};
  }
  if (version == SQL_OV_ODBC2) {
    int16_t old = type;
    if (type == SQL_TYPE_DATE) old = SQL_DATE;
    if (type == SQL_TYPE_TIME || type == SQL_INTERVAL_DAY_TO_SECOND) old = SQL_TIME;
    if (type == SQL_TYPE_TIMESTAMP) old = SQL_TIMESTAMP;
    return {old, old, datetime_sub};
  }
  // A span of time is described to applications as a time of day, here too.
  if (type == SQL_TYPE_TIME || type == SQL_INTERVAL_DAY_TO_SECOND) return {SQL_TYPE_TIME, SQL_DATETIME, SQL_CODE_TIME};
  if (type == SQL_TYPE_DATE) return {type, SQL_DATETIME, SQL_CODE_DATE};
  if (type == SQL_TYPE_TIMESTAMP) return {type, SQL_DATETIME, SQL_CODE_TIMESTAMP};
  return {type, type, datetime_sub};
}

}  // namespace

bool BuildColumnRow(TypeOracle* oracle, const ColumnFlags& flags, LocalRow& row,
                    std::span<const VValue> server) {
  const bool views = flags.views;
  const bool access = flags.access;
  const bool open_query = flags.open_query;
  const std::size_t needed = views ? 5 : 6;
  if (oracle == nullptr || !oracle->ok() || server.size() < needed) return false;
  const int64_t code = IntegerValue(server[2]);
  const bool nullable = IntegerValue(server[3]) != 0;
  const int64_t data_length = IntegerValue(server[views ? 4 : 5]);
  const int64_t ordinal = views ? IntegerValue(row[0]) + 1 : IntegerValue(server[4]);

  const int16_t t = ServerSqlType(code);
  int16_t bind_type = t;
  int64_t size = 0;
  int64_t octets = 0;
  if (t == SQL_GUID) {
    if (access) {
      bind_type = SQL_WCHAR;
      size = 32;
      octets = 64;
    }
  } else if (t == SQL_WCHAR) {
    octets = data_length;
    size = data_length / 2;
    if (!access) bind_type = SQL_CHAR;
  } else if (t != SQL_UNKNOWN_TYPE) {
    size = octets = ColumnSize(t, open_query);
  }
  // A type code the driver does not know is reported as SQL_UNKNOWN_TYPE
  // with no name and no sizes.
  const TypeOracle::Answer a = oracle->Bind(bind_type);
  ReportedTypes reported = ReportedType(a.concise_type, a.datetime_sub, access, flags.odbc_version);
  // Unbounded text and byte strings are long data, as results describe them.
  int16_t long_type = 0;
  if (t == SQL_WCHAR && code == kUnboundedTextCode) long_type = access ? SQL_WLONGVARCHAR : SQL_LONGVARCHAR;
  if (t == SQL_BINARY) long_type = SQL_LONGVARBINARY;
  if (long_type != 0) reported.data_type = reported.sql_data_type = long_type;
  const std::u16string_view type_name = SqlTypeName(a.concise_type);

  row.push_back(NullText());
  row.push_back(NullText());
  row.push_back(TextOrNull(server[0]));
  row.push_back(TextOrNull(server[1]));
  row.push_back(corvane::VWord(reported.data_type));
  row.push_back(type_name.empty() ? NullText() : VValue(VString(type_name)));
  row.push_back(corvane::VLong(static_cast<int32_t>(size)));
  row.push_back(corvane::VLong8(octets));
  row.push_back(corvane::VWord(a.decimal_digits));
  row.push_back(corvane::VWord(static_cast<int16_t>(a.radix)));
  row.push_back(corvane::VWord(nullable ? 1 : 0));
  row.push_back(NullText());
  row.push_back(NullText());
  row.push_back(corvane::VWord(reported.sql_data_type));
  row.push_back(corvane::VWord(reported.datetime_sub));
  row.push_back(corvane::VLong(static_cast<int32_t>(octets)));
  row.push_back(corvane::VLong(static_cast<int32_t>(ordinal)));
  row.push_back(VValue(VString(nullable ? u"YES" : u"NO")));
  return true;
}

VString ColumnsTableQuery(const OptionalName& name) {
  VString q(u"select [TABLE_NAME],[COLUMN_NAME],[DATA_TYPE],[NULLABLE],[COLUMN_ID],[DATA_LENGTH]"
            u" from [_USER_COLUMNS]");
  if (name) {
    q += u" where [TABLE_NAME]=";
    q += QuotedName(*name);
    q += u" order by [COLUMN_ID]";
  } else {
    q += u" order by [TABLE_NAME],[COLUMN_ID]";
  }
  return q;
}

VString ColumnsViewQuery(const OptionalName& name) {
  VString q(u"select [VIEW_NAME],[COLUMN_NAME],[DATA_TYPE],[NULLABLE],[DATA_LENGTH]"
            u" from [_USER_VIEW_COLUMNS]");
  if (name) {
    q += u" where [VIEW_NAME]=";
    q += QuotedName(*name);
  } else {
    q += u" order by [VIEW_NAME]";
  }
  return q;
}

SQLRETURN CatalogColumns(CHStatement& statement, const SQLWCHAR* table, SQLSMALLINT table_length) {
  CloseStatement(statement);
  const OptionalName name = PrepareName(table, table_length, kColumnsNameRules);
  TypeOracle oracle(statement);
  OpenLocalResultSet(statement, kColumns);
  ColumnFlags flags{statement.access_compatible, statement.open_query, false, OdbcVersion(statement)};
  auto builder = [&](LocalRow& row, std::span<const VValue> server) {
    return BuildColumnRow(&oracle, flags, row, server);
  };
  bool found = false;
  if (oracle.ok()) found = RunCatalogQuery(statement, ColumnsTableQuery(name), builder);
  if (!(name && found)) {
    statement.ClearDiagnostics();
    flags.views = true;
    RunCatalogQuery(statement, ColumnsViewQuery(name), builder);
  }
  return statement.return_code();
}

}  // namespace kestrion
