// Threads through the Driver Manager (the ThreadSanitizer build runs these):
// many threads each with its own connection, and several threads sharing one
// environment and one connection while they allocate and free statements,
// execute, fetch and read diagnostics.
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "tests/dm/statements_fixture.h"

namespace kestrion_dm {
namespace {

class Threads : public StatementsTest {
 protected:
  // Failures seen on worker threads, reported on the test's own thread.
  void Fail(const std::string& what) {
    std::lock_guard<std::mutex> lock(mutex_);
    failures_.push_back(what);
  }
  void Report() {
    for (const std::string& f : failures_) ADD_FAILURE() << f;
  }

  // On `dbc`: a query with a parameter, every row fetched and read, and a
  // statement that fails, whose diagnostics are read. False on a wrong answer.
  bool Exercise(SQLHDBC dbc, int round) {
    SQLHSTMT stmt = nullptr;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt))) {
      Fail("SQLAllocHandle(STMT): " + Diagnostics(SQL_HANDLE_DBC, dbc));
      return false;
    }
    SQLINTEGER below = 10 + round % 20;
    SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &below, 0, nullptr);
    std::u16string sql = Utf16("SELECT id, name FROM customers WHERE id < ? ORDER BY id");
    bool ok = true;
    if (!SQL_SUCCEEDED(SQLExecDirectW(stmt, Wide(sql), SQL_NTS))) {
      Fail("query: " + Diagnostics(SQL_HANDLE_STMT, stmt));
      ok = false;
    } else {
      int rows = 0;
      while (SQLFetch(stmt) == SQL_SUCCESS) {
        SQLINTEGER id = 0;
        SQLWCHAR name[64];
        SQLLEN ind = 0;
        SQLGetData(stmt, 1, SQL_C_SLONG, &id, 0, &ind);
        SQLGetData(stmt, 2, SQL_C_WCHAR, name, sizeof name, &ind);
        if (id != ++rows) ok = false;
      }
      if (rows != below - 1) {
        Fail("rows: " + std::to_string(rows) + " for id < " + std::to_string(below));
        ok = false;
      }
    }
    SQLFreeStmt(stmt, SQL_CLOSE);
    SQLFreeStmt(stmt, SQL_RESET_PARAMS);
    std::u16string bad = Utf16("SELECT no_such_column FROM customers");
    const SQLRETURN bad_rc = SQLExecDirectW(stmt, Wide(bad), SQL_NTS);
    if (bad_rc != SQL_ERROR || FirstState(SQL_HANDLE_STMT, stmt).empty()) {
      Fail("a bad statement did not fail with a diagnostic: " + std::to_string(bad_rc) + " " +
           Diagnostics(SQL_HANDLE_STMT, stmt));
      ok = false;
    }
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return ok;
  }

  std::mutex mutex_;
  std::vector<std::string> failures_;
};

TEST_F(Threads, ManyThreadsEachWithTheirOwnConnection) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([this, t] {
      for (int round = 0; round < 3; ++round) {
        SQLHDBC dbc = Connect(ConnectionString());
        if (dbc == nullptr) return Fail("connect failed");
        for (int i = 0; i < 5; ++i) Exercise(dbc, t * 7 + i);
        SQLDisconnect(dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc);
      }
    });
  }
  for (auto& t : threads) t.join();
  Report();
}

TEST_F(Threads, ThreadsShareOneConnectionAndOneEnvironment) {
  SQLHDBC shared = Connect(ConnectionString());
  ASSERT_NE(shared, nullptr);
  // unixODBC clears a handle's records at the start of a call, before it
  // takes its lock: the record the connect left (01000, the completed
  // connection string) is cleared here, before threads call on the
  // connection at once.
  SQLUINTEGER autocommit = 0;
  ASSERT_EQ(SQLGetConnectAttr(shared, SQL_ATTR_AUTOCOMMIT, &autocommit, 0, nullptr), SQL_SUCCESS);
  std::atomic<bool> done{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 15; ++i) Exercise(shared, t * 5 + i);
    });
  }
  // Meanwhile another thread allocates, uses and frees connections on the
  // same environment, and reads the shared connection's attributes.
  std::thread other([&] {
    while (!done.load()) {
      SQLHDBC dbc = nullptr;
      if (SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc))) {
        SQLUINTEGER dead = 0;
        SQLGetConnectAttr(shared, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc);
      }
    }
  });
  for (auto& t : threads) t.join();
  done = true;
  other.join();
  Report();
  SQLDisconnect(shared);
  SQLFreeHandle(SQL_HANDLE_DBC, shared);
}

}  // namespace
}  // namespace kestrion_dm
