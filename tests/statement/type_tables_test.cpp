// The type tables: folding, kind names, name lookup and the size rules.
#include <gtest/gtest.h>

#include <sqlext.h>

#include "statement/type_tables.h"

namespace {

using namespace kestrion;

TEST(TypeFolding, OdbcThreeCodesFoldIntoTheirClasses) {
  struct Case { int32_t code; int16_t cls; };
  const Case cases[] = {
      {SQL_VARCHAR, SQL_CHAR},          {SQL_LONGVARCHAR, SQL_CHAR},
      {SQL_WVARCHAR, SQL_WCHAR},        {SQL_WLONGVARCHAR, SQL_WCHAR},
      {SQL_C_SLONG, SQL_INTEGER},       {SQL_C_ULONG, SQL_INTEGER},
      {SQL_C_SSHORT, SQL_SMALLINT},     {SQL_C_USHORT, SQL_SMALLINT},
      {SQL_C_STINYINT, SQL_TINYINT},    {SQL_C_UTINYINT, SQL_TINYINT},
      {SQL_C_SBIGINT, SQL_BIGINT},      {SQL_C_UBIGINT, SQL_BIGINT},
      {SQL_VARBINARY, SQL_BINARY},      {SQL_LONGVARBINARY, SQL_BINARY},
      {SQL_DECIMAL, SQL_NUMERIC},       {SQL_FLOAT, SQL_REAL},
      {SQL_DOUBLE, SQL_DOUBLE},         {SQL_BIT, SQL_BIT},
      {SQL_GUID, SQL_GUID},             {SQL_DATE, SQL_TYPE_DATE},
      {SQL_TIME, SQL_TYPE_TIME},        {SQL_TIMESTAMP, SQL_TYPE_TIMESTAMP},
      {SQL_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP},
      {SQL_INTERVAL_YEAR, 110},         {SQL_INTERVAL_MINUTE_TO_SECOND, 110},
      {0, 99},                          {SQL_C_DEFAULT, 99},
      {42, 0},                          {-9999, 0},
      {100, 0},                         {114, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FoldType(c.code, SQL_OV_ODBC3), c.cls) << "code " << c.code;
  }
}

TEST(TypeFolding, OdbcTwoCodesAreMappedFirst) {
  EXPECT_EQ(FoldType(10, SQL_OV_ODBC2), SQL_TYPE_TIME);
  EXPECT_EQ(FoldType(-96, SQL_OV_ODBC2), SQL_WCHAR);
  EXPECT_EQ(FoldType(-85, SQL_OV_ODBC2), 110);
  // The same codes mean nothing to an ODBC 3 application.
  EXPECT_EQ(FoldType(-96, SQL_OV_ODBC3), 0);
  EXPECT_EQ(FoldType(-85, SQL_OV_ODBC3), 0);
  // Codes outside the ODBC 2 ranges fold as usual.
  EXPECT_EQ(FoldType(SQL_VARCHAR, SQL_OV_ODBC2), SQL_CHAR);
}

TEST(KindNames, EveryClassHasItsServerKind) {
  EXPECT_EQ(KindName(SQL_GUID), u"VK_UUID");
  EXPECT_EQ(KindName(SQL_WCHAR), u"VK_TEXT");
  EXPECT_EQ(KindName(SQL_CHAR), u"VK_TEXT");
  EXPECT_EQ(KindName(SQL_BIT), u"VK_BOOLEAN");
  EXPECT_EQ(KindName(SQL_TINYINT), u"VK_BYTE");
  EXPECT_EQ(KindName(SQL_BIGINT), u"VK_LONG8");
  EXPECT_EQ(KindName(SQL_BINARY), u"VK_BLOB");
  EXPECT_EQ(KindName(SQL_NUMERIC), u"VK_FLOAT");
  EXPECT_EQ(KindName(SQL_INTEGER), u"VK_LONG");
  EXPECT_EQ(KindName(SQL_SMALLINT), u"VK_WORD");
  EXPECT_EQ(KindName(SQL_REAL), u"VK_REAL");
  EXPECT_EQ(KindName(SQL_DOUBLE), u"VK_FLOAT");
  EXPECT_EQ(KindName(SQL_TYPE_DATE), u"VK_TIME");
  EXPECT_EQ(KindName(SQL_TYPE_TIMESTAMP), u"VK_TIME");
  EXPECT_EQ(KindName(SQL_TYPE_TIME), u"VK_DURATION");
  EXPECT_EQ(KindName(110), u"VK_DURATION");
  EXPECT_EQ(KindName(99), u"VK_UNKNOWN");
  EXPECT_TRUE(KindName(0).empty());
  EXPECT_TRUE(KindName(SQL_VARCHAR).empty());  // a code, not a class
}

TEST(TypeNameLookup, WantedTypeChoosesAmongRowsOfOneName) {
  TypeNameEntry e{0, 0};
  // A VK_TIME value has a time of day: by default it is a timestamp.
  ASSERT_TRUE(LookUpTypeName(u"VK_TIME", 0, e));
  EXPECT_EQ(e.sql_type, SQL_TYPE_TIMESTAMP);
  EXPECT_EQ(e.column_size, 16);
  ASSERT_TRUE(LookUpTypeName(u"VK_TIME", SQL_TYPE_DATE, e));
  EXPECT_EQ(e.sql_type, SQL_TYPE_DATE);
  EXPECT_EQ(e.column_size, 6);
  // The name exists only with other types: its first row answers.
  ASSERT_TRUE(LookUpTypeName(u"VK_TIME", SQL_INTEGER, e));
  EXPECT_EQ(e.sql_type, SQL_TYPE_TIMESTAMP);
  EXPECT_EQ(e.column_size, 16);
  ASSERT_TRUE(LookUpTypeName(u"VK_TEXT", SQL_CHAR, e));
  EXPECT_EQ(e.sql_type, SQL_CHAR);
  ASSERT_TRUE(LookUpTypeName(u"VK_TEXT", 0, e));
  EXPECT_EQ(e.sql_type, SQL_WCHAR);
}

TEST(TypeNameLookup, NamesCompareBlindToCaseAndFailuresLeaveTheAnswer) {
  TypeNameEntry e{0, 0};
  ASSERT_TRUE(LookUpTypeName(u"double precision", 0, e));
  EXPECT_EQ(e.sql_type, SQL_DOUBLE);
  EXPECT_EQ(e.column_size, 8);
  ASSERT_TRUE(LookUpTypeName(u"vk_blob_obj", 0, e));
  EXPECT_EQ(e.sql_type, SQL_BINARY);
  EXPECT_EQ(e.column_size, 2147483647);
  e = {123, 456};
  EXPECT_FALSE(LookUpTypeName(u"VK_NOTHING", 0, e));
  EXPECT_FALSE(LookUpTypeName(u"VK_TIM", SQL_TYPE_DATE, e));
  EXPECT_EQ(e.sql_type, 123);
  EXPECT_EQ(e.column_size, 456);
}

TEST(TypeNameLookup, EmptyNameTakesTheFirstRowOfTheWantedType) {
  TypeNameEntry e{0, 0};
  ASSERT_TRUE(LookUpTypeName(u"", SQL_BIGINT, e));
  EXPECT_EQ(e.column_size, 8);
  ASSERT_TRUE(LookUpTypeName(u"", SQL_TYPE_TIME, e));
  EXPECT_EQ(e.column_size, 6);
  e = {7, 7};
  EXPECT_FALSE(LookUpTypeName(u"", SQL_VARCHAR, e));
  EXPECT_EQ(e.sql_type, 7);
}

TEST(SqlTypeNames, ColumnTypeNames) {
  EXPECT_EQ(SqlTypeName(SQL_WCHAR), u"CLOB");
  EXPECT_EQ(SqlTypeName(SQL_CHAR), u"CLOB");
  EXPECT_EQ(SqlTypeName(SQL_NUMERIC), u"DOUBLE PRECISION");
  EXPECT_EQ(SqlTypeName(SQL_GUID), u"UUID");
  EXPECT_EQ(SqlTypeName(SQL_TYPE_DATE), u"TIMESTAMP");
  EXPECT_EQ(SqlTypeName(SQL_TYPE_TIME), u"INTERVAL");
  EXPECT_EQ(SqlTypeName(SQL_BIGINT), u"INT64");
  EXPECT_TRUE(SqlTypeName(99).empty());
  EXPECT_TRUE(SqlTypeName(SQL_VARCHAR).empty());
}

TEST(Sizes, FixedSizesComeFromTheKindNameEntry) {
  EXPECT_EQ(FixedSize(SQL_TYPE_TIMESTAMP), 16);
  EXPECT_EQ(FixedSize(SQL_TYPE_DATE), 6);
  EXPECT_EQ(FixedSize(SQL_TYPE_TIME), 6);
  EXPECT_EQ(FixedSize(110), 28);
  EXPECT_EQ(FixedSize(SQL_WCHAR), 32767);
  EXPECT_EQ(FixedSize(SQL_CHAR), 32767);
  EXPECT_EQ(FixedSize(SQL_INTEGER), 4);
  EXPECT_EQ(FixedSize(SQL_GUID), 16);
  // VK_FLOAT answers with its only row, the double.
  EXPECT_EQ(FixedSize(SQL_NUMERIC), 8);
  EXPECT_EQ(FixedSize(99), 0);  // VK_UNKNOWN is not in the table
  EXPECT_EQ(FixedSize(0), 0);
}

TEST(Sizes, FixedBufferSizesMatchTheCStructures) {
  EXPECT_EQ(FixedBufferSize(SQL_C_GUID, 3), static_cast<int64_t>(sizeof(SQLGUID)));
  EXPECT_EQ(FixedBufferSize(SQL_C_TYPE_TIMESTAMP, 3),
            static_cast<int64_t>(sizeof(SQL_TIMESTAMP_STRUCT)));
  EXPECT_EQ(FixedBufferSize(SQL_C_TYPE_DATE, 3), static_cast<int64_t>(sizeof(SQL_DATE_STRUCT)));
  EXPECT_EQ(FixedBufferSize(SQL_C_TYPE_TIME, 3), static_cast<int64_t>(sizeof(SQL_TIME_STRUCT)));
  EXPECT_EQ(FixedBufferSize(SQL_C_NUMERIC, 3), static_cast<int64_t>(sizeof(SQL_NUMERIC_STRUCT)));
  EXPECT_EQ(FixedBufferSize(110, 3), 28);
  EXPECT_EQ(FixedBufferSize(SQL_C_DOUBLE, 3), 8);
  EXPECT_EQ(FixedBufferSize(SQL_BIGINT, 3), 8);
  EXPECT_EQ(FixedBufferSize(SQL_C_LONG, 3), 4);
  EXPECT_EQ(FixedBufferSize(SQL_REAL, 3), 4);
  EXPECT_EQ(FixedBufferSize(SQL_C_SHORT, 3), 2);
  EXPECT_EQ(FixedBufferSize(SQL_C_BIT, 3), 1);
  EXPECT_EQ(FixedBufferSize(SQL_C_TINYINT, 3), 1);
  EXPECT_EQ(FixedBufferSize(SQL_C_WCHAR, 300), 300);
  EXPECT_EQ(FixedBufferSize(SQL_C_BINARY, 17), 17);
  EXPECT_EQ(FixedBufferSize(SQL_C_CHAR, 0), 0);
}

TEST(Sizes, ColumnSizeRule) {
  EXPECT_EQ(ColumnSize(SQL_WCHAR, false), 32767);
  EXPECT_EQ(ColumnSize(SQL_CHAR, true), 2147483647);
  EXPECT_EQ(ColumnSize(SQL_INTEGER, true), 11);
  EXPECT_EQ(ColumnSize(SQL_GUID, false), 32);
  EXPECT_EQ(ColumnSize(SQL_BIT, false), 5);
  EXPECT_EQ(ColumnSize(SQL_TINYINT, false), 4);
  EXPECT_EQ(ColumnSize(SQL_BIGINT, false), 20);
  EXPECT_EQ(ColumnSize(SQL_NUMERIC, false), 10);
  EXPECT_EQ(ColumnSize(SQL_TYPE_DATE, false), 10);
  EXPECT_EQ(ColumnSize(110, false), 10);
  EXPECT_EQ(ColumnSize(SQL_SMALLINT, false), 6);
  EXPECT_EQ(ColumnSize(SQL_REAL, false), 7);
  EXPECT_EQ(ColumnSize(SQL_DOUBLE, false), 15);
  EXPECT_EQ(ColumnSize(SQL_TYPE_TIME, false), 8);
  EXPECT_EQ(ColumnSize(SQL_TYPE_TIMESTAMP, false), 23);  // with milliseconds
  EXPECT_EQ(ColumnSize(SQL_BINARY, false), 0);
}

}  // namespace
