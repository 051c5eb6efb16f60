// Several threads allocating and freeing handles of their own connections at
// once: the registry and the children sets must stay consistent.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "driver/odbc.h"
#include "driver/registry.h"

namespace {

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
