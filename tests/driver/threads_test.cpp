// Several threads allocating and freeing handles of their own connections at
// once: the registry and the children sets must stay consistent. And threads
// sharing one connection: a call on it waits for the call another thread is
// making on it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "driver/odbc.h"
#include "driver/registry.h"
#include "tests/support/dev_server.h"
#include "tests/support/fault_proxy.h"
#include "toolbox/vstring.h"

namespace {

using Clock = std::chrono::steady_clock;

TEST(Threads, ConcurrentAllocationAndFreeKeepTheRegistryConsistent) {
  SQLHENV env = nullptr;
  ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_ENV, nullptr, &env), SQL_SUCCESS);
  const size_t before = kestrion::HandleRegistry::Count();
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&] {
      for (int round = 0; round < 200; ++round) {
        SQLHDBC dbc = nullptr;
        if (SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc) != SQL_SUCCESS) {
          ++failures;
          continue;
        }
        SQLHSTMT stmts[3] = {};
        for (auto& s : stmts) {
          if (SQLAllocHandle(SQL_HANDLE_STMT, dbc, &s) != SQL_SUCCESS) ++failures;
        }
        SQLHDESC desc = nullptr;
        if (SQLAllocHandle(SQL_HANDLE_DESC, dbc, &desc) != SQL_SUCCESS) ++failures;
        if (SQLFreeHandle(SQL_HANDLE_STMT, stmts[1]) != SQL_SUCCESS) ++failures;
        if (round % 2 == 0 && SQLFreeHandle(SQL_HANDLE_DESC, desc) != SQL_SUCCESS) ++failures;
        // The rest goes with the connection.
        if (SQLFreeHandle(SQL_HANDLE_DBC, dbc) != SQL_SUCCESS) ++failures;
        if (SQLFreeHandle(SQL_HANDLE_STMT, stmts[0]) != SQL_INVALID_HANDLE) ++failures;
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(kestrion::HandleRegistry::Count(), before);
  EXPECT_EQ(SQLFreeHandle(SQL_HANDLE_ENV, env), SQL_SUCCESS);
}

}  // namespace

namespace {

// A connection through a proxy that holds back every reply after the LOGIN
// for a while, so that a call on another thread comes while the first is
// waiting for its reply.
class ThreadsSharingAConnection : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server_ = std::make_unique<kestrion_test::DevServer>(); }
  static void TearDownTestSuite() { server_.reset(); }
  void SetUp() override {
    ASSERT_TRUE(server_->ok()) << server_->error();
    proxy_ = std::make_unique<kestrion_test::FaultProxy>(server_->port());
    std::vector<kestrion_test::FaultProxy::Fault> stalls;
    for (int reply = 1; reply <= 12; ++reply) {
      kestrion_test::FaultProxy::Fault f;
      f.kind = kestrion_test::FaultProxy::Fault::Kind::kStallAt;
      f.reply = reply;
      f.stall_ms = 300;
      stalls.push_back(f);
    }
    proxy_->Plan(stalls);
    ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_ENV, nullptr, &env), SQL_SUCCESS);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc), SQL_SUCCESS);
    std::u16string connect = corvane::VString::FromUtf8(
        "DSN=*;Server=127.0.0.1;Port=" + std::to_string(proxy_->port()) + ";UID=;LoginTimeout=5");
    ASSERT_TRUE(SQL_SUCCEEDED(SQLDriverConnectW(dbc, nullptr, reinterpret_cast<SQLWCHAR*>(connect.data()),
                                                SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT)));
  }
  void TearDown() override {
    EXPECT_TRUE(SQL_SUCCEEDED(SQLDisconnect(dbc)));
    EXPECT_EQ(SQLFreeHandle(SQL_HANDLE_ENV, env), SQL_SUCCESS);
  }

  // Runs `first` on a new thread and, once that call is waiting for its
  // reply, `second` on this one; answers how long `second` took.
  template <class First, class Second>
  static Clock::duration WhileAnotherCallWaits(First&& first, Second&& second) {
    std::atomic<bool> started{false};
    std::thread runner([&] {
      started = true;
      first();
    });
    while (!started) std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const Clock::time_point asked = Clock::now();
    second();
    const Clock::duration took = Clock::now() - asked;
    runner.join();
    return took;
  }

  static SQLRETURN Exec(SQLHSTMT stmt, const std::u16string& sql) {
    std::u16string text = sql;
    return SQLExecDirectW(stmt, reinterpret_cast<SQLWCHAR*>(text.data()), SQL_NTS);
  }

  static std::unique_ptr<kestrion_test::DevServer> server_;
  std::unique_ptr<kestrion_test::FaultProxy> proxy_;
  SQLHENV env = nullptr;
  SQLHDBC dbc = nullptr;
};

std::unique_ptr<kestrion_test::DevServer> ThreadsSharingAConnection::server_;

// A statement's failure reaches it through its connection's diagnostics, so
// nothing may clear those while the statement's call reads its reply: a
// statement allocated on another thread meanwhile waits for that call
// (allocating used to clear them, and the failing statement answered
// SQL_SUCCESS without a diagnostic).
TEST_F(ThreadsSharingAConnection, AllocatingAStatementWaitsForAnotherThreadsCall) {
  SQLHSTMT first = nullptr;
  SQLHSTMT second = nullptr;
  ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &first), SQL_SUCCESS);
  ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &second), SQL_SUCCESS);
  // A first failure leaves its record on the connection too, until a call
  // on the connection clears it.
  ASSERT_EQ(Exec(first, u"SELECT no_such_column"), SQL_ERROR);

  SQLRETURN failed = SQL_SUCCESS;
  SQLRETURN allocated = SQL_ERROR;
  SQLHSTMT third = nullptr;
  const Clock::duration took = WhileAnotherCallWaits(
      [&] { failed = Exec(second, u"SELECT no_such_column"); },
      [&] { allocated = SQLAllocHandle(SQL_HANDLE_STMT, dbc, &third); });
  EXPECT_EQ(allocated, SQL_SUCCESS);
  EXPECT_EQ(failed, SQL_ERROR);
  SQLWCHAR state[6] = {};
  SQLINTEGER native = 0;
  SQLSMALLINT length = 0;
  EXPECT_EQ(SQLGetDiagRecW(SQL_HANDLE_STMT, second, 1, state, &native, nullptr, 0, &length), SQL_SUCCESS);
  EXPECT_GE(took, std::chrono::milliseconds(100)) << "the allocation did not wait for the other thread's call";
}

// Ending the transactions of the environment ends each connection's between
// the calls of other threads: the COMMIT never goes out while another thread
// waits for a reply on that link.
TEST_F(ThreadsSharingAConnection, EndingTheEnvironmentsTransactionsWaitsForAnotherThreadsCall) {
  ASSERT_EQ(SQLSetConnectAttrW(dbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0),
            SQL_SUCCESS);
  SQLHSTMT stmt = nullptr;
  ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt), SQL_SUCCESS);
  SQLRETURN queried = SQL_ERROR;
  SQLRETURN fetched = SQL_ERROR;
  SQLINTEGER value = 0;
  SQLRETURN ended = SQL_ERROR;
  const Clock::duration took = WhileAnotherCallWaits(
      [&] {
        queried = Exec(stmt, u"SELECT 42");
        if (SQL_SUCCEEDED(queried)) {
          fetched = SQLFetch(stmt);
          SQLLEN ind = 0;
          SQLGetData(stmt, 1, SQL_C_SLONG, &value, 0, &ind);
        }
      },
      [&] { ended = SQLEndTran(SQL_HANDLE_ENV, env, SQL_COMMIT); });
  EXPECT_EQ(queried, SQL_SUCCESS);
  EXPECT_EQ(fetched, SQL_SUCCESS);
  EXPECT_EQ(value, 42);
  EXPECT_EQ(ended, SQL_SUCCESS);
  EXPECT_GE(took, std::chrono::milliseconds(100)) << "the COMMIT did not wait for the other thread's call";
  EXPECT_EQ(SQLFreeHandle(SQL_HANDLE_STMT, stmt), SQL_SUCCESS);
}

}  // namespace
