// compare_bench: one workload, one data source, one timing. bench/compare.sh
// runs it against the Kestrion driver and another ODBC driver in turn and
// compares the medians; the program itself only knows ODBC.
//
//   compare_bench CONNECTION-STRING setup ROWS
//   compare_bench CONNECTION-STRING WORKLOAD ROWS
//
// `setup` (re)creates the tables: `bench` with ROWS rows of (integer key,
// integer, double, varchar(40), timestamp) and an empty `bench_load` of the
// same shape. A workload prints one line: "<operations> <seconds>". An
// operation is a row for the fetches (ROWS rows) and the inserts (ROWS / 20
// rows), one execute-fetch-close for the point selects (ROWS / 50 of them),
// one connect-disconnect (100) or one SQLTables + SQLColumns pair (100). A
// workload that the driver cannot do prints "unsupported".
#include <sql.h>
#include <sqlext.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

std::string g_connection;

[[noreturn]] void Die(SQLSMALLINT type, SQLHANDLE handle, const char* what) {
  SQLCHAR state[6] = {0};
  SQLCHAR text[1024] = {0};
  SQLINTEGER native = 0;
  SQLSMALLINT len = 0;
  if (handle != nullptr) SQLGetDiagRec(type, handle, 1, state, &native, text, sizeof text, &len);
  std::fprintf(stderr, "compare_bench: %s failed: %s %s\n", what, state, text);
  std::exit(1);
}

#define CHECK(call, type, handle)                                    \
  do {                                                               \
    SQLRETURN rc_ = (call);                                          \
    if (!SQL_SUCCEEDED(rc_) && rc_ != SQL_NO_DATA) Die(type, handle, #call); \
  } while (0)
#define STMT(call) CHECK(call, SQL_HANDLE_STMT, stmt)

struct Odbc {
  SQLHENV env = nullptr;
  SQLHDBC dbc = nullptr;
  Odbc() {
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  }
  ~Odbc() {
    if (dbc) Disconnect();
    SQLFreeHandle(SQL_HANDLE_ENV, env);
  }
  void Connect() {
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    CHECK(SQLDriverConnect(dbc, nullptr, (SQLCHAR*)g_connection.c_str(), SQL_NTS, nullptr, 0, nullptr,
                           SQL_DRIVER_NOPROMPT),
          SQL_HANDLE_DBC, dbc);
  }
  void Disconnect() {
    SQLDisconnect(dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    dbc = nullptr;
  }
  SQLHSTMT Statement() {
    SQLHSTMT stmt = nullptr;
    CHECK(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt), SQL_HANDLE_DBC, dbc);
    return stmt;
  }
  void Run(const char* sql) {
    SQLHSTMT stmt = Statement();
    STMT(SQLExecDirect(stmt, (SQLCHAR*)sql, SQL_NTS));
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  }
  long Count(const char* table) {
    SQLHSTMT stmt = Statement();
    std::string sql = std::string("SELECT COUNT(*) FROM ") + table;
    STMT(SQLExecDirect(stmt, (SQLCHAR*)sql.c_str(), SQL_NTS));
    SQLINTEGER n = -1;
    STMT(SQLFetch(stmt));
    STMT(SQLGetData(stmt, 1, SQL_C_SLONG, &n, 0, nullptr));
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return n;
  }
  void Autocommit(bool on) {
    CHECK(SQLSetConnectAttr(dbc, SQL_ATTR_AUTOCOMMIT,
                            reinterpret_cast<SQLPOINTER>(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF), 0),
          SQL_HANDLE_DBC, dbc);
  }
  void Commit() { CHECK(SQLEndTran(SQL_HANDLE_DBC, dbc, SQL_COMMIT), SQL_HANDLE_DBC, dbc); }
};

double Seconds(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

constexpr const char* kSelect = "SELECT id, n, d, s, ts FROM bench";

// The values of row k, the same for every driver.
struct Row {
  SQLINTEGER id;
  SQLINTEGER n;
  double d;
  char s[41];
  SQL_TIMESTAMP_STRUCT ts;
};

void FillRow(long k, Row& r) {
  r.id = static_cast<SQLINTEGER>(k);
  r.n = static_cast<SQLINTEGER>((k * 7919) % 100000);
  r.d = static_cast<double>(k) / 7.0;
  std::snprintf(r.s, sizeof r.s, "benchmark row %ld", k);
  r.ts = SQL_TIMESTAMP_STRUCT{2024, static_cast<SQLUSMALLINT>(1 + k % 12), static_cast<SQLUSMALLINT>(1 + k % 28),
                              static_cast<SQLUSMALLINT>(k % 24), static_cast<SQLUSMALLINT>(k % 60),
                              static_cast<SQLUSMALLINT>(k % 60), 0};
}

// Inserts rows [from, from + count) one SQLExecute each, in one transaction.
void InsertRows(Odbc& db, const char* table, long from, long count) {
  SQLHSTMT stmt = db.Statement();
  std::string sql = std::string("INSERT INTO ") + table + " (id, n, d, s, ts) VALUES (?, ?, ?, ?, ?)";
  STMT(SQLPrepare(stmt, (SQLCHAR*)sql.c_str(), SQL_NTS));
  Row r{};
  SQLLEN text_len = SQL_NTS;
  STMT(SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &r.id, 0, nullptr));
  STMT(SQLBindParameter(stmt, 2, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &r.n, 0, nullptr));
  STMT(SQLBindParameter(stmt, 3, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 0, 0, &r.d, 0, nullptr));
  STMT(SQLBindParameter(stmt, 4, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 40, 0, r.s, sizeof r.s, &text_len));
  STMT(SQLBindParameter(stmt, 5, SQL_PARAM_INPUT, SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, 23, 3, &r.ts, 0,
                        nullptr));
  db.Autocommit(false);
  for (long k = from; k < from + count; ++k) {
    FillRow(k, r);
    STMT(SQLExecute(stmt));
  }
  db.Commit();
  db.Autocommit(true);
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
}

// Inserts `count` rows through a parameter array of `set` rows per
// SQLExecute, in one transaction. False when the driver did not insert every
// set (it does not do parameter arrays).
bool InsertArray(Odbc& db, long count, SQLULEN set) {
  SQLHSTMT stmt = db.Statement();
  STMT(SQLPrepare(stmt, (SQLCHAR*)"INSERT INTO bench_load (id, n, d, s, ts) VALUES (?, ?, ?, ?, ?)", SQL_NTS));
  std::vector<SQLINTEGER> id(set), n(set);
  std::vector<double> d(set);
  std::vector<char> s(set * 41);
  std::vector<SQLLEN> s_len(set, SQL_NTS);
  std::vector<SQL_TIMESTAMP_STRUCT> ts(set);
  SQLULEN processed = 0;
  if (!SQL_SUCCEEDED(SQLSetStmtAttr(stmt, SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(set), 0)) ||
      !SQL_SUCCEEDED(SQLSetStmtAttr(stmt, SQL_ATTR_PARAMS_PROCESSED_PTR, &processed, 0))) {
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return false;
  }
  STMT(SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, id.data(), 0, nullptr));
  STMT(SQLBindParameter(stmt, 2, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, n.data(), 0, nullptr));
  STMT(SQLBindParameter(stmt, 3, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 0, 0, d.data(), 0, nullptr));
  STMT(SQLBindParameter(stmt, 4, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 40, 0, s.data(), 41, s_len.data()));
  STMT(SQLBindParameter(stmt, 5, SQL_PARAM_INPUT, SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, 23, 3, ts.data(), 0,
                        nullptr));
  db.Autocommit(false);
  bool complete = true;
  for (long k = 0; k < count; k += static_cast<long>(set)) {
    for (SQLULEN j = 0; j < set; ++j) {
      Row r;
      FillRow(k + static_cast<long>(j), r);
      id[j] = r.id;
      n[j] = r.n;
      d[j] = r.d;
      std::memcpy(&s[j * 41], r.s, 41);
      ts[j] = r.ts;
    }
    STMT(SQLExecute(stmt));
    if (processed != set) complete = false;
  }
  db.Commit();
  db.Autocommit(true);
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  return complete;
}

long FetchBound(Odbc& db, SQLULEN rowset) {
  SQLHSTMT stmt = db.Statement();
  std::vector<SQLINTEGER> id(rowset), n(rowset);
  std::vector<double> d(rowset);
  std::vector<char> s(rowset * 41);
  std::vector<SQL_TIMESTAMP_STRUCT> ts(rowset);
  std::vector<SQLLEN> ind(rowset * 5);
  SQLULEN fetched = 0;
  STMT(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(rowset), 0));
  STMT(SQLSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0));
  STMT(SQLBindCol(stmt, 1, SQL_C_SLONG, id.data(), 0, &ind[0]));
  STMT(SQLBindCol(stmt, 2, SQL_C_SLONG, n.data(), 0, &ind[rowset]));
  STMT(SQLBindCol(stmt, 3, SQL_C_DOUBLE, d.data(), 0, &ind[2 * rowset]));
  STMT(SQLBindCol(stmt, 4, SQL_C_CHAR, s.data(), 41, &ind[3 * rowset]));
  STMT(SQLBindCol(stmt, 5, SQL_C_TYPE_TIMESTAMP, ts.data(), sizeof(SQL_TIMESTAMP_STRUCT), &ind[4 * rowset]));
  STMT(SQLExecDirect(stmt, (SQLCHAR*)kSelect, SQL_NTS));
  long rows = 0;
  SQLRETURN rc;
  while ((rc = SQLFetch(stmt)) != SQL_NO_DATA) {
    STMT(rc);
    rows += static_cast<long>(fetched);
  }
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  return rows;
}

long FetchGetData(Odbc& db) {
  SQLHSTMT stmt = db.Statement();
  STMT(SQLExecDirect(stmt, (SQLCHAR*)kSelect, SQL_NTS));
  Row r;
  SQLLEN ind;
  long rows = 0;
  SQLRETURN rc;
  while ((rc = SQLFetch(stmt)) != SQL_NO_DATA) {
    STMT(rc);
    STMT(SQLGetData(stmt, 1, SQL_C_SLONG, &r.id, 0, &ind));
    STMT(SQLGetData(stmt, 2, SQL_C_SLONG, &r.n, 0, &ind));
    STMT(SQLGetData(stmt, 3, SQL_C_DOUBLE, &r.d, 0, &ind));
    STMT(SQLGetData(stmt, 4, SQL_C_CHAR, r.s, sizeof r.s, &ind));
    STMT(SQLGetData(stmt, 5, SQL_C_TYPE_TIMESTAMP, &r.ts, sizeof r.ts, &ind));
    ++rows;
  }
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  return rows;
}

// Prepared point selects by primary key: execute, fetch the row, close.
long PointSelects(Odbc& db, long count, long rows) {
  SQLHSTMT stmt = db.Statement();
  STMT(SQLPrepare(stmt, (SQLCHAR*)"SELECT id, n, d, s, ts FROM bench WHERE id = ?", SQL_NTS));
  SQLINTEGER key = 0;
  STMT(SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &key, 0, nullptr));
  Row r;
  SQLLEN ind[5];
  STMT(SQLBindCol(stmt, 1, SQL_C_SLONG, &r.id, 0, &ind[0]));
  STMT(SQLBindCol(stmt, 2, SQL_C_SLONG, &r.n, 0, &ind[1]));
  STMT(SQLBindCol(stmt, 3, SQL_C_DOUBLE, &r.d, 0, &ind[2]));
  STMT(SQLBindCol(stmt, 4, SQL_C_CHAR, r.s, sizeof r.s, &ind[3]));
  STMT(SQLBindCol(stmt, 5, SQL_C_TYPE_TIMESTAMP, &r.ts, sizeof r.ts, &ind[4]));
  long found = 0;
  for (long k = 0; k < count; ++k) {
    key = static_cast<SQLINTEGER>((k * 7919) % rows);
    STMT(SQLExecute(stmt));
    SQLRETURN rc = SQLFetch(stmt);
    STMT(rc);
    if (rc == SQL_SUCCESS && r.id == key) ++found;
    STMT(SQLFreeStmt(stmt, SQL_CLOSE));
  }
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  return found;
}

long Catalog(Odbc& db, long count) {
  long rows = 0;
  for (long k = 0; k < count; ++k) {
    SQLHSTMT stmt = db.Statement();
    STMT(SQLTables(stmt, nullptr, 0, nullptr, 0, (SQLCHAR*)"bench", SQL_NTS, (SQLCHAR*)"TABLE", SQL_NTS));
    while (SQLFetch(stmt) == SQL_SUCCESS) ++rows;
    STMT(SQLFreeStmt(stmt, SQL_CLOSE));
    STMT(SQLColumns(stmt, nullptr, 0, nullptr, 0, (SQLCHAR*)"bench", SQL_NTS, nullptr, 0));
    while (SQLFetch(stmt) == SQL_SUCCESS) ++rows;
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  }
  return rows;
}

// Fills `bench` with rows [0, count) through multi-row INSERT texts (the
// setup is not measured; both servers read the same literals).
void FillTable(Odbc& db, long count) {
  db.Autocommit(false);
  constexpr long kPerStatement = 500;
  for (long k = 0; k < count;) {
    std::string sql = "INSERT INTO bench (id, n, d, s, ts) VALUES ";
    for (long j = 0; j < kPerStatement && k < count; ++j, ++k) {
      Row r;
      FillRow(k, r);
      char values[200];
      std::snprintf(values, sizeof values, "%s(%d, %d, %.17g, '%s', '%04d-%02d-%02d %02d:%02d:%02d')", j ? ", " : "",
                    static_cast<int>(r.id), static_cast<int>(r.n), r.d, r.s, r.ts.year, r.ts.month, r.ts.day,
                    r.ts.hour, r.ts.minute, r.ts.second);
      sql += values;
    }
    db.Run(sql.c_str());
  }
  db.Commit();
  db.Autocommit(true);
}

void CreateTable(Odbc& db, const char* name) {
  SQLHSTMT stmt = db.Statement();
  std::string drop = std::string("DROP TABLE IF EXISTS ") + name;
  SQLExecDirect(stmt, (SQLCHAR*)drop.c_str(), SQL_NTS);
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  std::string create = std::string("CREATE TABLE ") + name +
                       " (id INTEGER PRIMARY KEY, n INTEGER, d DOUBLE PRECISION, s VARCHAR(40), ts TIMESTAMP)";
  db.Run(create.c_str());
}

void Report(long operations, double seconds) { std::printf("%ld %.6f\n", operations, seconds); }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s CONNECTION-STRING setup|WORKLOAD ROWS\n", argv[0]);
    return 2;
  }
  g_connection = argv[1];
  const std::string workload = argv[2];
  const long rows = std::atol(argv[3]);
  if (rows < 1000) {
    std::fprintf(stderr, "compare_bench: at least 1000 rows\n");
    return 2;
  }
  const long inserts = rows / 20;  // rows per insert round
  Odbc db;
  if (workload == "connect") {
    // Connect, log in and disconnect, 100 times.
    const int count = 100;
    Report(count, Seconds([&] {
             for (int k = 0; k < count; ++k) {
               db.Connect();
               db.Disconnect();
             }
           }));
    return 0;
  }
  db.Connect();
  if (workload == "setup") {
    CreateTable(db, "bench");
    CreateTable(db, "bench_load");
    FillTable(db, rows);
    if (db.Count("bench") != rows) {
      std::fprintf(stderr, "compare_bench: setup did not insert every row\n");
      return 1;
    }
    std::printf("0 0\n");
    return 0;
  }
  long done = 0;
  double seconds = 0;
  if (workload == "fetch-rowset-1000") {
    seconds = Seconds([&] { done = FetchBound(db, 1000); });
  } else if (workload == "fetch-rowset-1") {
    seconds = Seconds([&] { done = FetchBound(db, 1); });
  } else if (workload == "fetch-getdata") {
    seconds = Seconds([&] { done = FetchGetData(db); });
  } else if (workload == "point-select") {
    const long count = rows / 50;
    seconds = Seconds([&] { done = PointSelects(db, count, rows); });
    if (done != count) done = -1;
  } else if (workload == "insert") {
    db.Run("DELETE FROM bench_load");
    seconds = Seconds([&] { InsertRows(db, "bench_load", 0, inserts); });
    done = db.Count("bench_load") == inserts ? inserts : -1;
  } else if (workload == "insert-array") {
    db.Run("DELETE FROM bench_load");
    bool complete = false;
    seconds = Seconds([&] { complete = InsertArray(db, inserts, 1000); });
    if (!complete || db.Count("bench_load") != inserts) {
      std::printf("unsupported\n");
      return 0;
    }
    done = inserts;
  } else if (workload == "catalog") {
    const long count = 100;
    seconds = Seconds([&] { done = Catalog(db, count) == 6 * count ? count : -1; });
  } else {
    std::fprintf(stderr, "compare_bench: unknown workload %s\n", workload.c_str());
    return 2;
  }
  if (workload.rfind("fetch", 0) == 0 && done != rows) done = -1;
  if (done < 0) {
    std::fprintf(stderr, "compare_bench: %s did not give the expected rows\n", workload.c_str());
    return 1;
  }
  Report(done, seconds);
  return 0;
}
