// The type information rows: their order, their computed columns, the local
// rows built from them and the rows chosen for a requested type.
#include "catalog/type_info_table.h"

#include <gtest/gtest.h>

#include <vector>

#include "driver/odbc.h"
#include "statement/type_tables.h"

namespace {

using corvane::VKind;
using kestrion::SelectTypeInfoRows;
using kestrion::TypeInfoColumns;
using kestrion::TypeInfoRow;
using kestrion::TypeInfoRows;
using kestrion::ValuesOf;

// The single row answered for a type, or null when there is none.
const TypeInfoRow* Only(int16_t type, int32_t odbc_version = SQL_OV_ODBC3) {
  auto rows = SelectTypeInfoRows(type, odbc_version);
  if (!rows || rows->size() != 1) return nullptr;
  return &rows->front();
}

TEST(TypeInfoTable, AllTypesInTableOrder) {
  auto rows = SelectTypeInfoRows(SQL_ALL_TYPES, SQL_OV_ODBC3);
  ASSERT_TRUE(rows);
  std::vector<int> types;
  std::vector<std::u16string_view> names;
  for (const TypeInfoRow& r : *rows) {
    types.push_back(r.data_type);
    names.push_back(r.type_name);
  }
  // The variable and long text and binary types follow their class's row.
  EXPECT_EQ(types, (std::vector<int>{-7, 1, 12, -1, -8, -9, -10, -6, 5, 4, -11, -5, 7, 8, 2, -2, -3,
                                     -4, 91, 92, 93, 110}));
  EXPECT_EQ(names, (std::vector<std::u16string_view>{
                       u"BOOLEAN", u"TEXT", u"VARCHAR", u"TEXT", u"TEXT", u"NVARCHAR", u"NTEXT",
                       u"BYTE", u"INT16", u"INT32", u"UUID", u"INT64", u"REAL",
                       u"DOUBLE PRECISION", u"DOUBLE PRECISION", u"BINARY", u"VARBINARY", u"BLOB",
                       u"TIMESTAMP", u"DURATION", u"TIMESTAMP", u"DURATION"}));
  EXPECT_EQ(SelectTypeInfoRows(SQL_ALL_TYPES, SQL_OV_ODBC2)->size(), 22u);
}

TEST(TypeInfoTable, RequestedTypesFoldToTheirRow) {
  struct Case {
    int16_t requested;
    int16_t answered;
  } cases[] = {
      {SQL_DOUBLE, SQL_DOUBLE},
      {SQL_NUMERIC, SQL_NUMERIC},
      {SQL_DECIMAL, SQL_NUMERIC},
      {SQL_FLOAT, SQL_REAL},
      {SQL_CHAR, SQL_CHAR},
      {SQL_WCHAR, SQL_WCHAR},
      {SQL_BINARY, SQL_BINARY},
      {SQL_TYPE_DATE, SQL_TYPE_DATE},
      {SQL_DATE, SQL_TYPE_DATE},
      {SQL_TIMESTAMP, SQL_TYPE_TIMESTAMP},
      {SQL_INTERVAL_YEAR, SQL_INTERVAL_DAY_TO_SECOND},
      {SQL_GUID, SQL_GUID},
      {SQL_BIT, SQL_BIT},
      // These six have rows of their own.
      {SQL_VARCHAR, SQL_VARCHAR},
      {SQL_LONGVARCHAR, SQL_LONGVARCHAR},
      {SQL_WVARCHAR, SQL_WVARCHAR},
      {SQL_WLONGVARCHAR, SQL_WLONGVARCHAR},
      {SQL_VARBINARY, SQL_VARBINARY},
      {SQL_LONGVARBINARY, SQL_LONGVARBINARY},
  };
  for (const Case& c : cases) {
    const TypeInfoRow* row = Only(c.requested);
    ASSERT_NE(row, nullptr) << c.requested;
    EXPECT_EQ(row->data_type, c.answered) << c.requested;
  }
  EXPECT_EQ(Only(SQL_DOUBLE)->type_name, u"DOUBLE PRECISION");
  EXPECT_EQ(Only(SQL_NUMERIC)->type_name, u"DOUBLE PRECISION");
  EXPECT_EQ(Only(SQL_VARCHAR, SQL_OV_ODBC2)->type_name, u"VARCHAR");
  // ODBC 2 codes fold by that version's numbering.
  EXPECT_EQ(Only(-80, SQL_OV_ODBC2)->data_type, SQL_INTERVAL_DAY_TO_SECOND);
  EXPECT_EQ(Only(-95, SQL_OV_ODBC2)->data_type, SQL_WCHAR);
  EXPECT_EQ(Only(10, SQL_OV_ODBC2)->type_name, u"DURATION");
}

TEST(TypeInfoTable, UnknownAndRowlessTypes) {
  // No class at all: the caller reports HY004.
  EXPECT_FALSE(SelectTypeInfoRows(42, SQL_OV_ODBC3));
  EXPECT_FALSE(SelectTypeInfoRows(-95, SQL_OV_ODBC3));
  EXPECT_FALSE(SelectTypeInfoRows(-32768, SQL_OV_ODBC3));
  // A class of its own without a row: an empty answer.
  auto none = SelectTypeInfoRows(99, SQL_OV_ODBC3);
  ASSERT_TRUE(none);
  EXPECT_TRUE(none->empty());
}

TEST(TypeInfoTable, ComputedColumns) {
  const auto& rows = TypeInfoRows();
  // Column sizes by type; text widens with the open-query flag, the long
  // and binary types of their own rows are unbounded.
  std::vector<int32_t> sizes, open_sizes;
  for (const TypeInfoRow& r : rows) {
    sizes.push_back(ValuesOf(r, false).column_size);
    open_sizes.push_back(ValuesOf(r, true).column_size);
  }
  constexpr int32_t kMax = 2147483647;
  EXPECT_EQ(sizes, (std::vector<int32_t>{5, 32767, 32767, kMax, 32767, 32767, kMax, 4, 6, 11, 32,
                                         20, 7, 15, 10, 0, kMax, kMax, 10, 8, 23, 10}));
  for (size_t i : {1, 2, 4, 5}) EXPECT_EQ(open_sizes[i], kMax) << i;
  EXPECT_EQ(open_sizes[0], 5);

  auto date = ValuesOf(*Only(SQL_TYPE_DATE), false);
  EXPECT_EQ(date.type_name, u"TIMESTAMP");
  EXPECT_EQ(date.sql_data_type, 9);
  EXPECT_EQ(date.sql_datetime_sub, 1);
  EXPECT_EQ(date.maximum_scale, 0);
  // Timestamps are described with milliseconds.
  auto stamp = ValuesOf(*Only(SQL_TYPE_TIMESTAMP), false);
  EXPECT_EQ(stamp.sql_data_type, 9);
  EXPECT_EQ(stamp.sql_datetime_sub, 3);
  EXPECT_EQ(stamp.column_size, 23);
  EXPECT_EQ(stamp.minimum_scale, 3);
  EXPECT_EQ(stamp.maximum_scale, 3);
  auto duration = ValuesOf(*Only(SQL_INTERVAL_DAY_TO_SECOND), false);
  EXPECT_EQ(duration.sql_data_type, 9);
  EXPECT_EQ(duration.sql_datetime_sub, 2);
  auto time = ValuesOf(*Only(SQL_TYPE_TIME), false);
  EXPECT_EQ(time.sql_data_type, 92);
  EXPECT_EQ(time.sql_datetime_sub, 0);

  for (const TypeInfoRow& r : rows) {
    auto v = ValuesOf(r, false);
    SCOPED_TRACE(testing::Message() << "type " << v.data_type);
    EXPECT_EQ(v.local_type_name, v.type_name);
    EXPECT_EQ(v.nullable, 2);
    EXPECT_EQ(v.fixed_prec_scale, 0);
    EXPECT_EQ(v.num_prec_radix, 10);
    EXPECT_EQ(v.interval_precision, 10);
    const int16_t type_class = kestrion::FoldType(v.data_type, SQL_OV_ODBC3);
    const bool text = type_class == SQL_CHAR || type_class == SQL_WCHAR;
    const bool sized = v.data_type == SQL_VARCHAR || v.data_type == SQL_WVARCHAR ||
                       v.data_type == SQL_VARBINARY;
    EXPECT_EQ(v.create_params.has_value(), sized);
    if (sized) {
      EXPECT_EQ(*v.create_params, u"max length");
    }
    EXPECT_EQ(v.sql_data_type, v.data_type == SQL_TYPE_DATE || v.data_type == SQL_TYPE_TIMESTAMP ||
                                       v.data_type == SQL_INTERVAL_DAY_TO_SECOND
                                   ? SQL_DATETIME
                                   : v.data_type);
    EXPECT_EQ(v.literal_prefix.has_value(), text);
    EXPECT_EQ(v.literal_suffix.has_value(), text);
    EXPECT_EQ(v.case_sensitive, text ? 1 : 0);
    if (text) {
      EXPECT_EQ(*v.literal_prefix, u"'");
      // Plain and long text answer LIKE only, as the class rows do; the
      // variable-length text is searchable by every predicate.
      EXPECT_EQ(v.searchable, v.data_type == SQL_VARCHAR || v.data_type == SQL_WVARCHAR ? 3 : 1);
    } else {
      EXPECT_EQ(v.searchable, 2);
    }
  }
  EXPECT_EQ(ValuesOf(*Only(SQL_BIGINT), false).auto_unique_value, 1);
  EXPECT_EQ(ValuesOf(*Only(SQL_BIT), false).unsigned_attribute, 1);
}

TEST(TypeInfoTable, LocalRowsFollowTheColumnList) {
  const auto& columns = TypeInfoColumns();
  ASSERT_EQ(columns.size(), 19u);
  EXPECT_EQ(columns[0].name, "TYPE_NAME");
  EXPECT_EQ(columns[2].name, "COLUMN_SIZE");
  EXPECT_EQ(columns[17].name, "NUM_PREC_RADIX");
  EXPECT_EQ(columns[18].name, "INTERVAL_PRECISION");
  for (const TypeInfoRow& r : TypeInfoRows()) {
    auto row = kestrion::TypeInfoLocalRow(r, false);
    ASSERT_EQ(row.size(), 20u);
    EXPECT_EQ(row[0].kind(), VKind::Long8);
    EXPECT_EQ(row[0].integer(), 0);
    for (size_t i = 0; i < columns.size(); ++i) {
      const VKind expected = columns[i].kind == "VK_TEXT"   ? VKind::Text
                             : columns[i].kind == "VK_WORD" ? VKind::Word
                                                            : VKind::Long;
      EXPECT_EQ(row[i + 1].kind(), expected) << columns[i].name;
    }
    EXPECT_EQ(row[1].text(), r.type_name);
    EXPECT_EQ(row[2].integer(), r.data_type);
    EXPECT_EQ(row[3].integer(), ValuesOf(r, false).column_size);
    EXPECT_EQ(row[6].is_null(), r.create_params.empty());  // CREATE_PARAMS
    EXPECT_EQ(row[13].text(), r.type_name);
    EXPECT_EQ(row[18].integer(), 10);
  }
  auto text = kestrion::TypeInfoLocalRow(*Only(SQL_CHAR), true);
  EXPECT_EQ(text[3].integer(), 2147483647);
  EXPECT_EQ(text[4].text(), u"'");
  EXPECT_FALSE(text[4].is_null());
  EXPECT_TRUE(kestrion::TypeInfoLocalRow(*Only(SQL_BIT), false)[4].is_null());
}

}  // namespace
