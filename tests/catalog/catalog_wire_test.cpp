// The exact bytes of catalog queries and BULK-MODIFY requests, against a
// scripted loopback server.
#include <gtest/gtest.h>

#include <cstring>

#include "driver/connection.h"
#include "tests/catalog/catalog_fixture.h"
#include "tests/support/scripted_server.h"
#include "toolbox/base64.h"

namespace kestrion_test {
namespace {

std::string B64(const std::string& text) { return corvane::Base64Encode(std::string_view(text)); }

std::string I32(std::int32_t v) {
  std::string out(4, '\0');
  std::memcpy(out.data(), &v, 4);
  return out;
}
std::string U16(std::uint16_t v) {
  std::string out(2, '\0');
  std::memcpy(out.data(), &v, 2);
  return out;
}
// A text value as the server writes it: -n, then n UTF-16LE units.
std::string Text(const std::string& ascii) {
  std::string out = I32(-static_cast<std::int32_t>(ascii.size()));
  for (char c : ascii) {
    out += c;
    out += '\0';
  }
  return out;
}

class CatalogWire : public ::testing::Test {
 protected:
  SQLHENV env = nullptr;
  SQLHDBC dbc = nullptr;
  SQLHSTMT stmt = nullptr;
  ScriptedServer server;

  void SetUp() override {
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    server.Expect(Id(0) +
                      " LOGIN\r\nREPLY-WITH-BASE64-TEXT: Y\r\nUSER-NAME-BASE64: \r\n"
                      "USER-PASSWORD-BASE64: \r\nPROTOCOL-VERSION: 0.1a\r\n\r\n",
                  OkReply(Id(0)));
    std::u16string text = corvane::VString::FromUtf8(
        "DSN=*;Server=127.0.0.1;Port=" + std::to_string(server.port()) + ";UID=;LoginTimeout=5");
    ASSERT_TRUE(SQL_SUCCEEDED(SQLDriverConnectW(dbc, nullptr, reinterpret_cast<SQLWCHAR*>(text.data()),
                                                SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT)));
    SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);
  }
  void TearDown() override { SQLFreeHandle(SQL_HANDLE_ENV, env); }

  std::string Id(int n) {
    return std::to_string(static_cast<kestrion::CHConnection*>(dbc)->connection_number) + "." +
           std::to_string(n);
  }
  std::string Prepared(int n, const std::string& text) {
    return Id(n) + " PREPARE-STATEMENT\r\nSTATEMENT-BASE64: " + B64(text) + "\r\n\r\n";
  }
  std::string Executed(int n, const std::string& text) {
    return Id(n) + " EXECUTE-STATEMENT\r\nSTATEMENT-BASE64: " + B64(text) +
           "\r\nOUTPUT-MODE: RELEASE\r\nFIRST-PAGE-SIZE: 100\r\n\r\n";
  }
  // Frees the statement, logs out and answers the script's first mismatch.
  std::string Finish(int n) {
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    server.Expect(Id(n) + " LOGOUT\r\n\r\n", OkReply(Id(n)));
    ScriptedServer::Step quit{Id(n + 1) + " QUIT\r\n\r\n", OkReply(Id(n + 1))};
    quit.close_after = true;
    server.Then(quit);
    SQLDisconnect(dbc);
    return server.Finish();
  }
};

TEST_F(CatalogWire, PrimaryKeysQueryDoublesTheQuoteAndServesRowsLocally) {
  const std::string query =
      "select [_USER_CONSTRAINTS].[RELATED_TABLE_NAME],[_USER_CONS_COLUMNS].[RELATED_COLUMN_NAME],"
      "[_USER_CONS_COLUMNS].[RELATED_COLUMN_ID] from [_USER_CONSTRAINTS],[_USER_CONS_COLUMNS] where "
      "([_USER_CONSTRAINTS].[RELATED_TABLE_NAME]='it''s' and [_USER_CONS_COLUMNS].[CONSTRAINT_ID]="
      "[_USER_CONSTRAINTS].[CONSTRAINT_ID]) order by [_USER_CONSTRAINTS].[RELATED_TABLE_NAME],"
      "[_USER_CONS_COLUMNS].[RELATED_COLUMN_ID]";
  const std::string description =
      "Column-Count: 3\r\nColumn-Types: VK_TEXT VK_TEXT VK_LONG\r\n"
      "Column-Aliases: RELATED_TABLE_NAME RELATED_COLUMN_NAME RELATED_COLUMN_ID\r\n"
      "Column-Updateability: N N N\r\nResult-Type: Row-Set\r\n";
  std::string rows;
  rows += "1" + Text("it's") + "1" + Text("a") + "1" + I32(1);
  rows += "1" + Text("it's") + "1" + Text("b") + "1" + I32(2);
  server.Expect(Prepared(1, query), OkReply(Id(1), description))
      .Expect(Executed(2, query),
              OkReply(Id(2), description + "Row-Count: 2\r\nStatement-ID: 5\r\nRow-Count-Sent: 2\r\n") + rows)
      .Expect(Id(3) + " CLOSE-STATEMENT\r\nSTATEMENT-ID: 5\r\n\r\n", OkReply(Id(3)));
  std::u16string name = u"it's";
  ASSERT_EQ(SQLPrimaryKeysW(stmt, nullptr, 0, nullptr, 0, reinterpret_cast<SQLWCHAR*>(name.data()), SQL_NTS),
            SQL_SUCCESS);
  // Both rows are local: fetching sends nothing, closing sends nothing.
  SQLWCHAR column[16];
  SQLSMALLINT seq = 0;
  ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS);
  ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS);
  SQLGetData(stmt, 4, SQL_C_WCHAR, column, sizeof column, nullptr);
  SQLGetData(stmt, 5, SQL_C_SSHORT, &seq, 0, nullptr);
  EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(column)), u"b");
  EXPECT_EQ(seq, 2);
  EXPECT_EQ(SQLFetch(stmt), SQL_NO_DATA);
  EXPECT_EQ(SQLCloseCursor(stmt), SQL_SUCCESS);
  EXPECT_EQ(Finish(4), "");
}

TEST_F(CatalogWire, BulkModifyBodies) {
  const std::string sql = "SELECT a, b FROM t";
  const std::string description =
      "Column-Count: 2\r\nColumn-Types: VK_LONG VK_TEXT\r\nColumn-Aliases: a b\r\n"
      "Column-Updateability: Y N\r\nResult-Type: Row-Set\r\n";
  // An updatable result: each row starts with its row id.
  std::string rows;
  for (int i = 1; i <= 3; ++i) rows += "1" + I32(100 + i) + "1" + I32(i) + "1" + Text("x");
  server.Expect(Prepared(1, sql), OkReply(Id(1), description))
      .Expect(Executed(2, sql),
              OkReply(Id(2), description + "Row-Count: 3\r\nStatement-ID: 9\r\nRow-Count-Sent: 3\r\n") + rows);
  SQLINTEGER a[3] = {};
  SQLLEN a_ind[3] = {};
  SQLWCHAR b[3][8] = {};
  SQLLEN b_ind[3] = {};
  SQLULEN bookmarks[3] = {};
  ASSERT_EQ(SQLSetStmtAttrW(stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(3), 0), SQL_SUCCESS);
  SQLBindCol(stmt, 1, SQL_C_SLONG, a, 0, a_ind);
  SQLBindCol(stmt, 2, SQL_C_WCHAR, b, sizeof b[0], b_ind);
  std::u16string text = corvane::VString::FromUtf8(sql);
  ASSERT_EQ(SQLExecDirectW(stmt, reinterpret_cast<SQLWCHAR*>(text.data()), SQL_NTS), SQL_SUCCESS);
  ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS);

  // Update of the second row with a NULL: its own row id, only the
  // updatable column, "0" for NULL.
  const std::string header = " BULK-MODIFY\r\nSTATEMENT-ID: 9\r\nCOMMAND-INDEX: 0\r\nROW-COUNT : ";
  a_ind[1] = SQL_NULL_DATA;
  server.Expect(Id(3) + header + "1\r\n\r\n" + "1" + I32(102) + U16(1) + U16(0) + "0", OkReply(Id(3)));
  ASSERT_EQ(SQLSetPos(stmt, 2, SQL_UPDATE, SQL_LOCK_NO_CHANGE), SQL_SUCCESS);
  // Delete of the whole rowset: code and row id only.
  server.Expect(Id(4) + header + "3\r\n\r\n" + "3" + I32(101) + "3" + I32(102) + "3" + I32(103),
                OkReply(Id(4)));
  ASSERT_EQ(SQLSetPos(stmt, 0, SQL_DELETE, SQL_LOCK_NO_CHANGE), SQL_SUCCESS);
  // Adding three rows: the reply's ids go to successive bookmark rows.
  ASSERT_EQ(SQLBindCol(stmt, 0, SQL_C_BOOKMARK, bookmarks, sizeof bookmarks[0], nullptr), SQL_SUCCESS);
  for (int i = 0; i < 3; ++i) {
    a[i] = 7 + i;
    a_ind[i] = 0;
  }
  std::string body;
  for (int i = 0; i < 3; ++i) body += "2" + U16(1) + U16(0) + "1" + I32(7 + i);
  server.Expect(Id(5) + header + "3\r\n\r\n" + body, OkReply(Id(5)) + I32(201) + I32(202) + I32(203));
  ASSERT_EQ(SQLBulkOperations(stmt, SQL_ADD), SQL_SUCCESS);
  EXPECT_EQ(bookmarks[0], 201u);
  EXPECT_EQ(bookmarks[1], 202u);
  EXPECT_EQ(bookmarks[2], 203u);
  server.Expect(Id(6) + " CLOSE-STATEMENT\r\nSTATEMENT-ID: 9\r\n\r\n", OkReply(Id(6)));
  EXPECT_EQ(SQLCloseCursor(stmt), SQL_SUCCESS);
  EXPECT_EQ(Finish(7), "");
}

}  // namespace
}  // namespace kestrion_test
