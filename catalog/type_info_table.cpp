// The type information rows and the rows answered for a requested type.
#include "catalog/type_info_table.h"

#include "driver/odbc.h"
#include "statement/type_tables.h"

namespace kestrion {

namespace {

constexpr std::array<TypeInfoColumn, kTypeInfoColumnCount> kColumns = {{
    {"TYPE_NAME", "VK_TEXT"},
    {"DATA_TYPE", "VK_WORD"},
    {"COLUMN_SIZE", "VK_LONG"},
    {"LITERAL_PREFIX", "VK_TEXT"},
    {"LITERAL_SUFFIX", "VK_TEXT"},
    {"CREATE_PARAMS", "VK_TEXT"},
    {"NULLABLE", "VK_WORD"},
    {"CASE_SENSITIVE", "VK_WORD"},
    {"SEARCHABLE", "VK_WORD"},
    {"UNSIGNED_ATTRIBUTE", "VK_WORD"},
    {"FIXED_PREC_SCALE", "VK_WORD"},
    {"AUTO_UNIQUE_VALUE", "VK_WORD"},
    {"LOCAL_TYPE_NAME", "VK_TEXT"},
    {"MINIMUM_SCALE", "VK_WORD"},
    {"MAXIMUM_SCALE", "VK_WORD"},
    {"SQL_DATA_TYPE", "VK_WORD"},
    {"SQL_DATETIME_SUB", "VK_WORD"},
    {"NUM_PREC_RADIX", "VK_LONG"},
    {"INTERVAL_PRECISION", "VK_WORD"},
}};

constexpr int32_t kLongest = 2147483647;

//  TYPE_NAME, DATA_TYPE, quoted literal, CASE_SENSITIVE, SEARCHABLE,
//  UNSIGNED_ATTRIBUTE, AUTO_UNIQUE_VALUE[, COLUMN_SIZE, CREATE_PARAMS, scale]
// Each class's first row is the one a folded request answers. The variable
// and long text and binary types follow the row of their class, each named
// by a declaration that creates the server's text or binary type.
constexpr std::array<TypeInfoRow, kTypeInfoRowCount> kRows = {{
    {u"BOOLEAN", SQL_BIT, false, 0, 2, 1, 0},
    {u"TEXT", SQL_CHAR, true, 1, 1, 0, 0},
    {u"VARCHAR", SQL_VARCHAR, true, 1, 3, 0, 0, kSizeByRule, u"max length"},
    {u"TEXT", SQL_LONGVARCHAR, true, 1, 1, 0, 0, kLongest},
    {u"TEXT", SQL_WCHAR, true, 1, 1, 0, 0},
    {u"NVARCHAR", SQL_WVARCHAR, true, 1, 3, 0, 0, kSizeByRule, u"max length"},
    {u"NTEXT", SQL_WLONGVARCHAR, true, 1, 1, 0, 0, kLongest},
    {u"BYTE", SQL_TINYINT, false, 0, 2, 0, 1},
    {u"INT16", SQL_SMALLINT, false, 0, 2, 0, 1},
    {u"INT32", SQL_INTEGER, false, 0, 2, 0, 1},
    {u"UUID", SQL_GUID, false, 0, 2, 0, 1},
    {u"INT64", SQL_BIGINT, false, 0, 2, 0, 1},
    {u"REAL", SQL_REAL, false, 0, 2, 0, 0},
    {u"DOUBLE PRECISION", SQL_DOUBLE, false, 0, 2, 0, 0},
    {u"DOUBLE PRECISION", SQL_NUMERIC, false, 0, 2, 0, 0},
    {u"BINARY", SQL_BINARY, false, 0, 2, 1, 0},
    {u"VARBINARY", SQL_VARBINARY, false, 0, 2, 1, 0, kLongest, u"max length"},
    {u"BLOB", SQL_LONGVARBINARY, false, 0, 2, 1, 0, kLongest},
    {u"TIMESTAMP", SQL_TYPE_DATE, false, 0, 2, 1, 0},
    {u"DURATION", SQL_TYPE_TIME, false, 0, 2, 1, 0},
    // Timestamps keep milliseconds: three digits of fractional seconds.
    {u"TIMESTAMP", SQL_TYPE_TIMESTAMP, false, 0, 2, 1, 0, kSizeByRule, {}, kTimestampDigits},
    {u"DURATION", SQL_INTERVAL_DAY_TO_SECOND, false, 0, 2, 1, 0},
}};

// The types whose own row answers a request for them, not their class's.
bool AnswersOwnRow(int16_t data_type) {
  switch (data_type) {
    case SQL_VARCHAR: case SQL_LONGVARCHAR: case SQL_WVARCHAR: case SQL_WLONGVARCHAR:
    case SQL_VARBINARY: case SQL_LONGVARBINARY:
      return true;
    default:
      return false;
  }
}

// SQL_DATA_TYPE and SQL_DATETIME_SUB: the verbose type and subcode for the
// datetime and interval types, the type itself and 0 for the others.
void VerboseType(int16_t data_type, int16_t& sql_data_type, int16_t& datetime_sub) {
  sql_data_type = SQL_DATETIME;
  switch (data_type) {
    case SQL_TYPE_DATE:
      datetime_sub = SQL_CODE_DATE;
      return;
    case SQL_TYPE_TIMESTAMP:
      datetime_sub = SQL_CODE_TIMESTAMP;
      return;
    case SQL_INTERVAL_DAY_TO_SECOND:
      // The durations have always been described with the time subcode.
      datetime_sub = SQL_CODE_TIME;
      return;
    default:
      sql_data_type = data_type;
      datetime_sub = 0;
      return;
  }
}

corvane::VValue Text(std::optional<std::u16string_view> text) {
  if (!text) return corvane::VValue::Null(corvane::VKind::Text);
  return corvane::VText(corvane::VString(*text));
}

}  // namespace

const std::array<TypeInfoColumn, kTypeInfoColumnCount>& TypeInfoColumns() { return kColumns; }

const std::array<TypeInfoRow, kTypeInfoRowCount>& TypeInfoRows() { return kRows; }

TypeInfoValues ValuesOf(const TypeInfoRow& row, bool open_query) {
  TypeInfoValues v{};
  v.type_name = row.type_name;
  v.data_type = row.data_type;
  v.column_size = row.column_size != kSizeByRule
                      ? row.column_size
                      : ColumnSize(FoldType(row.data_type, SQL_OV_ODBC3), open_query);
  if (row.quoted_literal) {
    v.literal_prefix = u"'";
    v.literal_suffix = u"'";
  }
  v.nullable = SQL_NULLABLE_UNKNOWN;
  v.case_sensitive = row.case_sensitive;
  v.searchable = row.searchable;
  v.unsigned_attribute = row.unsigned_attribute;
  v.fixed_prec_scale = 0;
  v.auto_unique_value = row.auto_unique_value;
  v.local_type_name = row.type_name;
  if (!row.create_params.empty()) v.create_params = row.create_params;
  v.minimum_scale = row.scale;
  v.maximum_scale = row.scale;
  VerboseType(row.data_type, v.sql_data_type, v.sql_datetime_sub);
  v.num_prec_radix = 10;
  v.interval_precision = 10;
  return v;
}

std::vector<corvane::VValue> TypeInfoLocalRow(const TypeInfoRow& row, bool open_query) {
  using corvane::VLong;
  using corvane::VWord;
  const TypeInfoValues v = ValuesOf(row, open_query);
  std::vector<corvane::VValue> out;
  out.reserve(kTypeInfoColumnCount + 1);
  out.push_back(corvane::VLong8(0));
  out.push_back(Text(v.type_name));
  out.push_back(VWord(v.data_type));
  out.push_back(VLong(v.column_size));
  out.push_back(Text(v.literal_prefix));
  out.push_back(Text(v.literal_suffix));
  out.push_back(Text(v.create_params));
  out.push_back(VWord(v.nullable));
  out.push_back(VWord(v.case_sensitive));
  out.push_back(VWord(v.searchable));
  out.push_back(VWord(v.unsigned_attribute));
  out.push_back(VWord(v.fixed_prec_scale));
  out.push_back(VWord(v.auto_unique_value));
  out.push_back(Text(v.local_type_name));
  out.push_back(VWord(v.minimum_scale));
  out.push_back(VWord(v.maximum_scale));
  out.push_back(VWord(v.sql_data_type));
  out.push_back(VWord(v.sql_datetime_sub));
  out.push_back(VLong(v.num_prec_radix));
  out.push_back(VWord(v.interval_precision));
  return out;
}

std::optional<std::span<const TypeInfoRow>> SelectTypeInfoRows(int16_t data_type,
                                                               int32_t odbc_version) {
  if (data_type == SQL_ALL_TYPES) return std::span<const TypeInfoRow>(kRows);
  if (AnswersOwnRow(data_type)) {
    for (const TypeInfoRow& row : kRows) {
      if (row.data_type == data_type) return std::span<const TypeInfoRow>(&row, 1);
    }
  }
  const int16_t type_class = FoldType(data_type, odbc_version);
  if (type_class == kClassNone) return std::nullopt;
  for (const TypeInfoRow& row : kRows) {
    if (row.data_type == type_class) return std::span<const TypeInfoRow>(&row, 1);
  }
  // A class of the type tables without a row of its own (the default
  // class): an empty answer rather than a search past the table.
  return std::span<const TypeInfoRow>();
}

}  // namespace kestrion
