// Results read forward ask for their next page while the one in hand is
// decoded. These tests read such results while other requests go out on
// the same connection (another statement's fetches and inserts, a close, a
// commit, freeing the statement) and check that every row arrives once, in
// order, and that the requests in between get their own replies. Each runs
// against a server that announces its capabilities and a base-protocol one.
#include <string>
#include <utility>
#include <vector>

#include "tests/dm/statements_fixture.h"

namespace kestrion_dm {
namespace {

constexpr int kRows = 1000;  // ten pages of the default page size

template <class Server>
class ReadAheadTest : public StatementsTest {
 public:
  static void SetUpTestSuite() { StartServer(Server::Arguments()); }

 protected:
  void SetUp() override {
    StatementsTest::SetUp();
    table_ = TableName("ahead");
    Run("CREATE TABLE " + table_ + " (id INTEGER, label VARCHAR(20))");
    Run("INSERT INTO " + table_ +
        " WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < " +
        std::to_string(kRows) + ") SELECT x, 'row ' || x FROM c");
  }

  // A forward-only cursor over the rows in id order (ids from `first`).
  struct Cursor {
    SQLHSTMT stmt = nullptr;
    SQLINTEGER id = 0;
    char label[24] = {};
    SQLLEN id_ind = 0;
    SQLLEN label_ind = 0;
    int next = 1;  // the id the next fetch must bring
  };

  void Open(Cursor& c, int first = 1, SQLHDBC dbc = nullptr) {
    c.stmt = NewStatement(dbc);
    c.next = first;
    ASSERT_TRUE(SQL_SUCCEEDED(SQLBindCol(c.stmt, 1, SQL_C_SLONG, &c.id, 0, &c.id_ind)));
    ASSERT_TRUE(SQL_SUCCEEDED(SQLBindCol(c.stmt, 2, SQL_C_CHAR, c.label, sizeof c.label, &c.label_ind)));
    ASSERT_TRUE(ExecDirect(c.stmt, "SELECT id, label FROM " + table_ + " WHERE id >= " +
                                       std::to_string(first) + " ORDER BY id"));
  }

  // Fetches `n` rows and checks each is the next one.
  void Read(Cursor& c, int n) {
    for (int k = 0; k < n; ++k) {
      const SQLRETURN rc = SQLFetch(c.stmt);
      ASSERT_EQ(rc, SQL_SUCCESS) << "at id " << c.next << "\n" << Diagnostics(SQL_HANDLE_STMT, c.stmt);
      ASSERT_EQ(c.id, c.next);
      ASSERT_EQ(std::string(c.label), "row " + std::to_string(c.next));
      ++c.next;
    }
  }

  void ReadToEnd(Cursor& c) {
    Read(c, kRows + 1 - c.next);
    ASSERT_EQ(SQLFetch(c.stmt), SQL_NO_DATA) << Diagnostics(SQL_HANDLE_STMT, c.stmt);
  }

  // The number of rows of the table, counted on a statement of its own.
  long CountRows(SQLHDBC dbc = nullptr) {
    SQLHSTMT stmt = NewStatement(dbc);
    EXPECT_TRUE(ExecDirect(stmt, "SELECT COUNT(*) FROM " + table_));
    SQLINTEGER count = -1;
    SQLLEN ind = 0;
    EXPECT_EQ(SQLFetch(stmt), SQL_SUCCESS) << Diagnostics(SQL_HANDLE_STMT, stmt);
    EXPECT_TRUE(SQL_SUCCEEDED(SQLGetData(stmt, 1, SQL_C_SLONG, &count, 0, &ind)));
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return count;
  }

  std::string table_;
};

using Servers = ::testing::Types<Announced, BaseProtocol>;
TYPED_TEST_SUITE(ReadAheadTest, Servers);

// Two cursors on one connection read in turns of a page and a half, so
// that each one's request goes out while the other's next page is on its
// way; inserts and counts on a third statement come in between.
TYPED_TEST(ReadAheadTest, CursorsTakingTurnsOnOneConnectionEachGetTheirRows) {
  typename TestFixture::Cursor a, b;
  this->Open(a);
  this->Open(b, 301);
  while (a.next <= kRows || b.next <= kRows) {
    if (a.next <= kRows) this->Read(a, std::min(150, kRows + 1 - a.next));
    if (b.next <= kRows) this->Read(b, std::min(150, kRows + 1 - b.next));
    if (a.next == 451) {
      this->Run("INSERT INTO " + this->table_ + " VALUES (5000, 'extra')");
      EXPECT_EQ(this->CountRows(), kRows + 1);
    }
  }
  EXPECT_EQ(SQLFetch(a.stmt), SQL_NO_DATA);
  EXPECT_EQ(SQLFetch(b.stmt), SQL_NO_DATA);
  SQLFreeHandle(SQL_HANDLE_STMT, a.stmt);
  SQLFreeHandle(SQL_HANDLE_STMT, b.stmt);
}

// Stopping part way: closing the cursor, and freeing the statement, each
// leave the connection in step.
TYPED_TEST(ReadAheadTest, StoppingPartWayLeavesTheConnectionInStep) {
  typename TestFixture::Cursor c;
  this->Open(c);
  this->Read(c, 250);
  ASSERT_TRUE(SQL_SUCCEEDED(SQLFreeStmt(c.stmt, SQL_CLOSE)));
  EXPECT_EQ(this->CountRows(), kRows);

  // Executed again after the close: the rows start over; then the
  // statement is freed part way.
  ASSERT_TRUE(this->ExecDirect(c.stmt, "SELECT id, label FROM " + this->table_ + " ORDER BY id"));
  c.next = 1;
  this->Read(c, 350);
  SQLFreeHandle(SQL_HANDLE_STMT, c.stmt);
  EXPECT_EQ(this->CountRows(), kRows);

  // A whole read afterwards is complete.
  typename TestFixture::Cursor d;
  this->Open(d);
  this->ReadToEnd(d);
  SQLFreeHandle(SQL_HANDLE_STMT, d.stmt);
}

// With autocommit off, a commit and a rollback between fetches go out
// while a page is on its way; the transaction's insert is kept or undone.
TYPED_TEST(ReadAheadTest, TransactionEndsBetweenFetches) {
  ASSERT_TRUE(SQL_SUCCEEDED(SQLSetConnectAttr(this->dbc_, SQL_ATTR_AUTOCOMMIT,
                                              reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0)));
  // The COMMIT keeps row 5001, the ROLLBACK undoes row 5002.
  for (const auto& [id, end] : {std::pair{5001, SQL_COMMIT}, std::pair{5002, SQL_ROLLBACK}}) {
    typename TestFixture::Cursor c;
    this->Open(c);
    this->Read(c, 150);
    this->Run("INSERT INTO " + this->table_ + " VALUES (" + std::to_string(id) + ", 'x')");
    this->Read(c, 150);
    ASSERT_TRUE(SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, this->dbc_, static_cast<SQLSMALLINT>(end))))
        << Diagnostics(SQL_HANDLE_DBC, this->dbc_);
    SQLFreeHandle(SQL_HANDLE_STMT, c.stmt);
  }
  EXPECT_EQ(this->CountRows(), kRows + 1);
}

// Disconnecting while a page is on its way, then connecting again.
TYPED_TEST(ReadAheadTest, DisconnectWhileAPageIsOnItsWay) {
  SQLHDBC dbc = this->Connect(this->ConnectionString());
  ASSERT_NE(dbc, nullptr);
  typename TestFixture::Cursor c;
  this->Open(c, 1, dbc);
  this->Read(c, 150);
  EXPECT_EQ(SQLDisconnect(dbc), SQL_SUCCESS) << Diagnostics(SQL_HANDLE_DBC, dbc);
  SQLFreeHandle(SQL_HANDLE_DBC, dbc);
  EXPECT_EQ(this->CountRows(), kRows);
}

}  // namespace
}  // namespace kestrion_dm
