// Several threads allocating and freeing handles of their own connections at
// once: the registry and the children sets must stay consistent. And threads
// sharing one connection: a call on it waits for the call another thread is
// making on it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
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

// A statement's failure reaches it through its connection's diagnostics, so
// nothing may clear those while the statement's call reads its reply. Here
// every reply after the LOGIN is held back for a while; one thread runs a
// failing statement while another allocates a statement on the same
// connection, which must wait for the first call instead of clearing the
// error it is about to receive (which made the failing statement answer
// SQL_SUCCESS).
TEST(Threads, AllocatingAStatementWaitsForAnotherThreadsCallOnTheConnection) {
  using Fault = kestrion_test::FaultProxy::Fault;
  kestrion_test::DevServer server;
  ASSERT_TRUE(server.ok()) << server.error();
  kestrion_test::FaultProxy proxy(server.port());
  std::vector<Fault> stalls;
  for (int reply = 1; reply <= 8; ++reply) {
    Fault f;
    f.kind = Fault::Kind::kStallAt;
    f.reply = reply;
    f.stall_ms = 300;
    stalls.push_back(f);
  }
  proxy.Plan(stalls);

  SQLHENV env = nullptr;
  SQLHDBC dbc = nullptr;
  ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_ENV, nullptr, &env), SQL_SUCCESS);
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc), SQL_SUCCESS);
  std::u16string connect = corvane::VString::FromUtf8(
      "DSN=*;Server=127.0.0.1;Port=" + std::to_string(proxy.port()) + ";UID=;LoginTimeout=5");
  ASSERT_TRUE(SQL_SUCCEEDED(SQLDriverConnectW(dbc, nullptr, reinterpret_cast<SQLWCHAR*>(connect.data()),
                                              SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT)));
  auto fail = [](SQLHSTMT stmt) {
    std::u16string bad = u"SELECT no_such_column";
    return SQLExecDirectW(stmt, reinterpret_cast<SQLWCHAR*>(bad.data()), SQL_NTS);
  };
  SQLHSTMT first = nullptr;
  SQLHSTMT second = nullptr;
  ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &first), SQL_SUCCESS);
  ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &second), SQL_SUCCESS);
  // A first failure leaves its record on the connection too, until a call
  // on the connection clears it.
  ASSERT_EQ(fail(first), SQL_ERROR);

  SQLRETURN failed = SQL_SUCCESS;
  std::atomic<bool> started{false};
  std::thread runner([&] {
    started = true;
    failed = fail(second);
  });
  while (!started) std::this_thread::yield();
  // Well inside the held-back reply of the runner's statement.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  SQLHSTMT third = nullptr;
  const Clock::time_point asked = Clock::now();
  const SQLRETURN allocated = SQLAllocHandle(SQL_HANDLE_STMT, dbc, &third);
  const auto waited = Clock::now() - asked;
  runner.join();

  EXPECT_EQ(allocated, SQL_SUCCESS);
  EXPECT_EQ(failed, SQL_ERROR);
  SQLWCHAR state[6] = {};
  SQLINTEGER native = 0;
  SQLSMALLINT length = 0;
  EXPECT_EQ(SQLGetDiagRecW(SQL_HANDLE_STMT, second, 1, state, &native, nullptr, 0, &length), SQL_SUCCESS);
  EXPECT_GE(waited, std::chrono::milliseconds(100)) << "the allocation did not wait for the other thread's call";

  EXPECT_TRUE(SQL_SUCCEEDED(SQLDisconnect(dbc)));
  EXPECT_EQ(SQLFreeHandle(SQL_HANDLE_ENV, env), SQL_SUCCESS);
}

}  // namespace
