// A statement of the driver connected to a development server that holds the
// sample schema, with helpers that read whole results through the exported
// functions.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "driver/odbc.h"
#include "driver/statement.h"
#include "tests/support/dev_server.h"
#include "toolbox/vstring.h"

namespace kestrion_test {

using Cell = std::optional<std::string>;
using Rows = std::vector<std::vector<Cell>>;

class SampleServerTest : public ::testing::Test {
 protected:
  // One server for the whole test program: the catalog tests only read.
  static DevServer& Server() {
    static DevServer server({"--sample"});
    return server;
  }

  SQLHENV env = nullptr;
  SQLHDBC dbc = nullptr;
  SQLHSTMT stmt = nullptr;

  void SetUp() override { Open(Server(), ""); }
  void TearDown() override {
    if (env != nullptr) SQLFreeHandle(SQL_HANDLE_ENV, env);
    env = nullptr;
  }

  void Open(DevServer& server, const std::string& extra, SQLINTEGER odbc_version = SQL_OV_ODBC3) {
    if (env != nullptr) SQLFreeHandle(SQL_HANDLE_ENV, env);
    ASSERT_TRUE(server.ok()) << server.error();
    ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env), SQL_SUCCESS);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(static_cast<SQLLEN>(odbc_version)), 0);
    ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc), SQL_SUCCESS);
    const std::string text = "DSN=*;Server=127.0.0.1;Port=" + std::to_string(server.port()) +
                             ";UID=;LoginTimeout=5" + extra;
    corvane::VString w = corvane::VString::FromUtf8(text);
    const SQLRETURN rc = SQLDriverConnectW(dbc, nullptr, reinterpret_cast<SQLWCHAR*>(w.data()),
                                           SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
    ASSERT_TRUE(SQL_SUCCEEDED(rc)) << Diagnostics(SQL_HANDLE_DBC, dbc);
    ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt), SQL_SUCCESS);
  }

  kestrion::CHStatement& statement() { return *static_cast<kestrion::CHStatement*>(stmt); }

  static std::u16string U(const std::string& s) { return corvane::VString::FromUtf8(s); }
  static SQLWCHAR* W(std::u16string& s) { return reinterpret_cast<SQLWCHAR*>(s.data()); }

  // Every diagnostic of a handle, one per line: "STATE message".
  static std::string Diagnostics(SQLSMALLINT type, SQLHANDLE h) {
    std::string out;
    for (SQLSMALLINT i = 1;; ++i) {
      SQLWCHAR state[6] = {0};
      SQLWCHAR text[1024] = {0};
      SQLINTEGER native = 0;
      SQLSMALLINT len = 0;
      if (!SQL_SUCCEEDED(SQLGetDiagRecW(type, h, i, state, &native, text, 1024, &len))) break;
      out += corvane::VString(reinterpret_cast<char16_t*>(state)).ToUtf8() + " " +
             corvane::VString(reinterpret_cast<char16_t*>(text)).ToUtf8() + "\n";
    }
    return out;
  }
  std::string StatementDiagnostics() { return Diagnostics(SQL_HANDLE_STMT, stmt); }

  SQLRETURN Exec(const std::string& sql) {
    std::u16string w = U(sql);
    return SQLExecDirectW(stmt, W(w), SQL_NTS);
  }

  SQLSMALLINT ColumnCount() {
    SQLSMALLINT n = -1;
    SQLNumResultCols(stmt, &n);
    return n;
  }

  std::string ColumnName(SQLUSMALLINT column) {
    SQLWCHAR name[128] = {0};
    SQLSMALLINT len = 0, type = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    SQLDescribeColW(stmt, column, name, 128, &len, &type, &size, &digits, &nullable);
    return corvane::VString(reinterpret_cast<char16_t*>(name)).ToUtf8();
  }

  // Every remaining row, each column read as text (NULL as nothing).
  Rows FetchAll() {
    Rows rows;
    const SQLSMALLINT columns = ColumnCount();
    for (;;) {
      const SQLRETURN rc = SQLFetch(stmt);
      if (rc == SQL_NO_DATA) break;
      EXPECT_TRUE(SQL_SUCCEEDED(rc)) << StatementDiagnostics();
      if (!SQL_SUCCEEDED(rc)) break;
      std::vector<Cell> row;
      for (SQLUSMALLINT c = 1; c <= columns; ++c) {
        SQLWCHAR buffer[512] = {0};
        SQLLEN indicator = 0;
        EXPECT_TRUE(SQL_SUCCEEDED(SQLGetData(stmt, c, SQL_C_WCHAR, buffer, sizeof buffer, &indicator)))
            << StatementDiagnostics();
        if (indicator == SQL_NULL_DATA) {
          row.push_back(std::nullopt);
        } else {
          row.push_back(corvane::VString(reinterpret_cast<char16_t*>(buffer)).ToUtf8());
        }
      }
      rows.push_back(std::move(row));
    }
    return rows;
  }

  // One column of every row (1-based column number).
  static std::vector<Cell> Column(const Rows& rows, std::size_t column) {
    std::vector<Cell> out;
    for (const auto& r : rows) out.push_back(r.at(column - 1));
    return out;
  }
  static std::vector<std::string> Texts(const Rows& rows, std::size_t column) {
    std::vector<std::string> out;
    for (const auto& r : rows) out.push_back(r.at(column - 1).value_or("<NULL>"));
    return out;
  }
};

}  // namespace kestrion_test
