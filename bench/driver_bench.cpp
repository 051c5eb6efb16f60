// driver_bench: rows per second through the unixODBC Driver Manager and the
// driver, against a development server started on a free loopback port.
//
//   build/bin/driver_bench [--rows N] [--page N] [--rounds N]
//
// Inserts N rows of five kinds (32- and 64-bit integers, double, text,
// timestamp) with bound parameters inside one transaction, then reads them
// back with bound columns one row per fetch, with bound columns 1000 rows per
// fetch, and with SQLGetData. Every figure comes from the same run, so the
// ratios between them mean more than the absolute numbers on a shared
// machine. Each read is timed `rounds` times and the best time is kept.
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/dev_server.h"
#include "tests/support/odbc_config.h"

namespace {

bool Check(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE handle, const char* what) {
  if (SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA) return true;
  SQLCHAR state[6] = {0};
  SQLCHAR text[1024] = {0};
  SQLINTEGER native = 0;
  SQLSMALLINT len = 0;
  SQLGetDiagRec(type, handle, 1, state, &native, text, sizeof text, &len);
  std::fprintf(stderr, "%s failed (%d): %s %s\n", what, rc, state, text);
  return false;
}

#define CHECK(call, type, handle)                  \
  do {                                             \
    if (!Check((call), type, handle, #call)) {     \
      std::exit(1);                                \
    }                                              \
  } while (0)

double Seconds(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct Rows {
  SQLINTEGER i;
  SQLBIGINT g;
  double d;
  char s[41];
  SQL_TIMESTAMP_STRUCT ts;
};

// Reads every row of the table with bound columns and `rowset` rows per
// fetch; returns the rows read.
long FetchBound(SQLHDBC dbc, SQLULEN rowset) {
  SQLHSTMT stmt;
  CHECK(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt), SQL_HANDLE_DBC, dbc);
  std::vector<SQLINTEGER> i(rowset);
  std::vector<SQLBIGINT> g(rowset);
  std::vector<double> d(rowset);
  std::vector<char> s(rowset * 41);
  std::vector<SQL_TIMESTAMP_STRUCT> ts(rowset);
  std::vector<SQLLEN> ind(rowset * 5);
  SQLULEN fetched = 0;
  CHECK(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(rowset), 0),
        SQL_HANDLE_STMT, stmt);
  CHECK(SQLSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0), SQL_HANDLE_STMT, stmt);
  CHECK(SQLBindCol(stmt, 1, SQL_C_SLONG, i.data(), 0, &ind[0]), SQL_HANDLE_STMT, stmt);
  CHECK(SQLBindCol(stmt, 2, SQL_C_SBIGINT, g.data(), 0, &ind[rowset]), SQL_HANDLE_STMT, stmt);
  CHECK(SQLBindCol(stmt, 3, SQL_C_DOUBLE, d.data(), 0, &ind[2 * rowset]), SQL_HANDLE_STMT, stmt);
  CHECK(SQLBindCol(stmt, 4, SQL_C_CHAR, s.data(), 41, &ind[3 * rowset]), SQL_HANDLE_STMT, stmt);
  CHECK(SQLBindCol(stmt, 5, SQL_C_TYPE_TIMESTAMP, ts.data(), sizeof(SQL_TIMESTAMP_STRUCT), &ind[4 * rowset]),
        SQL_HANDLE_STMT, stmt);
  CHECK(SQLExecDirect(stmt, (SQLCHAR*)"SELECT i, g, d, s, ts FROM bench", SQL_NTS), SQL_HANDLE_STMT, stmt);
  long rows = 0;
  long checksum = 0;
  SQLRETURN rc;
  while ((rc = SQLFetch(stmt)) != SQL_NO_DATA) {
    CHECK(rc, SQL_HANDLE_STMT, stmt);
    rows += static_cast<long>(fetched);
    checksum += i[0];
  }
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  return checksum >= 0 ? rows : -1;
}

long FetchGetData(SQLHDBC dbc) {
  SQLHSTMT stmt;
  CHECK(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt), SQL_HANDLE_DBC, dbc);
  CHECK(SQLExecDirect(stmt, (SQLCHAR*)"SELECT i, g, d, s, ts FROM bench", SQL_NTS), SQL_HANDLE_STMT, stmt);
  Rows r;
  SQLLEN ind;
  long rows = 0;
  SQLRETURN rc;
  while ((rc = SQLFetch(stmt)) != SQL_NO_DATA) {
    CHECK(rc, SQL_HANDLE_STMT, stmt);
    CHECK(SQLGetData(stmt, 1, SQL_C_SLONG, &r.i, 0, &ind), SQL_HANDLE_STMT, stmt);
    CHECK(SQLGetData(stmt, 2, SQL_C_SBIGINT, &r.g, 0, &ind), SQL_HANDLE_STMT, stmt);
    CHECK(SQLGetData(stmt, 3, SQL_C_DOUBLE, &r.d, 0, &ind), SQL_HANDLE_STMT, stmt);
    CHECK(SQLGetData(stmt, 4, SQL_C_CHAR, r.s, sizeof r.s, &ind), SQL_HANDLE_STMT, stmt);
    CHECK(SQLGetData(stmt, 5, SQL_C_TYPE_TIMESTAMP, &r.ts, sizeof r.ts, &ind), SQL_HANDLE_STMT, stmt);
    ++rows;
  }
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  return rows;
}

void Insert(SQLHDBC dbc, long n) {
  SQLHSTMT stmt;
  CHECK(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt), SQL_HANDLE_DBC, dbc);
  CHECK(SQLPrepare(stmt, (SQLCHAR*)"INSERT INTO bench VALUES (?, ?, ?, ?, ?)", SQL_NTS), SQL_HANDLE_STMT, stmt);
  Rows r{};
  SQLLEN text_len = SQL_NTS;
  CHECK(SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &r.i, 0, nullptr),
        SQL_HANDLE_STMT, stmt);
  CHECK(SQLBindParameter(stmt, 2, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 0, 0, &r.g, 0, nullptr),
        SQL_HANDLE_STMT, stmt);
  CHECK(SQLBindParameter(stmt, 3, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 0, 0, &r.d, 0, nullptr),
        SQL_HANDLE_STMT, stmt);
  CHECK(SQLBindParameter(stmt, 4, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 40, 0, r.s, sizeof r.s, &text_len),
        SQL_HANDLE_STMT, stmt);
  CHECK(SQLBindParameter(stmt, 5, SQL_PARAM_INPUT, SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, 23, 3, &r.ts, 0,
                         nullptr),
        SQL_HANDLE_STMT, stmt);
  for (long k = 0; k < n; ++k) {
    r.i = static_cast<SQLINTEGER>(k);
    r.g = static_cast<SQLBIGINT>(k) * 1000003;
    r.d = static_cast<double>(k) / 7.0;
    std::snprintf(r.s, sizeof r.s, "benchmark row %ld", k);
    r.ts = SQL_TIMESTAMP_STRUCT{2024, static_cast<SQLUSMALLINT>(1 + k % 12),
                                static_cast<SQLUSMALLINT>(1 + k % 28), static_cast<SQLUSMALLINT>(k % 24),
                                static_cast<SQLUSMALLINT>(k % 60), static_cast<SQLUSMALLINT>(k % 60), 0};
    CHECK(SQLExecute(stmt), SQL_HANDLE_STMT, stmt);
  }
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
}

}  // namespace

int main(int argc, char** argv) {
  long rows = 100000;
  int page = 0;
  int rounds = 3;
  for (int a = 1; a + 1 < argc; a += 2) {
    if (std::strcmp(argv[a], "--rows") == 0) rows = std::atol(argv[a + 1]);
    else if (std::strcmp(argv[a], "--page") == 0) page = std::atoi(argv[a + 1]);
    else if (std::strcmp(argv[a], "--rounds") == 0) rounds = std::max(1, std::atoi(argv[a + 1]));
  }
  if (argc % 2 == 0 || rows < 1) {
    std::fprintf(stderr, "usage: %s [--rows N] [--page N] [--rounds N]\n", argv[0]);
    return 2;
  }

  kestrion_test::PrivateOdbcConfig config;
  kestrion_test::DevServer server;
  if (!server.ok()) {
    std::fprintf(stderr, "kestrion-server did not start: %s\n", server.error().c_str());
    return 1;
  }
  SQLHENV env;
  SQLHDBC dbc;
  SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
  std::string conn = "DRIVER={Kestrion};Server=127.0.0.1;Port=" + std::to_string(server.port()) +
                     ";UID=bench;PWD=bench";
  if (page > 0) conn += ";DefaultPageSize=" + std::to_string(page);
  CHECK(SQLDriverConnect(dbc, nullptr, (SQLCHAR*)conn.c_str(), SQL_NTS, nullptr, 0, nullptr,
                         SQL_DRIVER_NOPROMPT),
        SQL_HANDLE_DBC, dbc);
  SQLHSTMT stmt;
  CHECK(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt), SQL_HANDLE_DBC, dbc);
  CHECK(SQLExecDirect(stmt, (SQLCHAR*)"CREATE TABLE bench (i INTEGER, g BIGINT, d DOUBLE, s VARCHAR(40),"
                                       " ts TIMESTAMP)", SQL_NTS),
        SQL_HANDLE_STMT, stmt);
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);

  std::printf("driver_bench: %ld rows of INTEGER, BIGINT, DOUBLE, VARCHAR(40), TIMESTAMP; page size %s;"
              " best of %d\n", rows, page > 0 ? std::to_string(page).c_str() : "default", rounds);
  CHECK(SQLSetConnectAttr(dbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0),
        SQL_HANDLE_DBC, dbc);
  const double insert = Seconds([&] { Insert(dbc, rows); });
  CHECK(SQLEndTran(SQL_HANDLE_DBC, dbc, SQL_COMMIT), SQL_HANDLE_DBC, dbc);
  CHECK(SQLSetConnectAttr(dbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0),
        SQL_HANDLE_DBC, dbc);

  struct Result {
    const char* name;
    double seconds;
  };
  std::vector<Result> results = {{"insert, bound parameters (one transaction)", insert}};
  auto best = [&](const char* name, const std::function<long()>& read) {
    double best_time = 1e300;
    for (int r = 0; r < rounds; ++r) {
      long got = 0;
      const double t = Seconds([&] { got = read(); });
      if (got != rows) {
        std::fprintf(stderr, "%s read %ld rows instead of %ld\n", name, got, rows);
        std::exit(1);
      }
      best_time = std::min(best_time, t);
    }
    results.push_back({name, best_time});
  };
  best("fetch, bound columns, rowset 1", [&] { return FetchBound(dbc, 1); });
  best("fetch, bound columns, rowset 1000", [&] { return FetchBound(dbc, 1000); });
  best("fetch, SQLGetData per column", [&] { return FetchGetData(dbc); });

  const double reference = results[2].seconds;  // rowset 1000
  std::printf("%-44s %10s %14s %10s\n", "operation", "seconds", "rows/second", "vs rowset 1000");
  for (const Result& r : results) {
    std::printf("%-44s %10.3f %14.0f %10.2f\n", r.name, r.seconds, static_cast<double>(rows) / r.seconds,
                reference / r.seconds);
  }
  SQLDisconnect(dbc);
  SQLFreeHandle(SQL_HANDLE_DBC, dbc);
  SQLFreeHandle(SQL_HANDLE_ENV, env);
  return 0;
}
