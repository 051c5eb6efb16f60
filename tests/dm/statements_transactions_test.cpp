// Transactions through the Driver Manager: with autocommit off a rollback
// really undoes and a commit really keeps, also when the connection has no
// statement left; switching autocommit back on commits. A second connection
// observes what the server holds.
#include "tests/dm/statements_fixture.h"

namespace kestrion_dm {
namespace {

class TransactionTest : public StatementsTest {
 protected:
  // The row count of the table as another connection sees it.
  int CountFromOutside(const std::string& table) {
    SQLHDBC other = Connect(ConnectionString());
    if (other == nullptr) return -1;
    SQLHSTMT stmt = NewStatement(other);
    int count = -1;
    if (ExecDirect(stmt, "SELECT COUNT(*) FROM " + table) && SQLFetch(stmt) == SQL_SUCCESS) {
      SQLINTEGER n = 0;
      SQLLEN ind = 0;
      if (SQL_SUCCEEDED(SQLGetData(stmt, 1, SQL_C_SLONG, &n, 0, &ind))) count = n;
    }
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    SQLDisconnect(other);
    SQLFreeHandle(SQL_HANDLE_DBC, other);
    return count;
  }

  void SetAutocommit(bool on) {
    SQLRETURN rc = SQLSetConnectAttr(
        dbc_, SQL_ATTR_AUTOCOMMIT,
        reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF)), 0);
    ASSERT_TRUE(SQL_SUCCEEDED(rc)) << Diagnostics(SQL_HANDLE_DBC, dbc_);
  }
};

TEST_F(TransactionTest, RollbackUndoesWithAutocommitOff) {
  const std::string table = TableName("tx");
  Run("CREATE TABLE " + table + " (id INTEGER)");
  Run("INSERT INTO " + table + " VALUES (1)");
  SetAutocommit(false);
  SQLHSTMT stmt = NewStatement();
  ASSERT_TRUE(ExecDirect(stmt, "INSERT INTO " + table + " VALUES (2)"));
  ASSERT_TRUE(ExecDirect(stmt, "DELETE FROM " + table + " WHERE id = 1"));
  // Inside the transaction this connection sees its own changes.
  ASSERT_TRUE(ExecDirect(stmt, "SELECT COUNT(*), MAX(id) FROM " + table));
  SQLINTEGER count = 0, max = 0;
  SQLLEN ind = 0;
  STMT_OK(SQLFetch(stmt));
  STMT_OK(SQLGetData(stmt, 1, SQL_C_SLONG, &count, 0, &ind));
  STMT_OK(SQLGetData(stmt, 2, SQL_C_SLONG, &max, 0, &ind));
  EXPECT_EQ(count, 1);
  EXPECT_EQ(max, 2);
  STMT_OK(SQLCloseCursor(stmt));
  KESTRION_ASSERT_OK(SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK), SQL_HANDLE_DBC, dbc_);
  ASSERT_TRUE(ExecDirect(stmt, "SELECT id FROM " + table));
  STMT_OK(SQLFetch(stmt));
  STMT_OK(SQLGetData(stmt, 1, SQL_C_SLONG, &max, 0, &ind));
  EXPECT_EQ(max, 1) << "the rollback kept the changes";
  EXPECT_EQ(SQLFetch(stmt), SQL_NO_DATA);
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  KESTRION_EXPECT_OK(SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_COMMIT), SQL_HANDLE_DBC, dbc_);
  EXPECT_EQ(CountFromOutside(table), 1);
}

TEST_F(TransactionTest, CommitOnAConnectionWhoseStatementsWereFreed) {
  const std::string table = TableName("tx");
  Run("CREATE TABLE " + table + " (id INTEGER)");
  SetAutocommit(false);
  Run("INSERT INTO " + table + " VALUES (1)");
  Run("INSERT INTO " + table + " VALUES (2)");
  // Every statement handle is freed; the transaction is the connection's.
  KESTRION_ASSERT_OK(SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_COMMIT), SQL_HANDLE_DBC, dbc_);
  EXPECT_EQ(CountFromOutside(table), 2);
  // A rollback without statements undoes just as well.
  Run("INSERT INTO " + table + " VALUES (3)");
  KESTRION_ASSERT_OK(SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK), SQL_HANDLE_DBC, dbc_);
  EXPECT_EQ(CountFromOutside(table), 2);
  // The environment handle ends the transactions of its connections.
  Run("INSERT INTO " + table + " VALUES (4)");
  KESTRION_ASSERT_OK(SQLEndTran(SQL_HANDLE_ENV, env_, SQL_COMMIT), SQL_HANDLE_ENV, env_);
  EXPECT_EQ(CountFromOutside(table), 3);
}

TEST_F(TransactionTest, AutocommitBackOnCommitsAndAutocommitKeepsEachStatement) {
  const std::string table = TableName("tx");
  Run("CREATE TABLE " + table + " (id INTEGER)");
  Run("INSERT INTO " + table + " VALUES (1)");
  EXPECT_EQ(CountFromOutside(table), 1);
  SetAutocommit(false);
  Run("INSERT INTO " + table + " VALUES (2)");
  SetAutocommit(true);
  EXPECT_EQ(CountFromOutside(table), 2);
  // A rollback with autocommit on has nothing to undo.
  Run("INSERT INTO " + table + " VALUES (3)");
  KESTRION_EXPECT_OK(SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK), SQL_HANDLE_DBC, dbc_);
  EXPECT_EQ(CountFromOutside(table), 3);
}

// Disconnecting with an open transaction does not keep its changes.
TEST_F(TransactionTest, DisconnectWithoutCommitKeepsNothing) {
  const std::string table = TableName("tx");
  Run("CREATE TABLE " + table + " (id INTEGER)");
  SetAutocommit(false);
  Run("INSERT INTO " + table + " VALUES (1)");
  SQLRETURN rc = SQLDisconnect(dbc_);
  // ODBC lets the driver refuse (25000) with an open transaction; then the
  // application rolls back first.
  if (!SQL_SUCCEEDED(rc)) {
    EXPECT_EQ(FirstState(SQL_HANDLE_DBC, dbc_), "25000");
    KESTRION_ASSERT_OK(SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK), SQL_HANDLE_DBC, dbc_);
    KESTRION_ASSERT_OK(SQLDisconnect(dbc_), SQL_HANDLE_DBC, dbc_);
  }
  SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
  dbc_ = nullptr;
  EXPECT_EQ(CountFromOutside(table), 0);
}

// A statement that failed earlier on the connection does not fail a later
// commit: the commit succeeds and keeps the data, on the connection and on
// the environment, with autocommit off and on.
TEST_F(TransactionTest, CommitAfterAFailedStatementSucceeds) {
  const std::string table = TableName("txerr");
  Run("CREATE TABLE " + table + " (id INTEGER PRIMARY KEY)");
  for (bool autocommit : {false, true}) {
    SCOPED_TRACE(autocommit ? "autocommit on" : "autocommit off");
    Run("DELETE FROM " + table);
    SetAutocommit(autocommit);
    SQLHSTMT stmt = NewStatement();
    ASSERT_TRUE(ExecDirect(stmt, "INSERT INTO " + table + " VALUES (1)"));
    std::u16string bad = Utf16("INSERT INTO " + table + " VALUES (1)");
    EXPECT_EQ(SQLExecDirectW(stmt, Wide(bad), SQL_NTS), SQL_ERROR);
    ASSERT_TRUE(ExecDirect(stmt, "INSERT INTO " + table + " VALUES (2)"));
    std::u16string worse = Utf16("SELECT FROM WHERE");
    EXPECT_EQ(SQLExecDirectW(stmt, Wide(worse), SQL_NTS), SQL_ERROR);
    KESTRION_EXPECT_OK(SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_COMMIT), SQL_HANDLE_DBC, dbc_);
    EXPECT_EQ(CountFromOutside(table), 2);
    ASSERT_TRUE(ExecDirect(stmt, "INSERT INTO " + table + " VALUES (3)"));
    EXPECT_EQ(SQLExecDirectW(stmt, Wide(bad), SQL_NTS), SQL_ERROR);
    KESTRION_EXPECT_OK(SQLEndTran(SQL_HANDLE_ENV, env_, SQL_COMMIT), SQL_HANDLE_ENV, env_);
    EXPECT_EQ(CountFromOutside(table), 3);
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  }
}

}  // namespace
}  // namespace kestrion_dm
