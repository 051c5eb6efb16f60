// The same statement traffic against a development server that announces its
// capabilities and against one started with --no-capabilities: the results
// are the same, only the requests on the wire differ.
#include <algorithm>

#include "tests/statement/statement_fixture.h"

namespace kestrion_test {
namespace {

int Count(const std::string& log, const std::string& what) {
  int n = 0;
  for (std::size_t at = log.find(what); at != std::string::npos; at = log.find(what, at + 1)) ++n;
  return n;
}

class Capabilities : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    std::vector<std::string> args = {"--log-level", "debug"};
    if (!GetParam()) args.push_back("--no-capabilities");
    server_ = std::make_unique<DevServer>(args);
    ASSERT_TRUE(server_->ok()) << server_->error();
    h = std::make_unique<OdbcHandles>();
    ASSERT_TRUE(SQL_SUCCEEDED(h->Connect(server_->port(), ";DefaultPageSize=10")))
        << Diagnostics(SQL_HANDLE_DBC, h->dbc);
    stmt = h->NewStatement();
  }
  void TearDown() override {
    if (stmt != nullptr) SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    if (h) SQLDisconnect(h->dbc);
    h.reset();
  }
  std::unique_ptr<DevServer> server_;
  std::unique_ptr<OdbcHandles> h;
  SQLHSTMT stmt = nullptr;
};

TEST_P(Capabilities, SameResultsFewerRequests) {
  ASSERT_EQ(ExecDirect(stmt, "CREATE TABLE t (id INTEGER PRIMARY KEY, v VARCHAR(20))"), SQL_SUCCESS)
      << Diagnostics(SQL_HANDLE_STMT, stmt);
  ASSERT_EQ(ExecDirect(stmt, "INSERT INTO t WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c "
                             "WHERE x < 25) SELECT x, 'v' || x FROM c"),
            SQL_SUCCESS);
  SQLFreeStmt(stmt, SQL_CLOSE);
  // Forward over three pages, then back to the first row.
  SQLINTEGER id = 0;
  SQLLEN ind = 0;
  SQLBindCol(stmt, 1, SQL_C_SLONG, &id, 0, &ind);
  for (int round = 0; round < 3; ++round) {
    ASSERT_EQ(ExecDirect(stmt, "SELECT id, v FROM t ORDER BY id"), SQL_SUCCESS) << Diagnostics(SQL_HANDLE_STMT, stmt);
    SQLSMALLINT columns = 0;
    SQLNumResultCols(stmt, &columns);
    EXPECT_EQ(columns, 2);
    int rows = 0;
    while (SQLFetch(stmt) == SQL_SUCCESS) EXPECT_EQ(id, ++rows);
    EXPECT_EQ(rows, 25);
    ASSERT_EQ(SQLFetchScroll(stmt, SQL_FETCH_FIRST, 0), SQL_SUCCESS);
    EXPECT_EQ(id, 1);
    ASSERT_EQ(SQLCloseCursor(stmt), SQL_SUCCESS);
  }
  // A prepared point select, executed and closed again and again.
  ASSERT_EQ(Prepare(stmt, "SELECT id, v FROM t WHERE id = ?"), SQL_SUCCESS);
  SQLINTEGER key = 0;
  SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &key, 0, nullptr);
  for (key = 1; key <= 20; ++key) {
    ASSERT_EQ(SQLExecute(stmt), SQL_SUCCESS) << Diagnostics(SQL_HANDLE_STMT, stmt);
    ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS);
    EXPECT_EQ(id, key);
    ASSERT_EQ(SQLFreeStmt(stmt, SQL_CLOSE), SQL_SUCCESS);
  }
  // A batch: the second result is fetched after the first was left.
  SQLFreeStmt(stmt, SQL_UNBIND);
  SQLFreeStmt(stmt, SQL_RESET_PARAMS);
  ASSERT_EQ(ExecDirect(stmt, "SELECT id FROM t WHERE id < 3; SELECT v FROM t WHERE id = 25"), SQL_SUCCESS);
  EXPECT_EQ(AllRows(stmt), (std::vector<std::vector<std::string>>{{"1"}, {"2"}}));
  ASSERT_EQ(SQLMoreResults(stmt), SQL_SUCCESS);
  EXPECT_EQ(AllRows(stmt), (std::vector<std::vector<std::string>>{{"v25"}}));
  EXPECT_EQ(SQLMoreResults(stmt), SQL_NO_DATA);
  // The catalog runs its own queries through the same path.
  SQLFreeStmt(stmt, SQL_CLOSE);
  ASSERT_EQ(SQLColumnsW(stmt, nullptr, 0, nullptr, 0, (SQLWCHAR*)u"t", SQL_NTS, nullptr, 0), SQL_SUCCESS)
      << Diagnostics(SQL_HANDLE_STMT, stmt);
  int columns = 0;
  while (SQLFetch(stmt) == SQL_SUCCESS) ++columns;
  EXPECT_EQ(columns, 2);
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  stmt = nullptr;
  SQLDisconnect(h->dbc);
  h.reset();
  server_->Stop();

  const std::string log = server_->Log();
  const int prepares = Count(log, " PREPARE-STATEMENT");
  const int closes = Count(log, " CLOSE-STATEMENT");
  if (GetParam()) {
    // Only SQLPrepareW asked for a description, and no result cost a close.
    EXPECT_EQ(prepares, 1) << log;
    EXPECT_EQ(closes, 0) << log;
  } else {
    // Every SQLExecDirectW and catalog query prepared; every kept result was
    // closed on its own (three scans, twenty point selects, the batch, the
    // catalog queries).
    EXPECT_GE(prepares, 8) << log;
    EXPECT_GE(closes, 24) << log;
  }
}

// Column types and sizes as clients size their buffers from them: numbers
// by precision, dates and GUIDs by the length of their text, byte strings as
// long data. Text is long only when the server declares it unbounded
// ("Column-Sizes"); a server that does not say describes all text alike.
TEST_P(Capabilities, ColumnTypesAndSizes) {
  ASSERT_EQ(ExecDirect(stmt, "CREATE TABLE k (bo BOOLEAN, ti TINYINT, sm SMALLINT, i INTEGER, bi BIGINT, "
                             "r REAL, f DOUBLE, d DATE, tm TIME, ts TIMESTAMP, g UUID, v VARCHAR(10), "
                             "t TEXT, b BLOB)"),
            SQL_SUCCESS)
      << Diagnostics(SQL_HANDLE_STMT, stmt);
  const std::string long_text(40000, 'x');
  ASSERT_EQ(ExecDirect(stmt, "INSERT INTO k (v, t, b) VALUES ('short', '" + long_text + "', x'0102')"),
            SQL_SUCCESS);
  SQLFreeStmt(stmt, SQL_CLOSE);
  ASSERT_EQ(ExecDirect(stmt, "SELECT * FROM k"), SQL_SUCCESS) << Diagnostics(SQL_HANDLE_STMT, stmt);
  const bool announced = GetParam();
  const struct {
    SQLSMALLINT type;
    SQLULEN size;
  } expected[] = {
      {SQL_BIT, 1},
      {SQL_TINYINT, 3},
      {SQL_SMALLINT, 5},
      {SQL_INTEGER, 10},
      {SQL_BIGINT, 19},
      {SQL_DOUBLE, 15},
      {SQL_DOUBLE, 15},
      {SQL_TYPE_TIMESTAMP, 23},
      {SQL_TYPE_TIME, 8},
      {SQL_TYPE_TIMESTAMP, 23},
      {SQL_GUID, 36},
      {SQL_WCHAR, 32767},
      // Otherwise as large as the longest value of the first page.
      {static_cast<SQLSMALLINT>(announced ? SQL_WLONGVARCHAR : SQL_WCHAR), announced ? 2147483647u : 0u},
      {SQL_LONGVARBINARY, 2147483647},
  };
  for (SQLUSMALLINT c = 1; c <= 14; ++c) {
    SQLSMALLINT type = 0;
    SQLULEN size = 0;
    ASSERT_EQ(SQLDescribeColW(stmt, c, nullptr, 0, nullptr, &type, &size, nullptr, nullptr), SQL_SUCCESS);
    EXPECT_EQ(type, expected[c - 1].type) << "column " << c;
    if (expected[c - 1].size == 0) {
      EXPECT_GE(size, long_text.size()) << "column " << c;
    } else {
      EXPECT_EQ(size, expected[c - 1].size) << "column " << c;
    }
  }
  // SQLColAttributeW answers the narrow text types, long ones for long data.
  SQLLEN concise = 0;
  ASSERT_EQ(SQLColAttributeW(stmt, 13, SQL_DESC_CONCISE_TYPE, nullptr, 0, nullptr, &concise), SQL_SUCCESS);
  EXPECT_EQ(concise, announced ? SQL_LONGVARCHAR : SQL_CHAR);
  ASSERT_EQ(SQLColAttributeW(stmt, 14, SQL_DESC_CONCISE_TYPE, nullptr, 0, nullptr, &concise), SQL_SUCCESS);
  EXPECT_EQ(concise, SQL_LONGVARBINARY);
  // The long text reads whole, in pieces.
  ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS);
  std::string read;
  char piece[4096];
  SQLLEN ind = 0;
  SQLRETURN rc;
  while ((rc = SQLGetData(stmt, 13, SQL_C_CHAR, piece, sizeof piece, &ind)) != SQL_NO_DATA) {
    ASSERT_TRUE(SQL_SUCCEEDED(rc)) << Diagnostics(SQL_HANDLE_STMT, stmt);
    read += piece;
  }
  EXPECT_EQ(read, long_text);
  // The catalog reports the long columns as results describe them.
  SQLFreeStmt(stmt, SQL_CLOSE);
  ASSERT_EQ(SQLColumnsW(stmt, nullptr, 0, nullptr, 0, (SQLWCHAR*)u"k", SQL_NTS, nullptr, 0), SQL_SUCCESS);
  const auto rows = AllRows(stmt);
  ASSERT_EQ(rows.size(), 14u);
  EXPECT_EQ(rows[11][4], std::to_string(SQL_CHAR));
  EXPECT_EQ(rows[12][4], std::to_string(SQL_LONGVARCHAR));
  EXPECT_EQ(rows[13][4], std::to_string(SQL_LONGVARBINARY));
}

INSTANTIATE_TEST_SUITE_P(Server, Capabilities, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "Announced" : "None";
                         });

}  // namespace
}  // namespace kestrion_test
