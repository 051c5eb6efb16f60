// SQLGetTypeInfoW through the exported function: the rows in their
// order, the row chosen for a requested type, the refused and the rowless
// types, and the open-query width of the text types.
#include <gtest/gtest.h>

#include "tests/catalog/catalog_fixture.h"

namespace kestrion_test {
namespace {

class GetTypeInfoTest : public SampleServerTest {};

TEST_F(GetTypeInfoTest, AllTypesInTableOrder) {
  ASSERT_EQ(SQLGetTypeInfoW(stmt, SQL_ALL_TYPES), SQL_SUCCESS) << StatementDiagnostics();
  ASSERT_EQ(ColumnCount(), 19);
  EXPECT_EQ(ColumnName(1), "TYPE_NAME");
  EXPECT_EQ(ColumnName(19), "INTERVAL_PRECISION");
  SQLLEN count = 0;
  ASSERT_EQ(SQLRowCount(stmt, &count), SQL_SUCCESS);
  EXPECT_EQ(count, 22);
  const Rows rows = FetchAll();
  ASSERT_EQ(rows.size(), 22u);
  EXPECT_EQ(Texts(rows, 2),
            (std::vector<std::string>{"-7", "1", "12", "-1", "-8", "-9", "-10", "-6", "5", "4", "-11",
                                      "-5", "7", "8", "2", "-2", "-3", "-4", "91", "92", "93",
                                      "110"}));
  EXPECT_EQ(rows[1][0], "TEXT");
  EXPECT_EQ(rows[1][2], "32767");
  EXPECT_EQ(rows[1][3], "'");
  EXPECT_FALSE(rows[0][3]);
  EXPECT_FALSE(rows[0][5]);  // CREATE_PARAMS
  EXPECT_EQ(rows[2][0], "VARCHAR");
  EXPECT_EQ(rows[2][5], "max length");
  EXPECT_EQ(rows[15][2], "0");  // BINARY has no size
  EXPECT_EQ(rows[16][0], "VARBINARY");
  EXPECT_EQ(rows[16][2], "2147483647");
  EXPECT_EQ(rows[18][15], "9");
  EXPECT_EQ(rows[18][16], "1");
  EXPECT_EQ(rows[20][2], "23");  // a timestamp with milliseconds
  EXPECT_EQ(rows[20][14], "3");  // MAXIMUM_SCALE
  EXPECT_EQ(rows[20][16], "3");
  EXPECT_EQ(rows[21][16], "2");
  EXPECT_EQ(rows[13][12], "DOUBLE PRECISION");  // LOCAL_TYPE_NAME
}

TEST_F(GetTypeInfoTest, OneTypeFoldedToItsRow) {
  for (SQLSMALLINT type : {SQL_DOUBLE, SQL_NUMERIC, SQL_DECIMAL}) {
    ASSERT_EQ(SQLGetTypeInfoW(stmt, type), SQL_SUCCESS);
    const Rows rows = FetchAll();
    ASSERT_EQ(rows.size(), 1u) << type;
    EXPECT_EQ(rows[0][0], "DOUBLE PRECISION");
  }
  ASSERT_EQ(SQLGetTypeInfoW(stmt, SQL_TYPE_DATE), SQL_SUCCESS);
  const Rows date = FetchAll();
  ASSERT_EQ(date.size(), 1u);
  EXPECT_EQ(date[0][0], "TIMESTAMP");
  EXPECT_EQ(date[0][15], "9");
  EXPECT_EQ(date[0][16], "1");
}

TEST_F(GetTypeInfoTest, TextAndBinaryTypesAnswerTheirOwnRow) {
  const struct {
    SQLSMALLINT type;
    const char* name;
  } cases[] = {{SQL_VARCHAR, "VARCHAR"},  {SQL_LONGVARCHAR, "TEXT"},       {SQL_WVARCHAR, "NVARCHAR"},
               {SQL_WLONGVARCHAR, "NTEXT"}, {SQL_VARBINARY, "VARBINARY"}, {SQL_LONGVARBINARY, "BLOB"}};
  for (const auto& c : cases) {
    ASSERT_EQ(SQLGetTypeInfoW(stmt, c.type), SQL_SUCCESS) << c.type;
    const Rows rows = FetchAll();
    ASSERT_EQ(rows.size(), 1u) << c.type;
    EXPECT_EQ(rows[0][0], c.name);
    EXPECT_EQ(rows[0][1], std::to_string(c.type));
  }
}

TEST_F(GetTypeInfoTest, UnknownTypeRefusedAndRowlessClassEmpty) {
  EXPECT_EQ(SQLGetTypeInfoW(stmt, 42), SQL_ERROR);
  EXPECT_NE(StatementDiagnostics().find("HY004"), std::string::npos);
  // SQL_C_DEFAULT folds to a class that has no row: an empty, described result.
  ASSERT_EQ(SQLGetTypeInfoW(stmt, SQL_C_DEFAULT), SQL_SUCCESS);
  EXPECT_EQ(ColumnCount(), 19);
  EXPECT_EQ(SQLFetch(stmt), SQL_NO_DATA);
}

TEST_F(GetTypeInfoTest, OpenQueryWidensText) {
  Open(Server(), ";OpenQuery=true");
  ASSERT_EQ(SQLGetTypeInfoW(stmt, SQL_WCHAR), SQL_SUCCESS);
  EXPECT_EQ(FetchAll().at(0).at(2), "2147483647");
}

}  // namespace
}  // namespace kestrion_test
