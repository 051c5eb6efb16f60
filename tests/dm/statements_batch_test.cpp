// Batches and parameter description through the Driver Manager: a batch
// whose first result is a row set followed by update counts walked with
// SQLMoreResults, SQLNumParams and SQLDescribeParam after a prepare, and the
// parameter-count errors of SQLExecute.
#include "tests/dm/statements_fixture.h"

namespace kestrion_dm {
namespace {

class BatchTest : public StatementsTest {};

TEST_F(BatchTest, RowSetThenUpdateCountsThroughMoreResults) {
  const std::string table = TableName("batch");
  Run("CREATE TABLE " + table + " (id INTEGER, name VARCHAR(20))");
  Run("INSERT INTO " + table + " VALUES (1, 'a'), (2, 'b'), (3, 'c')");
  SQLHSTMT stmt = NewStatement();
  ASSERT_TRUE(ExecDirect(stmt, "SELECT id, name FROM " + table + " ORDER BY id; UPDATE " + table +
                                   " SET name = 'z' WHERE id >= 2; DELETE FROM " + table +
                                   " WHERE id = 1; INSERT INTO " + table + " VALUES (9, 'n')"));
  SQLSMALLINT cols = 0;
  STMT_OK(SQLNumResultCols(stmt, &cols));
  EXPECT_EQ(cols, 2);
  int rows = 0;
  SQLINTEGER id = 0;
  SQLLEN ind = 0;
  while (SQLFetch(stmt) == SQL_SUCCESS) {
    STMT_OK(SQLGetData(stmt, 1, SQL_C_SLONG, &id, 0, &ind));
    EXPECT_EQ(id, ++rows);
  }
  EXPECT_EQ(rows, 3);
  const SQLLEN want[] = {2, 1, 1};
  for (SQLLEN count_wanted : want) {
    SQLRETURN rc = SQLMoreResults(stmt);
    ASSERT_TRUE(SQL_SUCCEEDED(rc)) << rc << " " << Diagnostics(SQL_HANDLE_STMT, stmt);
    STMT_OK(SQLNumResultCols(stmt, &cols));
    EXPECT_EQ(cols, 0);
    SQLLEN count = -5;
    STMT_OK(SQLRowCount(stmt, &count));
    EXPECT_EQ(count, count_wanted);
  }
  EXPECT_EQ(SQLMoreResults(stmt), SQL_NO_DATA);
  // The statement is reusable afterwards and the batch did its work.
  ASSERT_TRUE(ExecDirect(stmt, "SELECT COUNT(*) FROM " + table + " WHERE name = 'z'"));
  STMT_OK(SQLFetch(stmt));
  STMT_OK(SQLGetData(stmt, 1, SQL_C_SLONG, &id, 0, &ind));
  EXPECT_EQ(id, 2);
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
}

TEST_F(BatchTest, LeavingABatchEarlyKeepsTheConnectionUsable) {
  const std::string table = TableName("batch");
  Run("CREATE TABLE " + table + " (id INTEGER)");
  SQLHSTMT stmt = NewStatement();
  ASSERT_TRUE(ExecDirect(stmt, "SELECT 1; INSERT INTO " + table + " VALUES (1); SELECT 2"));
  STMT_OK(SQLCloseCursor(stmt));  // the remaining results are dropped
  ASSERT_TRUE(ExecDirect(stmt, "SELECT 42"));
  SQLINTEGER v = 0;
  SQLLEN ind = 0;
  STMT_OK(SQLFetch(stmt));
  STMT_OK(SQLGetData(stmt, 1, SQL_C_SLONG, &v, 0, &ind));
  EXPECT_EQ(v, 42);
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
}

TEST_F(BatchTest, NumParamsAndDescribeParamAfterPrepare) {
  const std::string table = TableName("params");
  Run("CREATE TABLE " + table + " (id INTEGER, name VARCHAR(30), price DOUBLE, created TIMESTAMP)");
  SQLHSTMT stmt = NewStatement();
  // A marker inside quotes is text, not a parameter.
  std::u16string sql = Utf16("SELECT id FROM " + table +
                             " WHERE id = ? AND name = ? AND price > ? AND created < ? AND name <> '?'");
  STMT_OK(SQLPrepareW(stmt, Wide(sql), SQL_NTS));
  SQLSMALLINT n = 0;
  STMT_OK(SQLNumParams(stmt, &n));
  EXPECT_EQ(n, 4);
  SQLSMALLINT type = 0, digits = -1, nullable = -1;
  SQLULEN size = 0;
  STMT_OK(SQLDescribeParam(stmt, 1, &type, &size, &digits, &nullable));
  EXPECT_EQ(type, SQL_INTEGER);
  EXPECT_EQ(nullable, SQL_NULLABLE_UNKNOWN);
  STMT_OK(SQLDescribeParam(stmt, 2, &type, &size, &digits, &nullable));
  EXPECT_TRUE(type == SQL_WVARCHAR || type == SQL_WCHAR || type == SQL_VARCHAR) << type;
  STMT_OK(SQLDescribeParam(stmt, 3, &type, &size, &digits, &nullable));
  EXPECT_TRUE(type == SQL_DOUBLE || type == SQL_FLOAT) << type;
  STMT_OK(SQLDescribeParam(stmt, 4, &type, &size, &digits, &nullable));
  EXPECT_TRUE(type == SQL_TYPE_TIMESTAMP || type == SQL_TYPE_DATE) << type;
  EXPECT_EQ(SQLDescribeParam(stmt, 5, &type, &size, &digits, &nullable), SQL_ERROR);
  EXPECT_EQ(FirstState(SQL_HANDLE_STMT, stmt), "07009");
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);

  // A marker the server cannot place is described as text of unknown size.
  stmt = NewStatement();
  sql = Utf16("SELECT ? || 'x'");
  STMT_OK(SQLPrepareW(stmt, Wide(sql), SQL_NTS));
  STMT_OK(SQLNumParams(stmt, &n));
  EXPECT_EQ(n, 1);
  STMT_OK(SQLDescribeParam(stmt, 1, &type, &size, &digits, &nullable));
  EXPECT_EQ(type, SQL_WVARCHAR);
  EXPECT_EQ(size, 0u);
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
}

TEST_F(BatchTest, ExecuteWithTooFewParametersIsRefusedAndBindingAfterPrepareWorks) {
  const std::string table = TableName("params");
  Run("CREATE TABLE " + table + " (a INTEGER, b INTEGER)");
  SQLHSTMT stmt = NewStatement();
  std::u16string sql = Utf16("INSERT INTO " + table + " VALUES (?, ?)");
  STMT_OK(SQLPrepareW(stmt, Wide(sql), SQL_NTS));
  SQLINTEGER a = 7, b = 8;
  STMT_OK(SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &a, 0, nullptr));
  EXPECT_EQ(SQLExecute(stmt), SQL_ERROR);
  EXPECT_EQ(FirstState(SQL_HANDLE_STMT, stmt), "07002");
  STMT_OK(SQLBindParameter(stmt, 2, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &b, 0, nullptr));
  STMT_OK(SQLExecute(stmt));
  // Executed again with new values and one NULL.
  a = 70;
  SQLLEN null_ind = SQL_NULL_DATA;
  STMT_OK(SQLBindParameter(stmt, 2, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &b, 0, &null_ind));
  STMT_OK(SQLExecute(stmt));
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);

  stmt = NewStatement();
  ASSERT_TRUE(ExecDirect(stmt, "SELECT a, b FROM " + table + " ORDER BY a"));
  SQLINTEGER va = 0, vb = 0;
  SQLLEN ia = 0, ib = 0;
  STMT_OK(SQLBindCol(stmt, 1, SQL_C_SLONG, &va, 0, &ia));
  STMT_OK(SQLBindCol(stmt, 2, SQL_C_SLONG, &vb, 0, &ib));
  STMT_OK(SQLFetch(stmt));
  EXPECT_EQ(va, 7);
  EXPECT_EQ(vb, 8);
  STMT_OK(SQLFetch(stmt));
  EXPECT_EQ(va, 70);
  EXPECT_EQ(ib, SQL_NULL_DATA);
  EXPECT_EQ(SQLFetch(stmt), SQL_NO_DATA);
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
}

// A server error reaches the application with the server's text, and the
// statement and connection stay usable.
TEST_F(BatchTest, ServerErrorCarriesTheServersMessage) {
  SQLHSTMT stmt = NewStatement();
  std::u16string sql = Utf16("SELECT * FROM no_such_table_here");
  EXPECT_EQ(SQLExecDirectW(stmt, Wide(sql), SQL_NTS), SQL_ERROR);
  const std::string diag = Diagnostics(SQL_HANDLE_STMT, stmt);
  EXPECT_NE(diag.find("no_such_table_here"), std::string::npos) << diag;
  ASSERT_TRUE(ExecDirect(stmt, "SELECT 1"));
  EXPECT_EQ(SQLFetch(stmt), SQL_SUCCESS);
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
}

}  // namespace
}  // namespace kestrion_dm
