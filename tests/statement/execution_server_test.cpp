// Update counts, batches, transactions, parameters and long data against
// the development server.
#include <cstring>
#include <string>

#include "tests/statement/statement_fixture.h"

namespace kestrion_test {
namespace {

class ExecutionTest : public DevServerTest {
 protected:
  long long Count(const std::string& table) {
    SQLHSTMT s = h->NewStatement();
    EXPECT_EQ(ExecDirect(s, "SELECT COUNT(*) FROM " + table), SQL_SUCCESS)
        << Diagnostics(SQL_HANDLE_STMT, s);
    SQLBIGINT n = -1;
    SQLFetch(s);
    SQLGetData(s, 1, SQL_C_SBIGINT, &n, 0, nullptr);
    SQLFreeHandle(SQL_HANDLE_STMT, s);
    return n;
  }
  void Autocommit(bool on) {
    ASSERT_EQ(SQLSetConnectAttrW(h->dbc, SQL_ATTR_AUTOCOMMIT,
                                 reinterpret_cast<SQLPOINTER>(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF),
                                 0),
              SQL_SUCCESS)
        << Diagnostics(SQL_HANDLE_DBC, h->dbc);
  }
};

TEST_F(ExecutionTest, UpdateCountAndCursorState) {
  Run("CREATE TABLE u1 (a INTEGER)");
  Run("INSERT INTO u1 VALUES (1), (2), (3), (4), (5)");
  ASSERT_EQ(ExecDirect(stmt, "UPDATE u1 SET a = a + 1"), SQL_SUCCESS);
  SQLLEN count = 0;
  SQLRowCount(stmt, &count);
  EXPECT_EQ(count, 5);
  SQLSMALLINT columns = -1;
  SQLNumResultCols(stmt, &columns);
  EXPECT_EQ(columns, 0);
  EXPECT_EQ(SQLMoreResults(stmt), SQL_NO_DATA);

  SQLHSTMT fresh = h->NewStatement();
  EXPECT_EQ(SQLCloseCursor(fresh), SQL_ERROR);
  EXPECT_TRUE(HasState(SQL_HANDLE_STMT, fresh, "24000"));
  ASSERT_EQ(Prepare(fresh, "SELECT a FROM u1"), SQL_SUCCESS);
  EXPECT_EQ(SQLCloseCursor(fresh), SQL_SUCCESS);
  EXPECT_EQ(SQLCloseCursor(fresh), SQL_ERROR);
}

TEST_F(ExecutionTest, BatchWithRowsThenUpdateCounts) {
  Run("CREATE TABLE b1 (a INTEGER)");
  Run("INSERT INTO b1 VALUES (1), (2), (3)");
  ASSERT_EQ(ExecDirect(stmt, "SELECT a FROM b1 ORDER BY a; UPDATE b1 SET a = a * 10 WHERE a < 3; "
                             "DELETE FROM b1 WHERE a = 3"),
            SQL_SUCCESS)
      << Diagnostics(SQL_HANDLE_STMT, stmt);
  SQLLEN count = 0;
  SQLRowCount(stmt, &count);
  EXPECT_EQ(count, 3);
  const auto rows = AllRows(stmt);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[2][0], "3");
  ASSERT_EQ(SQLMoreResults(stmt), SQL_SUCCESS) << Diagnostics(SQL_HANDLE_STMT, stmt);
  SQLRowCount(stmt, &count);
  EXPECT_EQ(count, 2);
  ASSERT_EQ(SQLMoreResults(stmt), SQL_SUCCESS);
  SQLRowCount(stmt, &count);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(SQLMoreResults(stmt), SQL_NO_DATA);
  // The link is still in step.
  EXPECT_EQ(Count("b1"), 2);
}

TEST_F(ExecutionTest, BatchWithASecondRowSetFetchesItsPages) {
  Run("CREATE TABLE b2 (a INTEGER)");
  Run("INSERT INTO b2 WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 150) "
      "SELECT x FROM c");
  ASSERT_EQ(ExecDirect(stmt, "SELECT 1; SELECT a FROM b2 ORDER BY a"), SQL_SUCCESS)
      << Diagnostics(SQL_HANDLE_STMT, stmt);
  EXPECT_EQ(AllRows(stmt).size(), 1u);
  ASSERT_EQ(SQLMoreResults(stmt), SQL_SUCCESS) << Diagnostics(SQL_HANDLE_STMT, stmt);
  const auto rows = AllRows(stmt);
  ASSERT_EQ(rows.size(), 150u) << Diagnostics(SQL_HANDLE_STMT, stmt);
  EXPECT_EQ(rows[149][0], "150");
}

TEST_F(ExecutionTest, RollbackUndoesWithAutocommitOff) {
  Run("CREATE TABLE tx1 (a INTEGER)");
  Autocommit(false);
  ASSERT_EQ(ExecDirect(stmt, "INSERT INTO tx1 VALUES (1)"), SQL_SUCCESS)
      << Diagnostics(SQL_HANDLE_STMT, stmt);
  EXPECT_EQ(Count("tx1"), 1);
  ASSERT_EQ(SQLEndTran(SQL_HANDLE_DBC, h->dbc, SQL_ROLLBACK), SQL_SUCCESS)
      << Diagnostics(SQL_HANDLE_DBC, h->dbc);
  EXPECT_EQ(Count("tx1"), 0);
  ASSERT_EQ(ExecDirect(stmt, "INSERT INTO tx1 VALUES (2)"), SQL_SUCCESS);
  ASSERT_EQ(SQLEndTran(SQL_HANDLE_ENV, h->env, SQL_COMMIT), SQL_SUCCESS)
      << Diagnostics(SQL_HANDLE_ENV, h->env);
  ASSERT_EQ(ExecDirect(stmt, "INSERT INTO tx1 VALUES (3)"), SQL_SUCCESS);
  ASSERT_EQ(SQLEndTran(SQL_HANDLE_DBC, h->dbc, SQL_ROLLBACK), SQL_SUCCESS);
  EXPECT_EQ(Count("tx1"), 1);
}

TEST_F(ExecutionTest, CommitOnAConnectionWithoutStatements) {
  Run("CREATE TABLE tx2 (a INTEGER)");
  Autocommit(false);
  ASSERT_EQ(ExecDirect(stmt, "INSERT INTO tx2 VALUES (1)"), SQL_SUCCESS);
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  stmt = nullptr;
  ASSERT_EQ(SQLEndTran(SQL_HANDLE_DBC, h->dbc, SQL_COMMIT), SQL_SUCCESS)
      << Diagnostics(SQL_HANDLE_DBC, h->dbc);
  // A second connection sees the row only when it was committed.
  OdbcHandles other;
  ASSERT_TRUE(SQL_SUCCEEDED(other.Connect(server_->port())));
  SQLHSTMT s = other.NewStatement();
  ASSERT_EQ(ExecDirect(s, "SELECT COUNT(*) FROM tx2"), SQL_SUCCESS) << Diagnostics(SQL_HANDLE_STMT, s);
  SQLINTEGER n = 0;
  SQLFetch(s);
  SQLGetData(s, 1, SQL_C_SLONG, &n, 0, nullptr);
  EXPECT_EQ(n, 1);
  SQLDisconnect(other.dbc);
}

TEST_F(ExecutionTest, AutocommitOnCommitsTheOpenTransaction) {
  Run("CREATE TABLE tx3 (a INTEGER)");
  Autocommit(false);
  ASSERT_EQ(ExecDirect(stmt, "INSERT INTO tx3 VALUES (1)"), SQL_SUCCESS);
  Autocommit(true);
  ASSERT_EQ(SQLEndTran(SQL_HANDLE_DBC, h->dbc, SQL_ROLLBACK), SQL_SUCCESS);
  EXPECT_EQ(Count("tx3"), 1);
}

TEST_F(ExecutionTest, EndTranRefusesBadArguments) {
  EXPECT_EQ(SQLEndTran(SQL_HANDLE_DBC, h->dbc, 2), SQL_ERROR);
  EXPECT_TRUE(HasState(SQL_HANDLE_DBC, h->dbc, "HY012"));
  EXPECT_EQ(SQLEndTran(SQL_HANDLE_STMT, stmt, SQL_COMMIT), SQL_ERROR);
  EXPECT_TRUE(HasState(SQL_HANDLE_STMT, stmt, "HY092"));
}

TEST_F(ExecutionTest, DescribesParametersFromThePrepare) {
  Run("CREATE TABLE p1 (i INTEGER, s VARCHAR(10), d DATE)");
  ASSERT_EQ(Prepare(stmt, "SELECT i FROM p1 WHERE i = ? AND s = ? AND d = ? AND ? IS NULL"),
            SQL_SUCCESS)
      << Diagnostics(SQL_HANDLE_STMT, stmt);
  SQLSMALLINT type = 0, digits = -1, nullable = -1;
  SQLULEN size = 99;
  ASSERT_EQ(SQLDescribeParam(stmt, 1, &type, &size, &digits, &nullable), SQL_SUCCESS);
  EXPECT_EQ(type, SQL_INTEGER);
  EXPECT_EQ(nullable, SQL_NULLABLE_UNKNOWN);
  ASSERT_EQ(SQLDescribeParam(stmt, 2, &type, &size, &digits, &nullable), SQL_SUCCESS);
  EXPECT_EQ(type, SQL_WCHAR);
  EXPECT_EQ(size, 0u);
  ASSERT_EQ(SQLDescribeParam(stmt, 4, &type, &size, &digits, &nullable), SQL_SUCCESS);
  EXPECT_EQ(type, SQL_WVARCHAR);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(SQLDescribeParam(stmt, 5, &type, &size, &digits, &nullable), SQL_ERROR);
  EXPECT_TRUE(HasState(SQL_HANDLE_STMT, stmt, "07009"));
}

TEST_F(ExecutionTest, ExecuteWithTooFewParametersSendsNothing) {
  Run("CREATE TABLE p2 (i INTEGER, j INTEGER)");
  ASSERT_EQ(Prepare(stmt, "INSERT INTO p2 VALUES (?, ?)"), SQL_SUCCESS);
  SQLINTEGER i = 1;
  SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &i, 0, nullptr);
  EXPECT_EQ(SQLExecute(stmt), SQL_ERROR);
  EXPECT_TRUE(HasState(SQL_HANDLE_STMT, stmt, "07002"));
  EXPECT_EQ(Count("p2"), 0);
}

TEST_F(ExecutionTest, ParameterValuesFollowLengthAndIndicator) {
  Run("CREATE TABLE p3 (k INTEGER, s VARCHAR(20), b BLOB, big BIGINT)");
  ASSERT_EQ(Prepare(stmt, "INSERT INTO p3 VALUES (?, ?, ?, ?)"), SQL_SUCCESS);
  SQLINTEGER k = 0;
  char text[16] = "abcdef";
  unsigned char bytes[4] = {1, 2, 3, 4};
  SQLBIGINT big = 5000000000LL;
  SQLLEN text_len = 0, bytes_len = 0, big_ind = 0;
  SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &k, 0, nullptr);
  SQLBindParameter(stmt, 2, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 20, 0, text, sizeof text, &text_len);
  SQLBindParameter(stmt, 3, SQL_PARAM_INPUT, SQL_C_BINARY, SQL_VARBINARY, 4, 0, bytes, 4, &bytes_len);
  SQLBindParameter(stmt, 4, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 0, 0, &big, 0, &big_ind);
  struct Case {
    SQLLEN text_len, bytes_len, big_ind;
  };
  const Case cases[] = {{3, 2, 0}, {0, 0, SQL_NULL_DATA}, {SQL_NULL_DATA, SQL_NULL_DATA, 0}, {SQL_NTS, 4, 0}};
  for (int i = 0; i < 4; ++i) {
    k = i;
    text_len = cases[i].text_len;
    bytes_len = cases[i].bytes_len;
    big_ind = cases[i].big_ind;
    ASSERT_EQ(SQLExecute(stmt), SQL_SUCCESS) << i << Diagnostics(SQL_HANDLE_STMT, stmt);
  }
  SQLHSTMT q = h->NewStatement();
  ASSERT_EQ(ExecDirect(q, "SELECT s, b, big FROM p3 ORDER BY k"), SQL_SUCCESS);
  const auto rows = AllRows(q);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"abc", "0102", "5000000000"}));
  EXPECT_EQ(rows[1], (std::vector<std::string>{"", "", "NULL"}));
  EXPECT_EQ(rows[2], (std::vector<std::string>{"NULL", "NULL", "5000000000"}));
  EXPECT_EQ(rows[3], (std::vector<std::string>{"abcdef", "01020304", "5000000000"}));
}

TEST_F(ExecutionTest, DateIntoANumberIsRefused) {
  Run("CREATE TABLE d1 (d DATE)");
  ASSERT_EQ(Prepare(stmt, "INSERT INTO d1 VALUES (?)"), SQL_SUCCESS);
  SQL_DATE_STRUCT in{2024, 3, 1};
  SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_TYPE_DATE, SQL_TYPE_DATE, 10, 0, &in, 0, nullptr);
  ASSERT_EQ(SQLExecute(stmt), SQL_SUCCESS) << Diagnostics(SQL_HANDLE_STMT, stmt);
  SQLHSTMT q = h->NewStatement();
  ASSERT_EQ(ExecDirect(q, "SELECT d FROM d1"), SQL_SUCCESS) << Diagnostics(SQL_HANDLE_STMT, q);
  ASSERT_EQ(SQLFetch(q), SQL_SUCCESS);
  SQLINTEGER n = 0;
  EXPECT_EQ(SQLGetData(q, 1, SQL_C_SLONG, &n, 0, nullptr), SQL_ERROR);
  EXPECT_TRUE(HasState(SQL_HANDLE_STMT, q, "07006"));
  SQL_DATE_STRUCT date{};
  ASSERT_EQ(SQLGetData(q, 1, SQL_C_TYPE_DATE, &date, 0, nullptr), SQL_SUCCESS)
      << Diagnostics(SQL_HANDLE_STMT, q);
  EXPECT_EQ(date.year, 2024);
  EXPECT_EQ(date.month, 3);
  EXPECT_EQ(date.day, 1);
}

TEST_F(ExecutionTest, LongTextThroughPutDataAndGetDataPieces) {
  Run("CREATE TABLE l1 (t TEXT, b BLOB)");
  const std::size_t chars = 5 * 1024 * 1024 / 2;
  std::u16string text(chars, u'x');
  for (std::size_t i = 0; i < chars; i += 997) text[i] = static_cast<char16_t>(u'a' + i % 26);
  text[7] = 0xD83D;  // a surrogate pair: non-BMP text
  text[8] = 0xDE00;
  std::vector<unsigned char> blob(5 * 1024 * 1024);
  for (std::size_t i = 0; i < blob.size(); ++i) blob[i] = static_cast<unsigned char>(i * 31);

  ASSERT_EQ(Prepare(stmt, "INSERT INTO l1 VALUES (?, ?)"), SQL_SUCCESS);
  SQLLEN text_ind = SQL_DATA_AT_EXEC, blob_ind = SQL_LEN_DATA_AT_EXEC(0);
  SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WLONGVARCHAR, 0, 0,
                   reinterpret_cast<SQLPOINTER>(1), 0, &text_ind);
  SQLBindParameter(stmt, 2, SQL_PARAM_INPUT, SQL_C_BINARY, SQL_LONGVARBINARY, 0, 0,
                   reinterpret_cast<SQLPOINTER>(2), 0, &blob_ind);
  ASSERT_EQ(SQLExecute(stmt), SQL_NEED_DATA) << Diagnostics(SQL_HANDLE_STMT, stmt);
  SQLPOINTER token = nullptr;
  ASSERT_EQ(SQLParamData(stmt, &token), SQL_NEED_DATA);
  EXPECT_EQ(token, reinterpret_cast<SQLPOINTER>(1));
  const std::size_t piece = 100000;
  for (std::size_t at = 0; at < chars; at += piece) {
    const std::size_t n = std::min(piece, chars - at);
    ASSERT_EQ(SQLPutData(stmt, text.data() + at, static_cast<SQLLEN>(n * 2)), SQL_SUCCESS);
  }
  ASSERT_EQ(SQLParamData(stmt, &token), SQL_NEED_DATA);
  EXPECT_EQ(token, reinterpret_cast<SQLPOINTER>(2));
  for (std::size_t at = 0; at < blob.size(); at += piece) {
    const std::size_t n = std::min(piece, blob.size() - at);
    ASSERT_EQ(SQLPutData(stmt, blob.data() + at, static_cast<SQLLEN>(n)), SQL_SUCCESS);
  }
  ASSERT_EQ(SQLParamData(stmt, &token), SQL_SUCCESS) << Diagnostics(SQL_HANDLE_STMT, stmt);
  // The application's marker is untouched, so the statement can run again.
  EXPECT_EQ(text_ind, SQL_DATA_AT_EXEC);
  EXPECT_EQ(SQLPutData(stmt, blob.data(), 1), SQL_SUCCESS_WITH_INFO);
  EXPECT_TRUE(HasState(SQL_HANDLE_STMT, stmt, "01000"));

  SQLHSTMT q = h->NewStatement();
  ASSERT_EQ(ExecDirect(q, "SELECT t, b FROM l1"), SQL_SUCCESS) << Diagnostics(SQL_HANDLE_STMT, q);
  ASSERT_EQ(SQLFetch(q), SQL_SUCCESS);
  std::u16string back;
  std::vector<SQLWCHAR> buffer(65536);
  SQLLEN ind = 0;
  SQLRETURN rc;
  while ((rc = SQLGetData(q, 1, SQL_C_WCHAR, buffer.data(), buffer.size() * 2, &ind)) != SQL_NO_DATA) {
    ASSERT_TRUE(SQL_SUCCEEDED(rc)) << Diagnostics(SQL_HANDLE_STMT, q);
    const std::size_t got = std::min<std::size_t>(static_cast<std::size_t>(ind) / 2, buffer.size() - 1);
    back.append(reinterpret_cast<char16_t*>(buffer.data()), got);
  }
  EXPECT_TRUE(back == text);
  std::vector<unsigned char> bytes_back;
  std::vector<unsigned char> chunk(70000);
  while ((rc = SQLGetData(q, 2, SQL_C_BINARY, chunk.data(), chunk.size(), &ind)) != SQL_NO_DATA) {
    ASSERT_TRUE(SQL_SUCCEEDED(rc));
    bytes_back.insert(bytes_back.end(), chunk.begin(),
                      chunk.begin() + std::min<SQLLEN>(ind, static_cast<SQLLEN>(chunk.size())));
  }
  EXPECT_TRUE(bytes_back == blob);
}

}  // namespace
}  // namespace kestrion_test
