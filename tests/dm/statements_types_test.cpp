// Types as clients discover and use them through the Driver Manager:
// timestamps keep their time of day and milliseconds (description, default
// C type, parameters and the catalog agree), the text and binary types that
// SQLGetTypeInfoW offers create working columns, and SQLTablesW answers the
// enumeration of table types.
#include <map>
#include <vector>

#include "tests/dm/statements_fixture.h"

namespace kestrion_dm {
namespace {

class TypesTest : public StatementsTest {
 protected:
  // The text of column `column` of the current row; "NULL" for SQL NULL.
  static std::string Text(SQLHSTMT stmt, SQLUSMALLINT column) {
    char buffer[256] = {};
    SQLLEN ind = 0;
    EXPECT_TRUE(SQL_SUCCEEDED(SQLGetData(stmt, column, SQL_C_CHAR, buffer, sizeof buffer, &ind)))
        << Diagnostics(SQL_HANDLE_STMT, stmt);
    return ind == SQL_NULL_DATA ? "NULL" : std::string(buffer);
  }
  // Every row of the current result, columns 1..n as text.
  static std::vector<std::vector<std::string>> AllRows(SQLHSTMT stmt) {
    SQLSMALLINT columns = 0;
    SQLNumResultCols(stmt, &columns);
    std::vector<std::vector<std::string>> rows;
    while (SQL_SUCCEEDED(SQLFetch(stmt))) {
      std::vector<std::string> row;
      for (SQLSMALLINT c = 1; c <= columns; ++c) row.push_back(Text(stmt, c));
      rows.push_back(std::move(row));
    }
    return rows;
  }
};

TEST_F(TypesTest, TimestampsKeepTheirTimeOfDayAndMilliseconds) {
  const std::string table = TableName("stamps");
  Run("CREATE TABLE " + table + " (n INTEGER, dt DATETIME, ts TIMESTAMP, d2 DATETIME2(3))");
  SQLHSTMT stmt = NewStatement();
  std::u16string insert = Utf16("INSERT INTO " + table + " VALUES (?, ?, ?, ?)");
  STMT_OK(SQLPrepareW(stmt, Wide(insert), SQL_NTS));
  // The markers of the timestamp columns are described as timestamps.
  for (SQLUSMALLINT p = 2; p <= 4; ++p) {
    SQLSMALLINT type = 0, digits = -1, nullable = 0;
    SQLULEN size = 0;
    STMT_OK(SQLDescribeParam(stmt, p, &type, &size, &digits, &nullable));
    EXPECT_EQ(type, SQL_TYPE_TIMESTAMP) << p;
    EXPECT_EQ(size, 23u) << p;
    EXPECT_EQ(digits, 3) << p;
  }
  SQLINTEGER n = 1;
  SQL_TIMESTAMP_STRUCT in{2007, 1, 15, 3, 4, 5, 678000000};
  STMT_OK(SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &n, 0, nullptr));
  for (SQLUSMALLINT p = 2; p <= 4; ++p) {
    STMT_OK(SQLBindParameter(stmt, p, SQL_PARAM_INPUT, SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, 23, 3,
                             &in, sizeof in, nullptr));
  }
  STMT_OK(SQLExecute(stmt));
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);

  stmt = NewStatement();
  ASSERT_TRUE(ExecDirect(stmt, "SELECT dt, ts, d2 FROM " + table));
  for (SQLUSMALLINT c = 1; c <= 3; ++c) {
    SQLSMALLINT type = 0, digits = -1;
    SQLULEN size = 0;
    STMT_OK(SQLDescribeColW(stmt, c, nullptr, 0, nullptr, &type, &size, &digits, nullptr));
    EXPECT_EQ(type, SQL_TYPE_TIMESTAMP) << c;
    EXPECT_EQ(size, 23u) << c;
    EXPECT_EQ(digits, 3) << c;
  }
  // SQL_C_DEFAULT follows the description: a whole timestamp structure.
  SQL_TIMESTAMP_STRUCT out[3] = {};
  SQLLEN ind[3] = {};
  for (SQLUSMALLINT c = 1; c <= 3; ++c) {
    STMT_OK(SQLBindCol(stmt, c, SQL_C_DEFAULT, &out[c - 1], sizeof out[c - 1], &ind[c - 1]));
  }
  STMT_OK(SQLFetch(stmt));
  for (int c = 0; c < 3; ++c) {
    SCOPED_TRACE(testing::Message() << "column " << c + 1);
    EXPECT_EQ(ind[c], static_cast<SQLLEN>(sizeof(SQL_TIMESTAMP_STRUCT)));
    EXPECT_EQ(out[c].year, 2007);
    EXPECT_EQ(out[c].month, 1);
    EXPECT_EQ(out[c].day, 15);
    EXPECT_EQ(out[c].hour, 3);
    EXPECT_EQ(out[c].minute, 4);
    EXPECT_EQ(out[c].second, 5);
    EXPECT_EQ(out[c].fraction, 678000000u);
  }
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);

  // The catalog describes the column as the result does.
  stmt = NewStatement();
  std::u16string name = Utf16(table);
  STMT_OK(SQLColumnsW(stmt, nullptr, 0, nullptr, 0, Wide(name), SQL_NTS, nullptr, 0));
  const auto rows = AllRows(stmt);
  ASSERT_EQ(rows.size(), 4u);
  for (std::size_t r = 1; r < 4; ++r) {
    EXPECT_EQ(rows[r][5], "TIMESTAMP");
    EXPECT_EQ(rows[r][6], "23");  // COLUMN_SIZE
    EXPECT_EQ(rows[r][8], "3");   // DECIMAL_DIGITS
  }
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
}

TEST_F(TypesTest, TypeInfoOffersTextAndBinaryTypesThatCreateColumns) {
  // Build a table the way DDL tools do: TYPE_NAME, with "(COLUMN_SIZE)"
  // when CREATE_PARAMS asks for a length.
  const SQLSMALLINT wanted[] = {SQL_VARCHAR,      SQL_LONGVARCHAR, SQL_WVARCHAR,
                                SQL_WLONGVARCHAR, SQL_VARBINARY,   SQL_LONGVARBINARY};
  std::string columns;
  int index = 0;
  for (SQLSMALLINT type : wanted) {
    SQLHSTMT stmt = NewStatement();
    STMT_OK(SQLGetTypeInfoW(stmt, type));
    const auto rows = AllRows(stmt);
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    ASSERT_EQ(rows.size(), 1u) << type;
    EXPECT_EQ(rows[0][1], std::to_string(type));
    if (!columns.empty()) columns += ", ";
    columns += "c" + std::to_string(index++) + " " + rows[0][0];
    if (rows[0][5] != "NULL") columns += "(" + rows[0][2] + ")";
  }
  const std::string table = TableName("ddl");
  Run("CREATE TABLE " + table + " (" + columns + ")");
  Run("INSERT INTO " + table + " VALUES ('a', 'b', 'c', 'd', x'0102', x'03')");
  SQLHSTMT stmt = NewStatement();
  ASSERT_TRUE(ExecDirect(stmt, "SELECT * FROM " + table));
  // The long types come back long: the server declares TEXT unbounded.
  const SQLSMALLINT described[] = {SQL_WCHAR,        SQL_WLONGVARCHAR,  SQL_WCHAR,
                                   SQL_WLONGVARCHAR, SQL_LONGVARBINARY, SQL_LONGVARBINARY};
  for (SQLUSMALLINT c = 1; c <= 6; ++c) {
    SQLSMALLINT type = 0;
    STMT_OK(SQLDescribeColW(stmt, c, nullptr, 0, nullptr, &type, nullptr, nullptr, nullptr));
    EXPECT_EQ(type, described[c - 1]) << c;
  }
  const auto rows = AllRows(stmt);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"a", "b", "c", "d", "0102", "03"}));
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
}

TEST_F(TypesTest, TableTypesEnumeration) {
  SQLHSTMT stmt = NewStatement();
  std::u16string empty, percent = u"%";
  STMT_OK(SQLTablesW(stmt, Wide(empty), SQL_NTS, Wide(empty), SQL_NTS, Wide(empty), SQL_NTS,
                     Wide(percent), SQL_NTS));
  EXPECT_EQ(AllRows(stmt), (std::vector<std::vector<std::string>>{
                               {"NULL", "NULL", "NULL", "TABLE", "NULL"},
                               {"NULL", "NULL", "NULL", "VIEW", "NULL"}}));
  SQLFreeStmt(stmt, SQL_CLOSE);
  STMT_OK(SQLTablesW(stmt, Wide(percent), SQL_NTS, Wide(empty), SQL_NTS, Wide(empty), SQL_NTS, nullptr, 0));
  EXPECT_TRUE(AllRows(stmt).empty());
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
}

}  // namespace
}  // namespace kestrion_dm
