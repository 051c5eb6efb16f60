// Scrolling a 1000-row result in every direction with rowsets of 1 and 10
// (the rows span many pages of the row cache), row-wise and column-wise
// arrays with fetched-row counts and status arrays, bind offsets, bookmarks
// and SQL_ATTR_MAX_ROWS, all through the Driver Manager.
#include <cstddef>
#include <cstring>
#include <vector>

#include "tests/dm/statements_fixture.h"

namespace kestrion_dm {
namespace {

class ScrollTest : public StatementsTest {
 protected:
  void SetUp() override {
    StatementsTest::SetUp();
    table_ = TableName("rows");
    Run("CREATE TABLE " + table_ + " (id INTEGER, label VARCHAR(20))");
    Run("INSERT INTO " + table_ +
        " WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 1000)"
        " SELECT x, 'row ' || x FROM c");
  }

  // A scrollable cursor over the 1000 rows, with `rowset` rows per fetch
  // bound column-wise into ids_/labels_.
  SQLHSTMT OpenScrollable(SQLULEN rowset) {
    SQLHSTMT stmt = NewStatement();
    EXPECT_TRUE(SQL_SUCCEEDED(SQLSetStmtAttr(stmt, SQL_ATTR_CURSOR_TYPE,
                                             reinterpret_cast<SQLPOINTER>(SQL_CURSOR_STATIC), 0)))
        << Diagnostics(SQL_HANDLE_STMT, stmt);
    EXPECT_TRUE(SQL_SUCCEEDED(
        SQLSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(rowset), 0)));
    EXPECT_TRUE(SQL_SUCCEEDED(SQLSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &fetched_, 0)));
    EXPECT_TRUE(SQL_SUCCEEDED(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_STATUS_PTR, status_, 0)));
    EXPECT_TRUE(SQL_SUCCEEDED(SQLBindCol(stmt, 1, SQL_C_SLONG, ids_, 0, id_ind_)));
    EXPECT_TRUE(SQL_SUCCEEDED(SQLBindCol(stmt, 2, SQL_C_CHAR, labels_, sizeof labels_[0], label_ind_)));
    EXPECT_TRUE(ExecDirect(stmt, "SELECT id, label FROM " + table_ + " ORDER BY id"));
    return stmt;
  }

  // Fetches and checks that the rowset holds rows first..first+n-1
  // (1-based ids), fewer at the end of the result.
  void ExpectRowset(SQLHSTMT stmt, SQLSMALLINT orientation, SQLLEN offset, int first, SQLULEN rowset) {
    std::memset(ids_, 0, sizeof ids_);
    SQLRETURN rc = SQLFetchScroll(stmt, orientation, offset);
    ASSERT_TRUE(SQL_SUCCEEDED(rc)) << "orientation " << orientation << " offset " << offset << " -> " << rc
                                   << "\n" << Diagnostics(SQL_HANDLE_STMT, stmt);
    const SQLULEN want = std::min<SQLULEN>(rowset, static_cast<SQLULEN>(1000 - first + 1));
    ASSERT_EQ(fetched_, want) << "orientation " << orientation << " offset " << offset;
    for (SQLULEN k = 0; k < want; ++k) {
      EXPECT_EQ(ids_[k], first + static_cast<int>(k)) << "orientation " << orientation << " row " << k;
      EXPECT_EQ(status_[k], SQL_ROW_SUCCESS);
      EXPECT_EQ(std::string(labels_[k]), "row " + std::to_string(first + static_cast<int>(k)));
      EXPECT_EQ(label_ind_[k], static_cast<SQLLEN>(std::strlen(labels_[k])));
    }
    for (SQLULEN k = want; k < rowset; ++k) EXPECT_EQ(status_[k], SQL_ROW_NOROW);
  }

  void ExpectNoData(SQLHSTMT stmt, SQLSMALLINT orientation, SQLLEN offset) {
    SQLRETURN rc = SQLFetchScroll(stmt, orientation, offset);
    EXPECT_EQ(rc, SQL_NO_DATA) << "orientation " << orientation << " offset " << offset << "\n"
                               << Diagnostics(SQL_HANDLE_STMT, stmt);
  }

  void ScrollEverywhere(SQLULEN rs) {
    SQLHSTMT stmt = OpenScrollable(rs);
    const int n = static_cast<int>(rs);
    ExpectRowset(stmt, SQL_FETCH_NEXT, 0, 1, rs);
    ExpectRowset(stmt, SQL_FETCH_NEXT, 0, 1 + n, rs);
    ExpectRowset(stmt, SQL_FETCH_PRIOR, 0, 1, rs);
    ExpectNoData(stmt, SQL_FETCH_PRIOR, 0);            // before the first row
    ExpectRowset(stmt, SQL_FETCH_NEXT, 0, 1, rs);      // and back on the first rowset
    ExpectRowset(stmt, SQL_FETCH_LAST, 0, 1001 - n, rs);
    ExpectRowset(stmt, SQL_FETCH_PRIOR, 0, 1001 - 2 * n, rs);
    ExpectRowset(stmt, SQL_FETCH_ABSOLUTE, 500, 500, rs);
    ExpectRowset(stmt, SQL_FETCH_RELATIVE, -3, 497, rs);
    ExpectRowset(stmt, SQL_FETCH_RELATIVE, 250, 747, rs);
    ExpectRowset(stmt, SQL_FETCH_ABSOLUTE, -1, 1000, rs);    // the last row alone
    ExpectRowset(stmt, SQL_FETCH_ABSOLUTE, -n, 1001 - n, rs);
    ExpectRowset(stmt, SQL_FETCH_FIRST, 0, 1, rs);
    ExpectRowset(stmt, SQL_FETCH_ABSOLUTE, 995, 995, rs);  // a partial rowset at the end
    if (n > 1) ExpectNoData(stmt, SQL_FETCH_NEXT, 0);  // 995..1000 was the last rowset
    if (n == 1) ExpectRowset(stmt, SQL_FETCH_LAST, 0, 1000, rs);
    if (n == 1) ExpectNoData(stmt, SQL_FETCH_NEXT, 0);
    ExpectRowset(stmt, SQL_FETCH_PRIOR, 0, 1001 - n, rs);  // after the end, PRIOR is the last rowset
    ExpectNoData(stmt, SQL_FETCH_ABSOLUTE, 1001);
    ExpectRowset(stmt, SQL_FETCH_ABSOLUTE, 1, 1, rs);
    ExpectNoData(stmt, SQL_FETCH_ABSOLUTE, -1001);
    // Forward through everything, counting rows.
    ExpectRowset(stmt, SQL_FETCH_FIRST, 0, 1, rs);
    int rows = static_cast<int>(fetched_);
    SQLRETURN rc;
    while ((rc = SQLFetchScroll(stmt, SQL_FETCH_NEXT, 0)) == SQL_SUCCESS) {
      ASSERT_EQ(ids_[0], rows + 1);
      rows += static_cast<int>(fetched_);
    }
    EXPECT_EQ(rc, SQL_NO_DATA) << Diagnostics(SQL_HANDLE_STMT, stmt);
    EXPECT_EQ(rows, 1000);
    // And backwards from the end.
    ExpectRowset(stmt, SQL_FETCH_LAST, 0, 1001 - n, rs);
    rows = n;
    while ((rc = SQLFetchScroll(stmt, SQL_FETCH_PRIOR, 0)) == SQL_SUCCESS) {
      ASSERT_EQ(ids_[0], 1001 - rows - n);
      rows += n;
    }
    EXPECT_EQ(rc, SQL_NO_DATA);
    EXPECT_EQ(rows, 1000);
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  }

  std::string table_;
  SQLULEN fetched_ = 0;
  SQLUSMALLINT status_[10] = {};
  SQLINTEGER ids_[10] = {};
  SQLLEN id_ind_[10] = {};
  char labels_[10][21] = {};
  SQLLEN label_ind_[10] = {};
};

TEST_F(ScrollTest, EveryDirectionWithRowsetOfOne) { ScrollEverywhere(1); }

TEST_F(ScrollTest, EveryDirectionWithRowsetOfTen) { ScrollEverywhere(10); }

// PRIOR from a rowset that starts at row 5 of a rowset size 10 would start
// before the first row: no data, and the next rowset is the first.
TEST_F(ScrollTest, PriorOverlappingTheStartWarns) {
  SQLHSTMT stmt = OpenScrollable(10);
  ExpectRowset(stmt, SQL_FETCH_ABSOLUTE, 5, 5, 10);
  SQLRETURN rc = SQLFetchScroll(stmt, SQL_FETCH_PRIOR, 0);
  // The driver records 01S06 with SQL_NO_DATA; the Driver Manager does not
  // pass on diagnostics of SQL_NO_DATA, so only the code is seen here.
  EXPECT_EQ(rc, SQL_NO_DATA) << Diagnostics(SQL_HANDLE_STMT, stmt);
  EXPECT_EQ(fetched_, 0u);
  ExpectRowset(stmt, SQL_FETCH_NEXT, 0, 1, 10);
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
}

TEST_F(ScrollTest, BookmarkMovesToTheMarkedRowPlusOffset) {
  SQLHSTMT stmt = NewStatement();
  STMT_OK(SQLSetStmtAttr(stmt, SQL_ATTR_USE_BOOKMARKS, reinterpret_cast<SQLPOINTER>(SQL_UB_VARIABLE), 0));
  STMT_OK(SQLSetStmtAttr(stmt, SQL_ATTR_CURSOR_TYPE, reinterpret_cast<SQLPOINTER>(SQL_CURSOR_STATIC), 0));
  // An expression keeps the result read-only.
  ASSERT_TRUE(ExecDirect(stmt, "SELECT id + 0 FROM " + table_ + " ORDER BY id"));
  STMT_OK(SQLFetchScroll(stmt, SQL_FETCH_ABSOLUTE, 321));
  BOOKMARK bookmark = 0;
  SQLLEN len = 0;
  STMT_OK(SQLGetData(stmt, 0, SQL_C_BOOKMARK, &bookmark, 0, &len));
  ASSERT_EQ(len, static_cast<SQLLEN>(sizeof bookmark));
  STMT_OK(SQLFetchScroll(stmt, SQL_FETCH_FIRST, 0));
  STMT_OK(SQLSetStmtAttr(stmt, SQL_ATTR_FETCH_BOOKMARK_PTR, &bookmark, 0));
  STMT_OK(SQLFetchScroll(stmt, SQL_FETCH_BOOKMARK, 0));
  SQLINTEGER id = 0;
  STMT_OK(SQLGetData(stmt, 1, SQL_C_SLONG, &id, 0, &len));
  EXPECT_EQ(id, 321);
  STMT_OK(SQLFetchScroll(stmt, SQL_FETCH_BOOKMARK, 4));
  STMT_OK(SQLGetData(stmt, 1, SQL_C_SLONG, &id, 0, &len));
  EXPECT_EQ(id, 325);
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
}

// An updatable result (plain columns of one table) carries the server's row
// ids in column 0; the bookmark the application reads must still bring it
// back to its row (the ids start at 101 here, far from the row indexes).
TEST_F(ScrollTest, BookmarkOfAnUpdatableResultFindsItsRow) {
  SQLHSTMT stmt = NewStatement();
  STMT_OK(SQLSetStmtAttr(stmt, SQL_ATTR_USE_BOOKMARKS, reinterpret_cast<SQLPOINTER>(SQL_UB_VARIABLE), 0));
  STMT_OK(SQLSetStmtAttr(stmt, SQL_ATTR_CURSOR_TYPE, reinterpret_cast<SQLPOINTER>(SQL_CURSOR_STATIC), 0));
  ASSERT_TRUE(ExecDirect(stmt, "SELECT id FROM " + table_ + " WHERE id > 100 ORDER BY id"));
  STMT_OK(SQLFetchScroll(stmt, SQL_FETCH_ABSOLUTE, 21));
  BOOKMARK bookmark = 0;
  SQLLEN len = 0;
  STMT_OK(SQLGetData(stmt, 0, SQL_C_BOOKMARK, &bookmark, 0, &len));
  STMT_OK(SQLSetStmtAttr(stmt, SQL_ATTR_FETCH_BOOKMARK_PTR, &bookmark, 0));
  STMT_OK(SQLFetchScroll(stmt, SQL_FETCH_BOOKMARK, 0));
  SQLINTEGER id = 0;
  STMT_OK(SQLGetData(stmt, 1, SQL_C_SLONG, &id, 0, &len));
  EXPECT_EQ(id, 121);
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
}

struct RowWise {
  SQLINTEGER id;
  SQLLEN id_ind;
  char label[12];
  SQLLEN label_ind;
};

TEST_F(ScrollTest, RowWiseArrayWithBindOffsetAndTruncation) {
  SQLHSTMT stmt = NewStatement();
  RowWise rows[2][25];  // two copies: the bind offset moves between them
  std::memset(rows, 0, sizeof rows);
  SQLULEN fetched = 0;
  SQLUSMALLINT status[25];
  SQLLEN offset = 0;
  STMT_OK(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(sizeof(RowWise)), 0));
  STMT_OK(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(25), 0));
  STMT_OK(SQLSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0));
  STMT_OK(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_STATUS_PTR, status, 0));
  STMT_OK(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_BIND_OFFSET_PTR, &offset, 0));
  STMT_OK(SQLBindCol(stmt, 1, SQL_C_SLONG, &rows[0][0].id, 0, &rows[0][0].id_ind));
  STMT_OK(SQLBindCol(stmt, 2, SQL_C_CHAR, rows[0][0].label, sizeof rows[0][0].label, &rows[0][0].label_ind));
  ASSERT_TRUE(ExecDirect(stmt, "SELECT id, label FROM " + table_ + " WHERE id <= 40 ORDER BY id"));
  STMT_OK(SQLFetch(stmt));
  ASSERT_EQ(fetched, 25u);
  for (int k = 0; k < 25; ++k) {
    EXPECT_EQ(rows[0][k].id, k + 1);
    EXPECT_EQ(std::string(rows[0][k].label), "row " + std::to_string(k + 1));
  }
  offset = static_cast<SQLLEN>(sizeof rows[0]);
  SQLRETURN rc = SQLFetch(stmt);
  ASSERT_TRUE(SQL_SUCCEEDED(rc)) << Diagnostics(SQL_HANDLE_STMT, stmt);
  ASSERT_EQ(fetched, 15u);
  for (int k = 0; k < 15; ++k) {
    EXPECT_EQ(rows[1][k].id, k + 26);
    EXPECT_EQ(rows[1][k].label_ind, static_cast<SQLLEN>(std::string("row " + std::to_string(k + 26)).size()));
  }
  EXPECT_EQ(status[14], SQL_ROW_SUCCESS);
  EXPECT_EQ(status[15], SQL_ROW_NOROW);
  EXPECT_EQ(rows[0][0].id, 1) << "the first copy was written again despite the offset";
  EXPECT_EQ(SQLFetch(stmt), SQL_NO_DATA);
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);

  // A label longer than its buffer is cut, terminated, and reported 01004
  // with its full length.
  stmt = NewStatement();
  char small[5];
  SQLLEN ind = 0;
  STMT_OK(SQLBindCol(stmt, 1, SQL_C_CHAR, small, sizeof small, &ind));
  ASSERT_TRUE(ExecDirect(stmt, "SELECT label FROM " + table_ + " WHERE id = 123"));
  rc = SQLFetch(stmt);
  EXPECT_EQ(rc, SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(FirstState(SQL_HANDLE_STMT, stmt), "01004");
  EXPECT_STREQ(small, "row ");
  EXPECT_EQ(ind, 7);
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
}

TEST_F(ScrollTest, ColumnWiseArrayAcrossPages) {
  SQLHSTMT stmt = NewStatement();
  constexpr int kRowset = 333;  // does not divide the page size nor the row count
  std::vector<SQLINTEGER> ids(kRowset);
  std::vector<SQLLEN> inds(kRowset);
  std::vector<SQLWCHAR> labels(kRowset * 16);
  std::vector<SQLLEN> label_inds(kRowset);
  SQLULEN fetched = 0;
  STMT_OK(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(kRowset), 0));
  STMT_OK(SQLSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0));
  STMT_OK(SQLBindCol(stmt, 1, SQL_C_SLONG, ids.data(), 0, inds.data()));
  STMT_OK(SQLBindCol(stmt, 2, SQL_C_WCHAR, labels.data(), 16 * sizeof(SQLWCHAR), label_inds.data()));
  ASSERT_TRUE(ExecDirect(stmt, "SELECT id, label FROM " + table_ + " ORDER BY id"));
  int total = 0;
  SQLRETURN rc;
  while ((rc = SQLFetch(stmt)) == SQL_SUCCESS) {
    for (SQLULEN k = 0; k < fetched; ++k) {
      ASSERT_EQ(ids[k], total + 1);
      const std::u16string label(reinterpret_cast<const char16_t*>(&labels[k * 16]));
      ASSERT_EQ(Utf8(label), "row " + std::to_string(total + 1));
      ASSERT_EQ(label_inds[k], static_cast<SQLLEN>(label.size() * 2));
      ++total;
    }
  }
  EXPECT_EQ(rc, SQL_NO_DATA) << Diagnostics(SQL_HANDLE_STMT, stmt);
  EXPECT_EQ(total, 1000);
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
}

TEST_F(ScrollTest, MaxRowsLimitsTheResult) {
  SQLHSTMT stmt = NewStatement();
  STMT_OK(SQLSetStmtAttr(stmt, SQL_ATTR_MAX_ROWS, reinterpret_cast<SQLPOINTER>(137), 0));
  SQLINTEGER id = 0;
  SQLLEN ind = 0;
  STMT_OK(SQLBindCol(stmt, 1, SQL_C_SLONG, &id, 0, &ind));
  ASSERT_TRUE(ExecDirect(stmt, "SELECT id FROM " + table_ + " ORDER BY id"));
  int rows = 0;
  while (SQLFetch(stmt) == SQL_SUCCESS) {
    EXPECT_EQ(id, ++rows);
  }
  EXPECT_EQ(rows, 137);
  // Back to no limit on the same statement.
  STMT_OK(SQLCloseCursor(stmt));
  STMT_OK(SQLSetStmtAttr(stmt, SQL_ATTR_MAX_ROWS, reinterpret_cast<SQLPOINTER>(0), 0));
  ASSERT_TRUE(ExecDirect(stmt, "SELECT id FROM " + table_ + " ORDER BY id"));
  rows = 0;
  while (SQLFetch(stmt) == SQL_SUCCESS) ++rows;
  EXPECT_EQ(rows, 1000);
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
}

// Two open cursors on one connection ask for their pages in turn; each keeps
// its own rows.
TEST_F(ScrollTest, TwoCursorsPageInTurnOnOneConnection) {
  SQLHSTMT a = NewStatement();
  SQLHSTMT b = NewStatement();
  ASSERT_TRUE(ExecDirect(a, "SELECT id FROM " + table_ + " ORDER BY id"));
  ASSERT_TRUE(ExecDirect(b, "SELECT id FROM customers ORDER BY id"));
  int na = 0, nb = 0;
  SQLRETURN ra = SQL_SUCCESS, rb = SQL_SUCCESS;
  SQLINTEGER v = 0;
  SQLLEN ind = 0;
  while (ra == SQL_SUCCESS || rb == SQL_SUCCESS) {
    if (ra == SQL_SUCCESS && (ra = SQLFetch(a)) == SQL_SUCCESS) {
      ASSERT_EQ(SQLGetData(a, 1, SQL_C_SLONG, &v, 0, &ind), SQL_SUCCESS);
      ASSERT_EQ(v, ++na);
    }
    if (rb == SQL_SUCCESS && (rb = SQLFetch(b)) == SQL_SUCCESS) {
      ASSERT_EQ(SQLGetData(b, 1, SQL_C_SLONG, &v, 0, &ind), SQL_SUCCESS);
      ASSERT_EQ(v, ++nb);
    }
  }
  EXPECT_EQ(ra, SQL_NO_DATA) << Diagnostics(SQL_HANDLE_STMT, a);
  EXPECT_EQ(rb, SQL_NO_DATA) << Diagnostics(SQL_HANDLE_STMT, b);
  EXPECT_EQ(na, 1000);
  EXPECT_EQ(nb, 500);
  SQLFreeHandle(SQL_HANDLE_STMT, a);
  SQLFreeHandle(SQL_HANDLE_STMT, b);
}

}  // namespace
}  // namespace kestrion_dm
