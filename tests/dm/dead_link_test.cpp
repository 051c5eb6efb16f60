// Through the Driver Manager: a server killed under an open cursor. The
// fetch that needs it says 08S01, every cleanup call succeeds, the next use
// says 08S01 again (never a sequence error or 24000), and after a disconnect
// the handle connects again.
#include "tests/dm/statements_fixture.h"

namespace kestrion_dm {
namespace {

using DeadLink = StatementsTest;

TEST_F(DeadLink, CleanupSucceedsAndTheNextUseSaysTheLinkIsLost) {
  auto server = std::make_unique<kestrion_test::DevServer>(std::vector<std::string>{"--sample"});
  ASSERT_TRUE(server->ok()) << server->error();
  auto connection = [&] {
    return "DRIVER={Kestrion};Server=127.0.0.1;Port=" + std::to_string(server->port()) +
           ";UID=tester;PWD=secret;DefaultPageSize=2;QueryTimeout=10";
  };
  SQLHDBC dbc = Connect(connection());
  ASSERT_NE(dbc, nullptr);
  SQLHSTMT stmt = NewStatement(dbc);
  ASSERT_TRUE(ExecDirect(stmt, "SELECT id FROM customers ORDER BY id"));
  STMT_OK(SQLFetch(stmt));
  server->Kill();

  SQLRETURN rc = SQL_SUCCESS;
  for (int i = 0; i < 10 && rc == SQL_SUCCESS; ++i) rc = SQLFetch(stmt);
  EXPECT_EQ(rc, SQL_ERROR);
  EXPECT_EQ(FirstState(SQL_HANDLE_STMT, stmt), "08S01") << Diagnostics(SQL_HANDLE_STMT, stmt);

  EXPECT_EQ(SQLCloseCursor(stmt), SQL_SUCCESS) << Diagnostics(SQL_HANDLE_STMT, stmt);
  EXPECT_EQ(SQLFreeStmt(stmt, SQL_CLOSE), SQL_SUCCESS) << Diagnostics(SQL_HANDLE_STMT, stmt);
  std::u16string sql = Utf16("SELECT 1");
  EXPECT_EQ(SQLExecDirectW(stmt, Wide(sql), SQL_NTS), SQL_ERROR);
  EXPECT_EQ(FirstState(SQL_HANDLE_STMT, stmt), "08S01") << Diagnostics(SQL_HANDLE_STMT, stmt);
  EXPECT_EQ(SQLFreeHandle(SQL_HANDLE_STMT, stmt), SQL_SUCCESS);
  EXPECT_EQ(SQLDisconnect(dbc), SQL_SUCCESS) << Diagnostics(SQL_HANDLE_DBC, dbc);

  // A new server, the same connection handle.
  server = std::make_unique<kestrion_test::DevServer>(std::vector<std::string>{"--sample"});
  ASSERT_TRUE(server->ok()) << server->error();
  std::u16string in = Utf16(connection());
  ASSERT_TRUE(SQL_SUCCEEDED(SQLDriverConnectW(dbc, nullptr, Wide(in), SQL_NTS, nullptr, 0, nullptr,
                                              SQL_DRIVER_NOPROMPT)))
      << Diagnostics(SQL_HANDLE_DBC, dbc);
  stmt = NewStatement(dbc);
  EXPECT_TRUE(ExecDirect(stmt, "SELECT id FROM customers"));
  EXPECT_EQ(SQLFetch(stmt), SQL_SUCCESS);
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  SQLDisconnect(dbc);
  SQLFreeHandle(SQL_HANDLE_DBC, dbc);
}

}  // namespace
}  // namespace kestrion_dm
