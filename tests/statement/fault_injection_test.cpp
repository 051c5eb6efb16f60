// The driver against a development server behind a proxy that damages its
// replies: links closed inside a header, inside a page and between pages,
// stalls, flipped bytes, stray replies and hostile counts. Every fault ends
// in an error whose first record names the cause, within the time-outs;
// cleanup succeeds and a new connection works afterwards.
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "tests/statement/statement_fixture.h"
#include "tests/support/fault_proxy.h"

namespace kestrion_test {
namespace {

using Clock = std::chrono::steady_clock;
using Fault = FaultProxy::Fault;
using Kind = FaultProxy::Fault::Kind;

double SecondsSince(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

// 50 rows in pages of 10: replies 0 LOGIN, 1 PREPARE, 2 EXECUTE with rows
// 1-10, 3 the page of rows 11-20, and so on.
const std::string kQuery =
    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 50) "
    "SELECT i, 'row ' || i FROM n";

std::string FirstState(SQLSMALLINT type, SQLHANDLE handle) {
  SQLWCHAR state[6] = {};
  SQLINTEGER native = 0;
  SQLSMALLINT length = 0;
  if (!SQL_SUCCEEDED(SQLGetDiagRecW(type, handle, 1, state, &native, nullptr, 0, &length))) return "";
  return corvane::VString::FromUnits(reinterpret_cast<const char16_t*>(state), 5).ToUtf8();
}

class FaultInjection : public ::testing::Test {
 protected:
  // The faults are placed by the requests and replies of the base protocol,
  // so the server announces no capabilities here.
  static void SetUpTestSuite() {
    server_ = std::make_unique<DevServer>(std::vector<std::string>{"--no-capabilities"});
  }
  static void TearDownTestSuite() { server_.reset(); }
  void SetUp() override {
    ASSERT_TRUE(server_ && server_->ok()) << (server_ ? server_->error() : "");
    proxy_ = std::make_unique<FaultProxy>(server_->port());
    ASSERT_GT(proxy_->port(), 0);
  }

  // Connects through the proxy with the given faults and one-second
  // time-outs (a stall longer than that must end the call).
  SQLRETURN Connect(std::vector<Fault> faults, const std::string& extra = "") {
    proxy_->Plan(std::move(faults));
    h = std::make_unique<OdbcHandles>();
    const SQLRETURN rc =
        h->Connect(proxy_->port(), ";QueryTimeout=1;DefaultPageSize=10" + extra, 1);
    if (SQL_SUCCEEDED(rc)) stmt = h->NewStatement();
    return rc;
  }

  // Fetches every row of kQuery; answers the return code of the call that
  // failed (SQL_NO_DATA when all 50 rows came, each right).
  SQLRETURN FetchAll(int& rows) {
    rows = 0;
    const SQLRETURN rc = ExecDirect(stmt, kQuery);
    if (!SQL_SUCCEEDED(rc)) return rc;
    for (;;) {
      const SQLRETURN f = SQLFetch(stmt);
      if (f != SQL_SUCCESS) return f;
      SQLINTEGER i = 0;
      SQLLEN ind = 0;
      if (SQLGetData(stmt, 1, SQL_C_SLONG, &i, 0, &ind) != SQL_SUCCESS || i != rows + 1) {
        ADD_FAILURE() << "row " << rows + 1 << " read as " << i;
        return SQL_ERROR;
      }
      ++rows;
    }
  }

  // Cleanup after the fault succeeds, and a new connection without faults
  // reads every row.
  void ExpectRecovery() {
    const auto start = Clock::now();
    EXPECT_EQ(SQLFreeStmt(stmt, SQL_CLOSE), SQL_SUCCESS) << Diagnostics(SQL_HANDLE_STMT, stmt);
    EXPECT_EQ(SQLFreeHandle(SQL_HANDLE_STMT, stmt), SQL_SUCCESS);
    stmt = nullptr;
    EXPECT_TRUE(SQL_SUCCEEDED(SQLDisconnect(h->dbc))) << Diagnostics(SQL_HANDLE_DBC, h->dbc);
    EXPECT_LT(SecondsSince(start), 2.5);
    ASSERT_TRUE(SQL_SUCCEEDED(Connect({}))) << Diagnostics(SQL_HANDLE_DBC, h->dbc);
    int rows = 0;
    EXPECT_EQ(FetchAll(rows), SQL_NO_DATA) << Diagnostics(SQL_HANDLE_STMT, stmt);
    EXPECT_EQ(rows, 50);
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    stmt = nullptr;
    SQLDisconnect(h->dbc);
  }

  // Runs kQuery against one fault: it must fail with `state` first, after
  // `rows_before` good rows, within the time-outs.
  void ExpectFailure(std::vector<Fault> faults, const std::string& state, int rows_before) {
    ASSERT_TRUE(SQL_SUCCEEDED(Connect(std::move(faults)))) << Diagnostics(SQL_HANDLE_DBC, h->dbc);
    const auto start = Clock::now();
    int rows = 0;
    EXPECT_EQ(FetchAll(rows), SQL_ERROR);
    EXPECT_LT(SecondsSince(start), 3.0);
    EXPECT_EQ(rows, rows_before);
    EXPECT_EQ(FirstState(SQL_HANDLE_STMT, stmt), state) << Diagnostics(SQL_HANDLE_STMT, stmt);
    ExpectRecovery();
  }

  static std::unique_ptr<DevServer> server_;
  std::unique_ptr<FaultProxy> proxy_;
  std::unique_ptr<OdbcHandles> h;
  SQLHSTMT stmt = nullptr;
};

std::unique_ptr<DevServer> FaultInjection::server_;

Fault At(Kind kind, int reply, std::size_t at, bool in_body = false) {
  Fault f;
  f.kind = kind;
  f.reply = reply;
  f.at = at;
  f.in_body = in_body;
  return f;
}

TEST_F(FaultInjection, LinkClosedInsideAHeaderInsideAPageAndBetweenPages) {
  ExpectFailure({At(Kind::kCloseAt, 2, 12)}, "08S01", 0);
  ExpectFailure({At(Kind::kCloseAt, 3, 25, true)}, "08S01", 10);
  ExpectFailure({At(Kind::kCloseAt, 4, 0)}, "08S01", 20);
}

TEST_F(FaultInjection, StalledPageAndTrickledLoginEndAtTheTimeOut) {
  Fault stall = At(Kind::kStallAt, 3, 5, true);
  stall.stall_ms = 5000;
  ExpectFailure({stall}, "HYT00", 10);

  // One byte every 300 ms: the login time-out bounds the whole login, not
  // the silence between bytes.
  Fault trickle = At(Kind::kTrickle, 0, 0);
  trickle.stall_ms = 300;
  const auto start = Clock::now();
  EXPECT_EQ(Connect({trickle}), SQL_ERROR);
  EXPECT_LT(SecondsSince(start), 2.0);
  EXPECT_EQ(FirstState(SQL_HANDLE_DBC, h->dbc), "HYT00") << Diagnostics(SQL_HANDLE_DBC, h->dbc);
  EXPECT_EQ(SQLDisconnect(h->dbc), SQL_SUCCESS_WITH_INFO);  // not connected: 01002
}

TEST_F(FaultInjection, AFlippedStatusByteIsReadAgainAfterResynchronising) {
  // The first status byte of the second page: the page is misread, the link
  // put back in step and the page asked for again.
  ASSERT_TRUE(SQL_SUCCEEDED(Connect({At(Kind::kFlipAt, 3, 0, true)})));
  int rows = 0;
  EXPECT_EQ(FetchAll(rows), SQL_NO_DATA) << Diagnostics(SQL_HANDLE_STMT, stmt);
  EXPECT_EQ(rows, 50);
  ExpectRecovery();
}

TEST_F(FaultInjection, AStrayReplyPutsTheLinkOutOfStepUntilResynchronised) {
  Fault stray = At(Kind::kStrayAfter, 2, 0);
  stray.text = "9.9 OK\r\n\r\n";
  ASSERT_TRUE(SQL_SUCCEEDED(Connect({stray})));
  int rows = 0;
  EXPECT_EQ(FetchAll(rows), SQL_ERROR);
  EXPECT_EQ(rows, 10);
  EXPECT_EQ(FirstState(SQL_HANDLE_STMT, stmt), "HY000") << Diagnostics(SQL_HANDLE_STMT, stmt);
  // The same connection serves the next request in step.
  EXPECT_EQ(SQLFreeStmt(stmt, SQL_CLOSE), SQL_SUCCESS) << Diagnostics(SQL_HANDLE_STMT, stmt);
  EXPECT_EQ(FetchAll(rows), SQL_NO_DATA) << Diagnostics(SQL_HANDLE_STMT, stmt);
  EXPECT_EQ(rows, 50);
  ExpectRecovery();
}

TEST_F(FaultInjection, HostileCountsAndLengthsAreErrors) {
  auto rewrite = [](int reply, std::string from, std::string to) {
    Fault f = At(Kind::kRewrite, reply, 0);
    f.from = std::move(from);
    f.to = std::move(to);
    return f;
  };
  // Column counts the per-column lists disagree with, or out of range.
  ExpectFailure({rewrite(2, "Column-Count: ", "Column-Count: 32767")}, "HY000", 0);
  ExpectFailure({rewrite(2, "Column-Count: ", "Column-Count: 1")}, "HY000", 0);
  ExpectFailure({rewrite(2, "Column-Count: ", "Column-Count: -2")}, "HY000", 0);
  ExpectFailure({rewrite(2, "Column-Count: ", "Column-Count: two")}, "HY000", 0);
  // Row counts: negative, beyond 32 bits, and more than the server has.
  ExpectFailure({rewrite(2, "Row-Count: ", "Row-Count: -5")}, "HY000", 0);
  ExpectFailure({rewrite(2, "Row-Count: ", "Row-Count: 5000000000")}, "HY000", 0);
  ExpectFailure({rewrite(2, "Row-Count: ", "Row-Count: 2000000000")}, "HY000", 50);
  ExpectFailure({rewrite(2, "Row-Count-Sent: ", "Row-Count-Sent: 2000000000")}, "HY000", 0);
  // A body announced shorter or longer than its rows.
  ExpectFailure({rewrite(2, "Body-Length: ", "Body-Length: 9")}, "HY000", 0);
  ExpectFailure({rewrite(2, "Body-Length: ", "Body-Length: 99999")}, "HY000", 0);
}

TEST(DeadLink, AServerKilledUnderAnOpenCursorLeavesCleanupWorkingAnd08S01) {
  auto server = std::make_unique<DevServer>();
  ASSERT_TRUE(server->ok()) << server->error();
  OdbcHandles h;
  ASSERT_TRUE(SQL_SUCCEEDED(h.Connect(server->port(), ";DefaultPageSize=3;QueryTimeout=5")));
  SQLHSTMT stmt = h.NewStatement();
  SQLHSTMT other = h.NewStatement();
  ASSERT_EQ(SQLSetConnectAttrW(h.dbc, SQL_ATTR_AUTOCOMMIT,
                               reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0),
            SQL_SUCCESS);
  ASSERT_TRUE(SQL_SUCCEEDED(ExecDirect(stmt, kQuery))) << Diagnostics(SQL_HANDLE_STMT, stmt);
  ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS);
  server->Kill();

  // The cursor needs the next page: the link is lost.
  SQLRETURN rc = SQL_SUCCESS;
  for (int i = 0; i < 5 && rc == SQL_SUCCESS; ++i) rc = SQLFetch(stmt);
  EXPECT_EQ(rc, SQL_ERROR);
  EXPECT_EQ(FirstState(SQL_HANDLE_STMT, stmt), "08S01") << Diagnostics(SQL_HANDLE_STMT, stmt);
  SQLINTEGER dead = 0;
  SQLGetConnectAttrW(h.dbc, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr);
  EXPECT_EQ(dead, SQL_CD_TRUE);

  // Every cleanup call succeeds locally.
  EXPECT_EQ(SQLCloseCursor(stmt), SQL_SUCCESS) << Diagnostics(SQL_HANDLE_STMT, stmt);
  EXPECT_EQ(SQLFreeStmt(stmt, SQL_CLOSE), SQL_SUCCESS) << Diagnostics(SQL_HANDLE_STMT, stmt);
  // The next use says the link is lost, never a sequence error.
  EXPECT_EQ(ExecDirect(stmt, "SELECT 1"), SQL_ERROR);
  EXPECT_EQ(FirstState(SQL_HANDLE_STMT, stmt), "08S01") << Diagnostics(SQL_HANDLE_STMT, stmt);
  EXPECT_EQ(ExecDirect(other, "SELECT 1"), SQL_ERROR);
  EXPECT_EQ(FirstState(SQL_HANDLE_STMT, other), "08S01") << Diagnostics(SQL_HANDLE_STMT, other);
  // The open transaction was lost with the link.
  EXPECT_EQ(SQLEndTran(SQL_HANDLE_DBC, h.dbc, SQL_COMMIT), SQL_ERROR);
  EXPECT_EQ(FirstState(SQL_HANDLE_DBC, h.dbc), "08S01") << Diagnostics(SQL_HANDLE_DBC, h.dbc);
  EXPECT_EQ(SQLFreeHandle(SQL_HANDLE_STMT, stmt), SQL_SUCCESS);
  EXPECT_EQ(SQLFreeHandle(SQL_HANDLE_STMT, other), SQL_SUCCESS);
  EXPECT_EQ(SQLDisconnect(h.dbc), SQL_SUCCESS) << Diagnostics(SQL_HANDLE_DBC, h.dbc);

  // A new server and a new connection on the same handle work.
  server = std::make_unique<DevServer>();
  ASSERT_TRUE(server->ok());
  ASSERT_TRUE(SQL_SUCCEEDED(h.Connect(server->port()))) << Diagnostics(SQL_HANDLE_DBC, h.dbc);
  stmt = h.NewStatement();
  ASSERT_TRUE(SQL_SUCCEEDED(ExecDirect(stmt, "SELECT 1")));
  EXPECT_EQ(AllRows(stmt).size(), 1u);
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  SQLDisconnect(h.dbc);
}

}  // namespace
}  // namespace kestrion_test
