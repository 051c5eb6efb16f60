// SQLCancel from a second thread while a call waits for the server, and the
// query time-out, through the Driver Manager. Against a server that
// announces the cancel capability the call answers HY008 (HYT00) and the
// connection goes on; against one that does not, the link is closed and the
// connection reports itself dead. The suite's name puts it among the thread
// tests that the ThreadSanitizer build runs.
#include <atomic>
#include <chrono>
#include <functional>
#include <random>
#include <thread>

#include "tests/dm/statements_fixture.h"

namespace kestrion_dm {
namespace {

using Clock = std::chrono::steady_clock;

// Runs for far longer than any test waits.
const char* const kEndless =
    "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 2000000000) "
    "SELECT count(*) FROM c";

enum class Waiting { kExecute, kPageFetch, kCatalog };

std::string NameOf(Waiting w) {
  switch (w) {
    case Waiting::kExecute: return "execute";
    case Waiting::kPageFetch: return "page fetch";
    case Waiting::kCatalog: return "catalog call";
  }
  return "?";
}

struct Outcome {
  SQLRETURN rc = SQL_SUCCESS;
  SQLRETURN cancel_rc = SQL_SUCCESS;
  double seconds = 0;
  std::string state;
  std::string diagnostics;
};

class ThreadsCancel : public StatementsTest {
 public:
  static void SetUpTestSuite() {
    StatementsTest::SetUpTestSuite();
    // FETCH-RESULT and catalog queries take 30 s unless cancelled.
    const std::vector<std::string> slow = {"--sample", "--delay-fetch", "30000", "--delay-catalog", "30000"};
    slow_ = std::make_unique<kestrion_test::DevServer>(slow);
    std::vector<std::string> base = slow;
    base.push_back("--no-capabilities");
    base_ = std::make_unique<kestrion_test::DevServer>(base);
  }
  static void TearDownTestSuite() {
    slow_.reset();
    base_.reset();
    StatementsTest::TearDownTestSuite();
  }

 protected:
  static std::string On(const kestrion_test::DevServer& server) {
    return "DRIVER={Kestrion};Server=127.0.0.1;Port=" + std::to_string(server.port()) +
           ";UID=tester;PWD=secret;LoginTimeout=10;DefaultPageSize=2";
  }

  // Runs `call` on this thread while another calls SQLCancel on `stmt`
  // after `after_ms`.
  static Outcome CancelDuring(SQLHSTMT stmt, int after_ms, const std::function<SQLRETURN()>& call) {
    Outcome out;
    std::thread canceller([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(after_ms));
      out.cancel_rc = SQLCancel(stmt);
    });
    const auto start = Clock::now();
    out.rc = call();
    out.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    canceller.join();
    out.state = FirstState(SQL_HANDLE_STMT, stmt);
    out.diagnostics = Diagnostics(SQL_HANDLE_STMT, stmt);
    return out;
  }

  // Brings `stmt` to the point where the next call waits for the server,
  // and answers that call.
  std::function<SQLRETURN()> Prepare(Waiting what, SQLHSTMT stmt) {
    static std::u16string endless = Utf16(kEndless);
    switch (what) {
      case Waiting::kExecute:
        return [stmt] { return SQLExecDirectW(stmt, Wide(endless), SQL_NTS); };
      case Waiting::kPageFetch:
        // The first page holds two rows; the third row needs FETCH-RESULT.
        EXPECT_TRUE(ExecDirect(stmt, "SELECT id FROM customers ORDER BY id"));
        EXPECT_EQ(SQLFetch(stmt), SQL_SUCCESS);
        EXPECT_EQ(SQLFetch(stmt), SQL_SUCCESS);
        return [stmt] { return SQLFetch(stmt); };
      case Waiting::kCatalog:
        return [stmt] { return SQLTablesW(stmt, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0); };
    }
    return {};
  }

  static bool Dead(SQLHDBC dbc) {
    SQLUINTEGER dead = SQL_CD_FALSE;
    SQLGetConnectAttr(dbc, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr);
    return dead == SQL_CD_TRUE;
  }

  // The statement's next query answers `value`.
  void ExpectAnswer(SQLHSTMT stmt, int value) {
    SQLFreeStmt(stmt, SQL_CLOSE);
    ASSERT_TRUE(ExecDirect(stmt, "SELECT " + std::to_string(value)));
    ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS) << Diagnostics(SQL_HANDLE_STMT, stmt);
    SQLINTEGER got = 0;
    SQLLEN ind = 0;
    ASSERT_TRUE(SQL_SUCCEEDED(SQLGetData(stmt, 1, SQL_C_SLONG, &got, 0, &ind)));
    EXPECT_EQ(got, value);
    SQLFreeStmt(stmt, SQL_CLOSE);
  }

  static std::unique_ptr<kestrion_test::DevServer> slow_;
  static std::unique_ptr<kestrion_test::DevServer> base_;
};

std::unique_ptr<kestrion_test::DevServer> ThreadsCancel::slow_;
std::unique_ptr<kestrion_test::DevServer> ThreadsCancel::base_;

TEST_F(ThreadsCancel, AWaitingCallAnswersHY008AndTheConnectionGoesOnWhenTheServerCanCancel) {
  ASSERT_TRUE(slow_->ok()) << slow_->error();
  for (Waiting what : {Waiting::kExecute, Waiting::kPageFetch, Waiting::kCatalog}) {
    SCOPED_TRACE(NameOf(what));
    SQLHDBC dbc = Connect(On(*slow_));
    ASSERT_NE(dbc, nullptr);
    SQLHSTMT stmt = NewStatement(dbc);
    const Outcome o = CancelDuring(stmt, 300, Prepare(what, stmt));
    EXPECT_EQ(o.cancel_rc, SQL_SUCCESS);
    EXPECT_EQ(o.rc, SQL_ERROR);
    EXPECT_EQ(o.state, "HY008") << o.diagnostics;
    EXPECT_LT(o.seconds, 2.5);
    EXPECT_FALSE(Dead(dbc));
    ExpectAnswer(stmt, 42);
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    SQLDisconnect(dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
  }
}

// A parameter array stops at SQLCancel: the sets that ran keep their
// statuses and rows, the rest read SQL_PARAM_UNUSED, the call answers HY008
// (one request per set against a base-protocol server, several per send
// against one that pipelines). A new connection works afterwards.
TEST_F(ThreadsCancel, AParameterArrayStopsAtTheCancelAndKeepsTheSetsThatRan) {
  for (const kestrion_test::DevServer* server : {slow_.get(), base_.get()}) {
    ASSERT_TRUE(server->ok()) << server->error();
    SCOPED_TRACE(server == slow_.get() ? "capabilities" : "base protocol");
    SQLHDBC dbc = Connect(On(*server));
    ASSERT_NE(dbc, nullptr);
    SQLHSTMT stmt = NewStatement(dbc);
    const std::string table = TableName("cancel_array");
    ASSERT_TRUE(ExecDirect(stmt, "CREATE TABLE " + table + " (n INTEGER)"));
    SQLFreeStmt(stmt, SQL_CLOSE);
    // Each set counts to 200 000 before it inserts: a few milliseconds.
    std::u16string insert = Utf16(
        "INSERT INTO " + table + " SELECT ? FROM (WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL "
        "SELECT x + 1 FROM c WHERE x < 200000) SELECT max(x) FROM c)");
    ASSERT_TRUE(SQL_SUCCEEDED(SQLPrepareW(stmt, Wide(insert), SQL_NTS)));
    constexpr SQLULEN kSets = 5000;
    std::vector<SQLINTEGER> values(kSets);
    for (SQLULEN i = 0; i < kSets; ++i) values[i] = static_cast<SQLINTEGER>(i);
    std::vector<SQLUSMALLINT> statuses(kSets, 0xFFFF);
    SQLULEN processed = 0;
    SQLSetStmtAttr(stmt, SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(kSets), 0);
    SQLSetStmtAttr(stmt, SQL_ATTR_PARAM_STATUS_PTR, statuses.data(), 0);
    SQLSetStmtAttr(stmt, SQL_ATTR_PARAMS_PROCESSED_PTR, &processed, 0);
    SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, values.data(), 0, nullptr);
    const Outcome o = CancelDuring(stmt, 300, [stmt] { return SQLExecute(stmt); });
    EXPECT_EQ(o.rc, SQL_ERROR) << o.diagnostics;
    EXPECT_NE(o.diagnostics.find("HY008"), std::string::npos) << o.diagnostics;
    EXPECT_LT(o.seconds, 5.0);
    EXPECT_EQ(statuses[kSets - 1], SQL_PARAM_UNUSED);
    SQLLEN succeeded = 0;
    for (SQLUSMALLINT st : statuses) succeeded += st == SQL_PARAM_SUCCESS ? 1 : 0;
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    // A cancel that lands inside a pipelined window may cost the link (the
    // sets in flight then read as failed); the rows stored are the sets that
    // succeeded either way.
    if (!Dead(dbc)) {
      SQLHSTMT count = NewStatement(dbc);
      ASSERT_TRUE(ExecDirect(count, "SELECT COUNT(*) FROM " + table));
      ASSERT_EQ(SQLFetch(count), SQL_SUCCESS);
      SQLINTEGER stored = -1;
      SQLGetData(count, 1, SQL_C_SLONG, &stored, 0, nullptr);
      EXPECT_EQ(stored, succeeded);
      SQLFreeHandle(SQL_HANDLE_STMT, count);
    }
    SQLDisconnect(dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLHDBC again = Connect(On(*server));
    ASSERT_NE(again, nullptr);
    SQLHSTMT next = NewStatement(again);
    ExpectAnswer(next, 7);
    SQLFreeHandle(SQL_HANDLE_STMT, next);
    SQLDisconnect(again);
    SQLFreeHandle(SQL_HANDLE_DBC, again);
  }
}

TEST_F(ThreadsCancel, WithoutTheCapabilityTheLinkIsClosedAndTheConnectionIsDead) {
  ASSERT_TRUE(base_->ok()) << base_->error();
  for (Waiting what : {Waiting::kExecute, Waiting::kPageFetch, Waiting::kCatalog}) {
    SCOPED_TRACE(NameOf(what));
    SQLHDBC dbc = Connect(On(*base_));
    ASSERT_NE(dbc, nullptr);
    SQLHSTMT stmt = NewStatement(dbc);
    const Outcome o = CancelDuring(stmt, 300, Prepare(what, stmt));
    EXPECT_EQ(o.rc, SQL_ERROR);
    EXPECT_EQ(o.state, "HY008") << o.diagnostics;
    EXPECT_LT(o.seconds, 2.0);
    EXPECT_TRUE(Dead(dbc));
    SQLFreeStmt(stmt, SQL_CLOSE);
    std::u16string next = Utf16("SELECT 42");
    EXPECT_EQ(SQLExecDirectW(stmt, Wide(next), SQL_NTS), SQL_ERROR);
    EXPECT_EQ(FirstState(SQL_HANDLE_STMT, stmt), "08S01");
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    SQLDisconnect(dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
  }
}

TEST_F(ThreadsCancel, TheQueryTimeOutCancelsAndKeepsTheConnectionOnlyWhenTheServerCanCancel) {
  ASSERT_TRUE(base_->ok()) << base_->error();
  for (bool capable : {true, false}) {
    SCOPED_TRACE(capable ? "cancel capability" : "base protocol");
    SQLHDBC dbc = capable ? dbc_ : Connect(On(*base_));
    ASSERT_NE(dbc, nullptr);
    SQLHSTMT stmt = NewStatement(dbc);
    STMT_OK(SQLSetStmtAttr(stmt, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(1), 0));
    std::u16string endless = Utf16(kEndless);
    const auto start = Clock::now();
    EXPECT_EQ(SQLExecDirectW(stmt, Wide(endless), SQL_NTS), SQL_ERROR);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    EXPECT_EQ(FirstState(SQL_HANDLE_STMT, stmt), "HYT00") << Diagnostics(SQL_HANDLE_STMT, stmt);
    EXPECT_GE(seconds, 0.9);
    EXPECT_LT(seconds, 3.0);
    EXPECT_EQ(Dead(dbc), !capable);
    if (capable) ExpectAnswer(stmt, 7);
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    if (!capable) {
      SQLDisconnect(dbc);
      SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    }
  }
}

TEST_F(ThreadsCancel, CancelsRacingCompletionsGiveTheResultOrHY008AndNeverAMisalignedReply) {
  SQLHSTMT stmt = NewStatement();
  std::mt19937 random(15);
  int canceled = 0, completed = 0;
  for (int round = 1; round <= 30; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    // A few milliseconds of work, so that cancels land before, during and
    // after it.
    std::u16string sql = Utf16("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 5000) "
                               "SELECT " + std::to_string(round) + " + 0 * count(*) FROM c");
    const int after = static_cast<int>(random() % 12);
    const Outcome o = CancelDuring(stmt, after, [&] { return SQLExecDirectW(stmt, Wide(sql), SQL_NTS); });
    if (o.rc == SQL_ERROR) {
      ASSERT_EQ(o.state, "HY008") << o.diagnostics;
      ++canceled;
    } else {
      ASSERT_TRUE(SQL_SUCCEEDED(o.rc)) << o.diagnostics;
      ++completed;
      // A cancel that came after the call ended closed the cursor instead.
      if (SQLFetch(stmt) == SQL_SUCCESS) {
        SQLINTEGER got = 0;
        SQLLEN ind = 0;
        SQLGetData(stmt, 1, SQL_C_SLONG, &got, 0, &ind);
        EXPECT_EQ(got, round);
      }
    }
    ExpectAnswer(stmt, 1000 + round);
    ASSERT_FALSE(Dead(dbc_));
  }
  RecordProperty("canceled", canceled);
  RecordProperty("completed", completed);
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
}

}  // namespace
}  // namespace kestrion_dm
