// The type information rows: their order, their computed columns, the local
// rows built from them and the rows chosen for a requested type.
#include "catalog/type_info_table.h"

#include <gtest/gtest.h>

#include <vector>

#include "driver/odbc.h"

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
  EXPECT_EQ(types, (std::vector<int>{-7, 1, -8, -6, 5, 4, -11, -5, 7, 8, 2, -2, 91, 92, 93, 110}));
  EXPECT_EQ(names, (std::vector<std::u16string_view>{
                       u"BOOLEAN", u"TEXT", u"TEXT", u"BYTE", u"INT16", u"INT32", u"UUID", u"INT64",
                       u"REAL", u"DOUBLE PRECISION", u"DOUBLE PRECISION", u"BINARY", u"TIMESTAMP",
                       u"DURATION", u"TIMESTAMP", u"DURATION"}));
  EXPECT_EQ(SelectTypeInfoRows(SQL_ALL_TYPES, SQL_OV_ODBC2)->size(), 16u);
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
      {SQL_VARCHAR, SQL_CHAR},
      {SQL_LONGVARCHAR, SQL_CHAR},
      {SQL_WLONGVARCHAR, SQL_WCHAR},
      {SQL_VARBINARY, SQL_BINARY},
      {SQL_TYPE_DATE, SQL_TYPE_DATE},
      {SQL_DATE, SQL_TYPE_DATE},
      {SQL_TIMESTAMP, SQL_TYPE_TIMESTAMP},
      {SQL_INTERVAL_YEAR, SQL_INTERVAL_DAY_TO_SECOND},
      {SQL_GUID, SQL_GUID},
      {SQL_BIT, SQL_BIT},
  };
  for (const Case& c : cases) {
    const TypeInfoRow* row = Only(c.requested);
    ASSERT_NE(row, nullptr) << c.requested;
    EXPECT_EQ(row->data_type, c.answered) << c.requested;
  }
  EXPECT_EQ(Only(SQL_DOUBLE)->type_name, u"DOUBLE PRECISION");
  EXPECT_EQ(Only(SQL_NUMERIC)->type_name, u"DOUBLE PRECISION");
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
  // Column sizes by type; text widens with the open-query flag.
  std::vector<int32_t> sizes, open_sizes;
  for (const TypeInfoRow& r : rows) {
    sizes.push_back(ValuesOf(r, false).column_size);
    open_sizes.push_back(ValuesOf(r, true).column_size);
  }
  EXPECT_EQ(sizes,
            (std::vector<int32_t>{5, 32767, 32767, 4, 6, 11, 32, 20, 7, 15, 10, 0, 10, 8, 19, 10}));
  EXPECT_EQ(open_sizes[1], 2147483647);
  EXPECT_EQ(open_sizes[2], 2147483647);
  EXPECT_EQ(open_sizes[0], 5);

  auto date = ValuesOf(*Only(SQL_TYPE_DATE), false);
  EXPECT_EQ(date.type_name, u"TIMESTAMP");
  EXPECT_EQ(date.sql_data_type, 9);
  EXPECT_EQ(date.sql_datetime_sub, 1);
  auto stamp = ValuesOf(*Only(SQL_TYPE_TIMESTAMP), false);
  EXPECT_EQ(stamp.sql_data_type, 9);
  EXPECT_EQ(stamp.sql_datetime_sub, 3);
  auto duration = ValuesOf(*Only(SQL_INTERVAL_DAY_TO_SECOND), false);
  EXPECT_EQ(duration.sql_data_type, 9);
  EXPECT_EQ(duration.sql_datetime_sub, 2);
  auto time = ValuesOf(*Only(SQL_TYPE_TIME), false);
  EXPECT_EQ(time.sql_data_type, 92);
  EXPECT_EQ(time.sql_datetime_sub, 0);

  for (const TypeInfoRow& r : rows) {
    auto v = ValuesOf(r, false);
    EXPECT_EQ(v.local_type_name, v.type_name);
    EXPECT_FALSE(v.create_params);
    EXPECT_EQ(v.nullable, 2);
    EXPECT_EQ(v.fixed_prec_scale, 0);
    EXPECT_EQ(v.num_prec_radix, 10);
    EXPECT_EQ(v.interval_precision, 10);
    const bool text = v.data_type == SQL_CHAR || v.data_type == SQL_WCHAR;
    EXPECT_EQ(v.literal_prefix.has_value(), text);
    EXPECT_EQ(v.literal_suffix.has_value(), text);
    EXPECT_EQ(v.case_sensitive, text ? 1 : 0);
    EXPECT_EQ(v.searchable, text ? 1 : 2);
    if (text) {
      EXPECT_EQ(*v.literal_prefix, u"'");
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
    EXPECT_TRUE(row[6].is_null());  // CREATE_PARAMS
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
