// SQLGetTypeInfoW through the exported function: the sixteen rows in their
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
  EXPECT_EQ(count, 16);
  const Rows rows = FetchAll();
  ASSERT_EQ(rows.size(), 16u);
  EXPECT_EQ(Texts(rows, 2), (std::vector<std::string>{"-7", "1", "-8", "-6", "5", "4", "-11", "-5", "7", "8",
                                                        "2", "-2", "91", "92", "93", "110"}));
  EXPECT_EQ(rows[1][0], "TEXT");
  EXPECT_EQ(rows[1][2], "32767");
  EXPECT_EQ(rows[1][3], "'");
  EXPECT_FALSE(rows[0][3]);
  EXPECT_FALSE(rows[0][5]);  // CREATE_PARAMS
  EXPECT_EQ(rows[11][2], "0");  // BINARY has no size
  EXPECT_EQ(rows[12][15], "9");
  EXPECT_EQ(rows[12][16], "1");
  EXPECT_EQ(rows[14][16], "3");
  EXPECT_EQ(rows[15][16], "2");
  EXPECT_EQ(rows[9][12], "DOUBLE PRECISION");  // LOCAL_TYPE_NAME
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
  ASSERT_EQ(SQLGetTypeInfoW(stmt, SQL_VARCHAR), SQL_SUCCESS);
  EXPECT_EQ(FetchAll().at(0).at(1), "1");
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
