// Paging, rowsets, binding and scrolling against the development server.
#include <cstring>

#include "tests/statement/statement_fixture.h"

namespace kestrion_test {
namespace {

class FetchTest : public DevServerTest {
 protected:
  void SetUp() override {
    DevServerTest::SetUp();
    if (HasFailure()) return;
    Run("CREATE TABLE IF NOT EXISTS n1000 (n INTEGER, label VARCHAR(20))");
    SQLHSTMT s = h->NewStatement();
    ExecDirect(s, "SELECT COUNT(*) FROM n1000");
    SQLINTEGER count = 0;
    SQLFetch(s);
    SQLGetData(s, 1, SQL_C_SLONG, &count, 0, nullptr);
    SQLFreeHandle(SQL_HANDLE_STMT, s);
    if (count == 0) {
      Run("INSERT INTO n1000 WITH RECURSIVE c(x) AS (SELECT 0 UNION ALL SELECT x + 1 FROM c "
          "WHERE x < 999) SELECT x, 'row ' || x FROM c");
    }
  }
  void SetRowsetSize(SQLULEN size) {
    ASSERT_EQ(SQLSetStmtAttrW(stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(size), 0),
              SQL_SUCCESS);
  }
  // Binds column 1 (n) to `values` column-wise and runs the query.
  void OpenNumbers(SQLINTEGER* values, SQLLEN* indicators) {
    ASSERT_EQ(SQLBindCol(stmt, 1, SQL_C_SLONG, values, 0, indicators), SQL_SUCCESS);
    ASSERT_EQ(ExecDirect(stmt, "SELECT n, label FROM n1000 ORDER BY n"), SQL_SUCCESS)
        << Diagnostics(SQL_HANDLE_STMT, stmt);
  }
};

TEST_F(FetchTest, ForwardScanOneRowAtATimeCrossesPages) {
  SQLINTEGER n = -1;
  SQLLEN ind = 0;
  OpenNumbers(&n, &ind);
  SQLLEN total = 0;
  SQLRowCount(stmt, &total);
  EXPECT_EQ(total, 1000);
  for (int i = 0; i < 1000; ++i) {
    ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS) << i << Diagnostics(SQL_HANDLE_STMT, stmt);
    ASSERT_EQ(n, i);
    EXPECT_EQ(ind, 4);
  }
  EXPECT_EQ(SQLFetch(stmt), SQL_NO_DATA);
  EXPECT_EQ(SQLFetch(stmt), SQL_NO_DATA);
}

TEST_F(FetchTest, ColumnWiseRowsetsWithStatusArrayAndRowsFetched) {
  SetRowsetSize(10);
  SQLINTEGER n[10];
  SQLLEN ind[10];
  SQLUSMALLINT status[10];
  SQLULEN fetched = 0;
  SQLSetStmtAttrW(stmt, SQL_ATTR_ROW_STATUS_PTR, status, 0);
  SQLSetStmtAttrW(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
  OpenNumbers(n, ind);
  for (int block = 0; block < 100; ++block) {
    ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS) << block;
    ASSERT_EQ(fetched, 10u);
    for (int i = 0; i < 10; ++i) {
      ASSERT_EQ(n[i], block * 10 + i);
      ASSERT_EQ(status[i], SQL_ROW_SUCCESS);
    }
  }
  EXPECT_EQ(SQLFetch(stmt), SQL_NO_DATA);
  EXPECT_EQ(fetched, 0u);
}

TEST_F(FetchTest, PartialLastRowsetLeavesNoRowEntries) {
  SetRowsetSize(10);
  SQLINTEGER n[10];
  SQLLEN ind[10];
  SQLUSMALLINT status[10];
  SQLULEN fetched = 0;
  SQLSetStmtAttrW(stmt, SQL_ATTR_ROW_STATUS_PTR, status, 0);
  SQLSetStmtAttrW(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
  ASSERT_EQ(SQLBindCol(stmt, 1, SQL_C_SLONG, n, 0, ind), SQL_SUCCESS);
  ASSERT_EQ(ExecDirect(stmt, "SELECT n FROM n1000 WHERE n < 95 ORDER BY n"), SQL_SUCCESS);
  for (int block = 0; block < 9; ++block) ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS);
  ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS);
  EXPECT_EQ(fetched, 5u);
  EXPECT_EQ(n[4], 94);
  EXPECT_EQ(status[4], SQL_ROW_SUCCESS);
  EXPECT_EQ(status[5], SQL_ROW_NOROW);
  EXPECT_EQ(status[9], SQL_ROW_NOROW);
  EXPECT_EQ(SQLFetch(stmt), SQL_NO_DATA);
}

TEST_F(FetchTest, RowWiseBindingWithBindOffset) {
  struct Row {
    SQLINTEGER n;
    SQLLEN n_ind;
    SQLCHAR label[16];
    SQLLEN label_ind;
  };
  Row rows[2][4] = {};
  SetRowsetSize(4);
  SQLSetStmtAttrW(stmt, SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(sizeof(Row)), 0);
  SQLLEN offset = 0;
  SQLSetStmtAttrW(stmt, SQL_ATTR_ROW_BIND_OFFSET_PTR, &offset, 0);
  ASSERT_EQ(SQLBindCol(stmt, 1, SQL_C_SLONG, &rows[0][0].n, 0, &rows[0][0].n_ind), SQL_SUCCESS);
  ASSERT_EQ(SQLBindCol(stmt, 2, SQL_C_CHAR, rows[0][0].label, 16, &rows[0][0].label_ind),
            SQL_SUCCESS);
  ASSERT_EQ(ExecDirect(stmt, "SELECT n, label FROM n1000 ORDER BY n"), SQL_SUCCESS);
  ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS);
  offset = sizeof rows[0];  // the second rowset goes to the second block
  ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(rows[0][i].n, i);
    EXPECT_EQ(rows[1][i].n, 4 + i);
    EXPECT_STREQ(reinterpret_cast<char*>(rows[1][i].label), ("row " + std::to_string(4 + i)).c_str());
    EXPECT_EQ(rows[1][i].label_ind, static_cast<SQLLEN>(std::strlen("row 4")));
  }
}

TEST_F(FetchTest, ScrollsInEveryDirection) {
  for (SQLULEN size : {1u, 10u}) {
    SCOPED_TRACE(size);
    SQLFreeStmt(stmt, SQL_CLOSE);
    SetRowsetSize(size);
    SQLINTEGER n[10];
    SQLLEN ind[10];
    OpenNumbers(n, ind);
    const SQLINTEGER last_start = static_cast<SQLINTEGER>(1000 - size);
    ASSERT_EQ(SQLFetchScroll(stmt, SQL_FETCH_LAST, 0), SQL_SUCCESS);
    EXPECT_EQ(n[0], last_start);
    ASSERT_EQ(SQLFetchScroll(stmt, SQL_FETCH_PRIOR, 0), SQL_SUCCESS);
    EXPECT_EQ(n[0], last_start - static_cast<SQLINTEGER>(size));
    ASSERT_EQ(SQLFetchScroll(stmt, SQL_FETCH_FIRST, 0), SQL_SUCCESS);
    EXPECT_EQ(n[0], 0);
    ASSERT_EQ(SQLFetchScroll(stmt, SQL_FETCH_ABSOLUTE, 500), SQL_SUCCESS);
    EXPECT_EQ(n[0], 499);
    ASSERT_EQ(SQLFetchScroll(stmt, SQL_FETCH_RELATIVE, -3), SQL_SUCCESS);
    EXPECT_EQ(n[0], 496);
    ASSERT_EQ(SQLFetchScroll(stmt, SQL_FETCH_NEXT, 0), SQL_SUCCESS);
    EXPECT_EQ(n[0], 496 + static_cast<SQLINTEGER>(size));
    ASSERT_EQ(SQLFetchScroll(stmt, SQL_FETCH_ABSOLUTE, -1), SQL_SUCCESS);
    EXPECT_EQ(n[0], 999);
    SQLINTEGER bookmark = 250;
    SQLSetStmtAttrW(stmt, SQL_ATTR_FETCH_BOOKMARK_PTR, &bookmark, 0);
    ASSERT_EQ(SQLFetchScroll(stmt, SQL_FETCH_BOOKMARK, 2), SQL_SUCCESS);
    EXPECT_EQ(n[0], 252);
    // Before the first row: 01S06 and no data, nothing asked of the server.
    ASSERT_EQ(SQLFetchScroll(stmt, SQL_FETCH_FIRST, 0), SQL_SUCCESS);
    EXPECT_EQ(SQLFetchScroll(stmt, SQL_FETCH_PRIOR, 0), SQL_NO_DATA);
    EXPECT_EQ(SQLFetchScroll(stmt, SQL_FETCH_RELATIVE, -5), SQL_NO_DATA);
    EXPECT_TRUE(HasState(SQL_HANDLE_STMT, stmt, "01S06"));
    ASSERT_EQ(SQLFetchScroll(stmt, SQL_FETCH_NEXT, 0), SQL_SUCCESS);
    EXPECT_EQ(n[0], 0);
    EXPECT_EQ(SQLFetchScroll(stmt, SQL_FETCH_ABSOLUTE, 1001), SQL_NO_DATA);
    ASSERT_EQ(SQLFetchScroll(stmt, SQL_FETCH_PRIOR, 0), SQL_SUCCESS);
    EXPECT_EQ(n[0], last_start);
    EXPECT_EQ(SQLFetchScroll(stmt, 99, 0), SQL_ERROR);
  }
}

TEST_F(FetchTest, MaxRowsLimitsTheResult) {
  SQLSetStmtAttrW(stmt, SQL_ATTR_MAX_ROWS, reinterpret_cast<SQLPOINTER>(3), 0);
  SQLINTEGER n = 0;
  SQLLEN ind = 0;
  OpenNumbers(&n, &ind);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS);
  EXPECT_EQ(SQLFetch(stmt), SQL_NO_DATA);
}

TEST_F(FetchTest, BookmarkColumnHoldsTheRowIndex) {
  // SQL_C_BOOKMARK is a 64-bit unsigned integer on this platform.
  SQLUBIGINT bookmark = 0;
  SQLLEN ind = 0;
  ASSERT_EQ(SQLBindCol(stmt, 0, SQL_C_BOOKMARK, &bookmark, 0, &ind), SQL_SUCCESS)
      << Diagnostics(SQL_HANDLE_STMT, stmt);
  // A computed column makes the result read-only: the driver numbers the rows.
  ASSERT_EQ(ExecDirect(stmt, "SELECT n * 2 FROM n1000 ORDER BY n"), SQL_SUCCESS);
  ASSERT_EQ(SQLFetchScroll(stmt, SQL_FETCH_ABSOLUTE, 150), SQL_SUCCESS);
  EXPECT_EQ(bookmark, 149u);
}

TEST_F(FetchTest, BookmarksOfAnUpdatableResultAreRowIndexesToo) {
  SQLUBIGINT bookmark = 0;
  SQLLEN ind = 0;
  SQLINTEGER n = -1;
  ASSERT_EQ(SQLBindCol(stmt, 0, SQL_C_BOOKMARK, &bookmark, 0, &ind), SQL_SUCCESS);
  ASSERT_EQ(SQLBindCol(stmt, 1, SQL_C_SLONG, &n, 0, nullptr), SQL_SUCCESS);
  // A plain column of a table: the server sends its row identifiers.
  ASSERT_EQ(ExecDirect(stmt, "SELECT n FROM n1000 WHERE n >= 100 ORDER BY n"), SQL_SUCCESS);
  ASSERT_EQ(SQLFetchScroll(stmt, SQL_FETCH_ABSOLUTE, 21), SQL_SUCCESS);
  EXPECT_EQ(bookmark, 20u);
  EXPECT_EQ(n, 120);
  SQLUBIGINT kept = 0;
  ASSERT_EQ(SQLGetData(stmt, 0, SQL_C_BOOKMARK, &kept, 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(kept, 20u);
  ASSERT_EQ(SQLFetchScroll(stmt, SQL_FETCH_LAST, 0), SQL_SUCCESS);
  SQLINTEGER as_int = static_cast<SQLINTEGER>(kept);
  SQLSetStmtAttrW(stmt, SQL_ATTR_FETCH_BOOKMARK_PTR, &as_int, 0);
  ASSERT_EQ(SQLFetchScroll(stmt, SQL_FETCH_BOOKMARK, 0), SQL_SUCCESS);
  EXPECT_EQ(n, 120);
}

TEST_F(FetchTest, GetDataReadsTheCurrentRowOnly) {
  SetRowsetSize(10);
  SQLINTEGER n[10];
  SQLLEN ind[10];
  OpenNumbers(n, ind);
  ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS);
  ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS);
  SQLWCHAR label[32] = {};
  SQLLEN label_ind = 0;
  ASSERT_EQ(SQLGetData(stmt, 2, SQL_C_WCHAR, label, sizeof label, &label_ind), SQL_SUCCESS);
  EXPECT_EQ(corvane::VString(reinterpret_cast<char16_t*>(label)).ToUtf8(), "row 10");
  EXPECT_EQ(label_ind, 12);
  EXPECT_EQ(SQLGetData(stmt, 2, SQL_C_WCHAR, label, sizeof label, &label_ind), SQL_NO_DATA);
}

}  // namespace
}  // namespace kestrion_test
