// A connection handle of the driver, allocated through the exported
// functions, connected to a scripted loopback server.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "driver/connection.h"
#include "driver/odbc.h"
#include "tests/support/scripted_server.h"
#include "toolbox/vstring.h"

namespace kestrion_test {

class ConnectionTest : public ::testing::Test {
 protected:
  SQLHENV env = nullptr;
  SQLHDBC dbc = nullptr;

  void SetUp() override {
    ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env), SQL_SUCCESS);
    ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc), SQL_SUCCESS);
  }
  void TearDown() override {
    if (env != nullptr) SQLFreeHandle(SQL_HANDLE_ENV, env);
  }

  kestrion::CHConnection& conn() { return *static_cast<kestrion::CHConnection*>(dbc); }
  // "<connection number>.<n>"
  std::string Id(int n) { return std::to_string(conn().connection_number) + "." + std::to_string(n); }

  // The LOGIN request of this connection with an empty user name and password.
  std::string LoginRequest(int n = 0) {
    return Id(n) +
           " LOGIN\r\nREPLY-WITH-BASE64-TEXT: Y\r\nUSER-NAME-BASE64: \r\n"
           "USER-PASSWORD-BASE64: \r\nPROTOCOL-VERSION: 0.1a\r\n\r\n";
  }

  SQLRETURN Connect(const std::string& text, SQLUSMALLINT completion = SQL_DRIVER_NOPROMPT,
                    SQLWCHAR* out = nullptr, SQLSMALLINT out_bytes = 0,
                    SQLSMALLINT* out_length = nullptr) {
    corvane::VString w = corvane::VString::FromUtf8(text);
    return SQLDriverConnectW(dbc, nullptr, reinterpret_cast<SQLWCHAR*>(w.data()), SQL_NTS, out,
                             out_bytes, out_length, completion);
  }
  // A DSN-less connection string for a loopback port, with an empty user.
  static std::string Loopback(std::uint16_t port, const std::string& extra = "",
                              int login_timeout = 5) {
    return "DSN=*;Server=127.0.0.1;Port=" + std::to_string(port) +
           ";UID=;LoginTimeout=" + std::to_string(login_timeout) + extra;
  }

  // Connects to `server` after scripting its LOGIN answer.
  void ConnectTo(ScriptedServer& server, const std::string& extra = "") {
    server.Expect(LoginRequest(), OkReply(Id(0)));
    ASSERT_EQ(Connect(Loopback(server.port(), extra)), SQL_SUCCESS) << Diagnostics();
  }

  // Every diagnostic of the connection, one per line: "STATE native message".
  std::string Diagnostics() {
    std::string out;
    for (const auto& d : conn().diagnostics()) {
      out += corvane::VString(kestrion::SqlStateCode(d.state)).ToUtf8() + " " +
             std::to_string(d.native_error) + " " + d.message.ToUtf8() + "\n";
    }
    return out;
  }
  bool Has(kestrion::SqlState state, const std::u16string& message = {}) {
    for (const auto& d : conn().diagnostics()) {
      if (d.state == state && (message.empty() || d.message == message)) return true;
    }
    return false;
  }
};

}  // namespace kestrion_test
