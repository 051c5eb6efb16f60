// SQLSetPos and SQLBulkOperations against the development server: each
// change is checked by selecting the table again on another statement.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/catalog/catalog_fixture.h"

namespace kestrion_test {
namespace {

constexpr int kRowset = 10;

class BulkModifyTest : public SampleServerTest {
 protected:
  // A server of its own: these tests change data.
  DevServer server_;

  char names[kRowset][21] = {};
  SQLLEN name_ind[kRowset] = {};
  SQLINTEGER qty[kRowset] = {};
  SQLLEN qty_ind[kRowset] = {};

  void SetUp() override {
    Open(server_, "");
    ASSERT_TRUE(SQL_SUCCEEDED(Exec("CREATE TABLE items (id INTEGER PRIMARY KEY, name VARCHAR(20), qty INTEGER)")))
        << StatementDiagnostics();
    ASSERT_TRUE(SQL_SUCCEEDED(Exec(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 12) "
        "INSERT INTO items SELECT i, 'item ' || i, i FROM n")))
        << StatementDiagnostics();
    SQLFreeStmt(stmt, SQL_CLOSE);
  }

  void BindRowset(SQLULEN size = kRowset) {
    ASSERT_EQ(SQLSetStmtAttrW(stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(size), 0),
              SQL_SUCCESS);
    ASSERT_EQ(SQLBindCol(stmt, 2, SQL_C_CHAR, names, sizeof names[0], name_ind), SQL_SUCCESS);
    ASSERT_EQ(SQLBindCol(stmt, 3, SQL_C_SLONG, qty, 0, qty_ind), SQL_SUCCESS);
  }

  // The table as "id:name:qty" lines, read on a fresh statement.
  std::vector<std::string> Table() {
    SQLHSTMT other = nullptr;
    EXPECT_EQ(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &other), SQL_SUCCESS);
    std::u16string q = u"SELECT id, name, qty FROM items ORDER BY id";
    EXPECT_TRUE(SQL_SUCCEEDED(SQLExecDirectW(other, W(q), SQL_NTS))) << Diagnostics(SQL_HANDLE_STMT, other);
    std::vector<std::string> out;
    while (SQLFetch(other) == SQL_SUCCESS) {
      SQLINTEGER id = 0, n = 0;
      char name[64] = {0};
      SQLLEN ind = 0, nind = 0;
      SQLGetData(other, 1, SQL_C_SLONG, &id, 0, nullptr);
      SQLGetData(other, 2, SQL_C_CHAR, name, sizeof name, &ind);
      SQLGetData(other, 3, SQL_C_SLONG, &n, 0, &nind);
      out.push_back(std::to_string(id) + ":" + (ind == SQL_NULL_DATA ? "NULL" : name) + ":" +
                    (nind == SQL_NULL_DATA ? "NULL" : std::to_string(n)));
    }
    SQLFreeHandle(SQL_HANDLE_STMT, other);
    return out;
  }
  static std::string Original(int id) {
    return std::to_string(id) + ":item " + std::to_string(id) + ":" + std::to_string(id);
  }
};

TEST_F(BulkModifyTest, SetPosUpdatesTheThirdRowOfTheRowset) {
  BindRowset();
  ASSERT_TRUE(SQL_SUCCEEDED(Exec("SELECT id, name, qty FROM items ORDER BY id"))) << StatementDiagnostics();
  ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS) << StatementDiagnostics();
  EXPECT_STREQ(names[2], "item 3");
  std::strcpy(names[2], "changed");
  name_ind[2] = SQL_NTS;
  qty[2] = 333;
  ASSERT_EQ(SQLSetPos(stmt, 3, SQL_UPDATE, SQL_LOCK_NO_CHANGE), SQL_SUCCESS) << StatementDiagnostics();
  // The second rowset: its second row is the table's twelfth.
  ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS);
  EXPECT_STREQ(names[1], "item 12");
  std::strcpy(names[1], "last");
  name_ind[1] = SQL_NTS;
  ASSERT_EQ(SQLSetPos(stmt, 2, SQL_UPDATE, SQL_LOCK_NO_CHANGE), SQL_SUCCESS) << StatementDiagnostics();
  const auto table = Table();
  ASSERT_EQ(table.size(), 12u);
  for (int id = 1; id <= 12; ++id) {
    const std::string expected = id == 3 ? "3:changed:333" : id == 12 ? "12:last:12" : Original(id);
    EXPECT_EQ(table[static_cast<std::size_t>(id - 1)], expected);
  }
}

TEST_F(BulkModifyTest, SetPosDeletesTheThirdRowOfTheRowset) {
  BindRowset();
  ASSERT_TRUE(SQL_SUCCEEDED(Exec("SELECT id, name, qty FROM items ORDER BY id")));
  ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS);
  ASSERT_EQ(SQLSetPos(stmt, 3, SQL_DELETE, SQL_LOCK_NO_CHANGE), SQL_SUCCESS) << StatementDiagnostics();
  const auto table = Table();
  ASSERT_EQ(table.size(), 11u);
  EXPECT_EQ(table[1], Original(2));
  EXPECT_EQ(table[2], Original(4));
}

TEST_F(BulkModifyTest, SetPosRowZeroUpdatesEveryRowAndSendsNull) {
  BindRowset();
  ASSERT_TRUE(SQL_SUCCEEDED(Exec("SELECT id, name, qty FROM items WHERE id > 2 ORDER BY id")));
  ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS);
  for (int i = 0; i < kRowset; ++i) qty[i] += 100;
  qty_ind[4] = SQL_NULL_DATA;
  ASSERT_EQ(SQLSetPos(stmt, 0, SQL_UPDATE, SQL_LOCK_NO_CHANGE), SQL_SUCCESS) << StatementDiagnostics();
  const auto table = Table();
  EXPECT_EQ(table[0], Original(1));
  EXPECT_EQ(table[2], "3:item 3:103");
  EXPECT_EQ(table[6], "7:item 7:NULL");
  EXPECT_EQ(table[11], "12:item 12:112");
}

TEST_F(BulkModifyTest, RowWiseBindingUpdatesAndDeletes) {
  struct Row {
    SQLINTEGER id;
    SQLLEN id_ind;
    char name[21];
    SQLLEN name_ind;
    SQLINTEGER qty;
    SQLLEN qty_ind;
  };
  Row rows[kRowset] = {};
  ASSERT_EQ(SQLSetStmtAttrW(stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(kRowset), 0),
            SQL_SUCCESS);
  ASSERT_EQ(SQLSetStmtAttrW(stmt, SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(sizeof(Row)), 0),
            SQL_SUCCESS);
  SQLBindCol(stmt, 1, SQL_C_SLONG, &rows[0].id, 0, &rows[0].id_ind);
  SQLBindCol(stmt, 2, SQL_C_CHAR, rows[0].name, sizeof rows[0].name, &rows[0].name_ind);
  SQLBindCol(stmt, 3, SQL_C_SLONG, &rows[0].qty, 0, &rows[0].qty_ind);
  ASSERT_TRUE(SQL_SUCCEEDED(Exec("SELECT id, name, qty FROM items ORDER BY id DESC")));
  ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS) << StatementDiagnostics();
  ASSERT_EQ(rows[3].id, 9);
  rows[3].id = 9;  // the key is sent unchanged
  std::strcpy(rows[3].name, "nine");
  rows[3].name_ind = SQL_NTS;
  rows[3].qty = 99;
  ASSERT_EQ(SQLSetPos(stmt, 4, SQL_UPDATE, SQL_LOCK_NO_CHANGE), SQL_SUCCESS) << StatementDiagnostics();
  ASSERT_EQ(SQLSetPos(stmt, 5, SQL_DELETE, SQL_LOCK_NO_CHANGE), SQL_SUCCESS) << StatementDiagnostics();
  const auto table = Table();
  ASSERT_EQ(table.size(), 11u);
  EXPECT_EQ(table[6], Original(7));
  EXPECT_EQ(table[7], "9:nine:99");  // row 8 was deleted
  EXPECT_EQ(table[8], Original(10));
}

TEST_F(BulkModifyTest, BulkOperationsAddsThreeRowsAndReturnsTheirIds) {
  SQLULEN bookmarks[3] = {0, 0, 0};
  SQLLEN bookmark_ind[3] = {0, 0, 0};
  BindRowset(3);
  ASSERT_EQ(SQLBindCol(stmt, 0, SQL_C_BOOKMARK, bookmarks, sizeof bookmarks[0], bookmark_ind), SQL_SUCCESS)
      << StatementDiagnostics();
  ASSERT_TRUE(SQL_SUCCEEDED(Exec("SELECT id, name, qty FROM items WHERE id > 100")));
  for (int i = 0; i < 3; ++i) {
    std::snprintf(names[i], sizeof names[i], "new %d", i);
    name_ind[i] = SQL_NTS;
    qty[i] = 1000 + i;
    qty_ind[i] = 0;
  }
  ASSERT_EQ(SQLBulkOperations(stmt, SQL_ADD), SQL_SUCCESS) << StatementDiagnostics();
  // Each added row's id goes to its own row of the bookmark array.
  EXPECT_EQ(bookmarks[0], 13u);
  EXPECT_EQ(bookmarks[1], 14u);
  EXPECT_EQ(bookmarks[2], 15u);
  const auto table = Table();
  ASSERT_EQ(table.size(), 15u);
  EXPECT_EQ(table[12], "13:new 0:1000");
  EXPECT_EQ(table[13], "14:new 1:1001");
  EXPECT_EQ(table[14], "15:new 2:1002");
}

TEST_F(BulkModifyTest, PositionMakesTheRowCurrentForGetData) {
  BindRowset();
  ASSERT_TRUE(SQL_SUCCEEDED(Exec("SELECT id, name, qty FROM items ORDER BY id")));
  ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS);
  ASSERT_EQ(SQLSetPos(stmt, 3, SQL_POSITION, SQL_LOCK_NO_CHANGE), SQL_SUCCESS) << StatementDiagnostics();
  SQLINTEGER id = 0;
  ASSERT_EQ(SQLGetData(stmt, 1, SQL_C_SLONG, &id, 0, nullptr), SQL_SUCCESS) << StatementDiagnostics();
  EXPECT_EQ(id, 3);
  ASSERT_EQ(SQLSetPos(stmt, 10, SQL_POSITION, SQL_LOCK_NO_CHANGE), SQL_SUCCESS);
  ASSERT_EQ(SQLGetData(stmt, 1, SQL_C_SLONG, &id, 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(id, 10);
  // The next fetch starts from the rowset after the current one.
  ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS);
  ASSERT_EQ(SQLGetData(stmt, 1, SQL_C_SLONG, &id, 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(id, 11);
  // Row 3 of this rowset of two rows does not exist.
  EXPECT_EQ(SQLSetPos(stmt, 3, SQL_POSITION, SQL_LOCK_NO_CHANGE), SQL_ERROR);
  EXPECT_NE(StatementDiagnostics().find("HY109"), std::string::npos);
}

TEST_F(BulkModifyTest, RefusedOperationsAndRows) {
  BindRowset();
  ASSERT_TRUE(SQL_SUCCEEDED(Exec("SELECT id, name, qty FROM items ORDER BY id")));
  ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS);
  EXPECT_EQ(SQLSetPos(stmt, 1, SQL_REFRESH, SQL_LOCK_NO_CHANGE), SQL_ERROR);
  EXPECT_NE(StatementDiagnostics().find("HYC00"), std::string::npos);
  EXPECT_EQ(SQLSetPos(stmt, 11, SQL_UPDATE, SQL_LOCK_NO_CHANGE), SQL_ERROR);
  EXPECT_NE(StatementDiagnostics().find("HY107"), std::string::npos);
  EXPECT_EQ(SQLBulkOperations(stmt, SQL_FETCH_BY_BOOKMARK), SQL_ERROR);
  EXPECT_NE(StatementDiagnostics().find("Operation wasn't one of: SQL_ADD=4,SQL_UPDATE_BY_BOOKMARK=5,"
                                        "SQL_DELETE_BY_BOOKMARK=6 or SQL_FETCH_BY_BOOKMARK=7"),
            std::string::npos);
  EXPECT_EQ(Table().size(), 12u);
}

TEST_F(BulkModifyTest, NotUpdatableResultIsRefusedByTheServer) {
  BindRowset();
  ASSERT_TRUE(SQL_SUCCEEDED(Exec("SELECT count(*), 'x', 1 FROM items")));
  ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS);
  EXPECT_EQ(SQLSetPos(stmt, 1, SQL_DELETE, SQL_LOCK_NO_CHANGE), SQL_ERROR);
  EXPECT_EQ(Table().size(), 12u);
}

}  // namespace
}  // namespace kestrion_test
