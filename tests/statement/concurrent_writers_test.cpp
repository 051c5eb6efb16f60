// Several writers on one development server: with autocommit off each
// transaction takes the write lock when it starts and waits for it, so all
// writers succeed; readers are not held up by an open write transaction; a
// wait that runs out is an error the application can retry.
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "tests/statement/statement_fixture.h"

namespace kestrion_test {
namespace {

using Clock = std::chrono::steady_clock;

void SetAutocommit(SQLHDBC dbc, bool on) {
  SQLSetConnectAttrW(dbc, SQL_ATTR_AUTOCOMMIT,
                     reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF)),
                     0);
}

SQLRETURN RunOn(OdbcHandles& h, const std::string& sql, std::string* diagnostics = nullptr) {
  SQLHSTMT s = nullptr;
  SQLAllocHandle(SQL_HANDLE_STMT, h.dbc, &s);
  SQLRETURN rc = ExecDirect(s, sql);
  if (diagnostics) *diagnostics = Diagnostics(SQL_HANDLE_STMT, s);
  SQLFreeHandle(SQL_HANDLE_STMT, s);
  return rc;
}

long long CountRows(OdbcHandles& h, const std::string& sql) {
  SQLHSTMT s = nullptr;
  SQLAllocHandle(SQL_HANDLE_STMT, h.dbc, &s);
  long long n = -1;
  if (SQL_SUCCEEDED(ExecDirect(s, sql)) && SQLFetch(s) == SQL_SUCCESS) {
    SQLBIGINT v = 0;
    SQLLEN ind = 0;
    if (SQL_SUCCEEDED(SQLGetData(s, 1, SQL_C_SBIGINT, &v, 0, &ind))) n = v;
  }
  SQLFreeHandle(SQL_HANDLE_STMT, s);
  return n;
}

TEST(ConcurrentWriters, ThirtyTwoClientsCommittingEveryTenRowsAllSucceed) {
  // The writers queue for the lock; a generous wait keeps a slow (sanitizer)
  // build from turning a long queue into time-outs.
  DevServer server({"--busy-timeout", "60000"});
  ASSERT_TRUE(server.ok()) << server.error();
  {
    OdbcHandles setup;
    ASSERT_TRUE(SQL_SUCCEEDED(setup.Connect(server.port())));
    ASSERT_TRUE(SQL_SUCCEEDED(RunOn(setup, "CREATE TABLE w (client INTEGER, n INTEGER)")));
    SQLDisconnect(setup.dbc);
  }
  constexpr int kClients = 32, kRows = 200, kCommitEvery = 10;
  std::mutex mutex;
  std::vector<std::string> failures;
  std::vector<std::thread> threads;
  for (int client = 0; client < kClients; ++client) {
    threads.emplace_back([&, client] {
      auto fail = [&](const std::string& what) {
        std::lock_guard<std::mutex> lock(mutex);
        failures.push_back("client " + std::to_string(client) + ": " + what);
      };
      OdbcHandles h;
      if (!SQL_SUCCEEDED(h.Connect(server.port()))) return fail(Diagnostics(SQL_HANDLE_DBC, h.dbc));
      SetAutocommit(h.dbc, false);
      SQLHSTMT s = nullptr;
      SQLAllocHandle(SQL_HANDLE_STMT, h.dbc, &s);
      SQLINTEGER who = client, n = 0;
      SQLBindParameter(s, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &who, 0, nullptr);
      SQLBindParameter(s, 2, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &n, 0, nullptr);
      if (!SQL_SUCCEEDED(Prepare(s, "INSERT INTO w VALUES (?, ?)"))) return fail(Diagnostics(SQL_HANDLE_STMT, s));
      for (n = 1; n <= kRows; ++n) {
        if (!SQL_SUCCEEDED(SQLExecute(s))) return fail("row " + std::to_string(n) + ": " + Diagnostics(SQL_HANDLE_STMT, s));
        if (n % kCommitEvery == 0 && !SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, h.dbc, SQL_COMMIT)))
          return fail("commit at " + std::to_string(n) + ": " + Diagnostics(SQL_HANDLE_DBC, h.dbc));
      }
      SQLFreeHandle(SQL_HANDLE_STMT, s);
      SQLDisconnect(h.dbc);
    });
  }
  for (auto& t : threads) t.join();
  for (const std::string& f : failures) ADD_FAILURE() << f;

  OdbcHandles check;
  ASSERT_TRUE(SQL_SUCCEEDED(check.Connect(server.port())));
  EXPECT_EQ(CountRows(check, "SELECT COUNT(*) FROM w"), kClients * kRows);
  // Every client's rows 1..200, each once.
  EXPECT_EQ(CountRows(check, "SELECT COUNT(*) FROM (SELECT client FROM w GROUP BY client "
                             "HAVING COUNT(DISTINCT n) = 200 AND MIN(n) = 1 AND MAX(n) = 200)"),
            kClients);
  SQLDisconnect(check.dbc);
}

TEST(ConcurrentWriters, ReaderIsNotBlockedAndAWaitThatRunsOutCanBeRetried) {
  DevServer server({"--busy-timeout", "400"});
  ASSERT_TRUE(server.ok()) << server.error();
  OdbcHandles writer, second, reader;
  ASSERT_TRUE(SQL_SUCCEEDED(writer.Connect(server.port())));
  ASSERT_TRUE(SQL_SUCCEEDED(second.Connect(server.port())));
  ASSERT_TRUE(SQL_SUCCEEDED(reader.Connect(server.port())));
  ASSERT_TRUE(SQL_SUCCEEDED(RunOn(writer, "CREATE TABLE r (a INTEGER)")));
  ASSERT_TRUE(SQL_SUCCEEDED(RunOn(writer, "INSERT INTO r VALUES (1)")));

  // The writer's transaction holds the write lock with a row not committed.
  SetAutocommit(writer.dbc, false);
  ASSERT_TRUE(SQL_SUCCEEDED(RunOn(writer, "INSERT INTO r VALUES (2)")));

  // A reader answers at once with the committed data.
  auto start = Clock::now();
  EXPECT_EQ(CountRows(reader, "SELECT COUNT(*) FROM r"), 1);
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(300));

  // A second writer waits for the lock, then fails with the busy error.
  SetAutocommit(second.dbc, false);
  std::string diagnostics;
  start = Clock::now();
  EXPECT_EQ(RunOn(second, "INSERT INTO r VALUES (3)", &diagnostics), SQL_ERROR);
  const auto waited = Clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(350));
  EXPECT_LT(waited, std::chrono::seconds(5));
  // The server's busy error, classed as a time-out (the wait ran out).
  EXPECT_EQ(diagnostics.rfind("HYT00 4005 ", 0), 0u) << diagnostics;

  // Once the first commits, the retry goes through.
  ASSERT_TRUE(SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, writer.dbc, SQL_COMMIT)));
  EXPECT_TRUE(SQL_SUCCEEDED(RunOn(second, "INSERT INTO r VALUES (3)", &diagnostics))) << diagnostics;
  EXPECT_TRUE(SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, second.dbc, SQL_COMMIT)));
  EXPECT_EQ(CountRows(reader, "SELECT COUNT(*) FROM r"), 3);
  for (OdbcHandles* h : {&writer, &second, &reader}) SQLDisconnect(h->dbc);
}

}  // namespace
}  // namespace kestrion_test
