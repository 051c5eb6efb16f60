// Statement tests through the driver's exported functions (linked
// directly, no Driver Manager): a connection to the development server or
// to a scripted loopback server, and helpers to run SQL and read results.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "driver/connection.h"
#include "driver/odbc.h"
#include "driver/statement.h"
#include "tests/support/dev_server.h"
#include "tests/support/scripted_server.h"
#include "toolbox/vstring.h"

namespace kestrion_test {

inline std::u16string W(const std::string& utf8) { return corvane::VString::FromUtf8(utf8); }

// Handles of one environment and connection; the statement helpers work on
// any statement handle.
class OdbcHandles {
 public:
  SQLHENV env = nullptr;
  SQLHDBC dbc = nullptr;

  OdbcHandles() {
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
  }
  ~OdbcHandles() {
    if (env != nullptr) SQLFreeHandle(SQL_HANDLE_ENV, env);
  }
  kestrion::CHConnection& conn() { return *static_cast<kestrion::CHConnection*>(dbc); }

  SQLRETURN Connect(int port, const std::string& extra = "", int login_timeout = 5) {
    std::u16string text = W("DSN=*;Server=127.0.0.1;Port=" + std::to_string(port) +
                            ";UID=;LoginTimeout=" + std::to_string(login_timeout) + extra);
    return SQLDriverConnectW(dbc, nullptr, reinterpret_cast<SQLWCHAR*>(text.data()), SQL_NTS, nullptr,
                             0, nullptr, SQL_DRIVER_NOPROMPT);
  }
  SQLHSTMT NewStatement() {
    SQLHSTMT s = nullptr;
    SQLAllocHandle(SQL_HANDLE_STMT, dbc, &s);
    return s;
  }
};

// "STATE native message" per diagnostic record of a handle.
std::string Diagnostics(SQLSMALLINT type, SQLHANDLE handle);
// Whether the handle holds a record of that SQLSTATE ("07006").
bool HasState(SQLSMALLINT type, SQLHANDLE handle, const std::string& state);

SQLRETURN ExecDirect(SQLHSTMT stmt, const std::string& sql);
SQLRETURN Prepare(SQLHSTMT stmt, const std::string& sql);

// Every row of the current result as text (NULL as "NULL"), read with
// SQLGetData into wide buffers.
std::vector<std::vector<std::string>> AllRows(SQLHSTMT stmt);

// A connection to a development server started for the test suite.
class DevServerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  void SetUp() override;
  void TearDown() override;

  // Runs SQL that must succeed on a fresh statement, and frees it.
  void Run(const std::string& sql);

  static std::unique_ptr<DevServer> server_;
  std::unique_ptr<OdbcHandles> h;
  SQLHSTMT stmt = nullptr;
};

// A connection to a scripted server, after its LOGIN.
class ScriptedTest : public ::testing::Test {
 protected:
  void SetUp() override { h = std::make_unique<OdbcHandles>(); }
  // Scripts the LOGIN answer, then connects and allocates `stmt`.
  // Scripts the LOGIN (its reply with `login_fields`), connects and
  // allocates `stmt`.
  void ConnectTo(ScriptedServer& server, const std::string& login_fields = "");
  std::string Id(int n) {
    return std::to_string(h->conn().connection_number) + "." + std::to_string(n);
  }
  std::unique_ptr<OdbcHandles> h;
  SQLHSTMT stmt = nullptr;
};

}  // namespace kestrion_test
