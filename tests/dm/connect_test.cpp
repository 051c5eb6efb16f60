// Connecting through the unixODBC Driver Manager to the development server:
// data sources from odbc.ini, DSN-less strings, a refused password, TLS, and
// the logout on disconnect.
#include <gtest/gtest.h>
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <string>

#include "tests/support/dev_server.h"
#include "tests/support/odbc_config.h"

namespace {

std::u16string W(const std::string& s) { return std::u16string(s.begin(), s.end()); }

std::string Narrow(const SQLWCHAR* w) {
  std::string out;
  for (; *w; ++w) out.push_back(static_cast<char>(*w));
  return out;
}

class DmConnect : public ::testing::Test {
 protected:
  kestrion_test::PrivateOdbcConfig config;
  SQLHENV env = nullptr;
  SQLHDBC dbc = nullptr;

  void SetUp() override {
    ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env), SQL_SUCCESS);
    ASSERT_EQ(SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION,
                            reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
              SQL_SUCCESS);
    ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc), SQL_SUCCESS);
  }
  void TearDown() override {
    if (dbc) SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    if (env) SQLFreeHandle(SQL_HANDLE_ENV, env);
  }

  SQLRETURN DriverConnect(const std::string& text, std::string* completed = nullptr) {
    std::u16string in = W(text);
    SQLWCHAR out[1024] = {0};
    SQLSMALLINT out_len = 0;
    SQLRETURN rc = SQLDriverConnectW(dbc, nullptr, reinterpret_cast<SQLWCHAR*>(in.data()), SQL_NTS,
                                     out, 1024, &out_len, SQL_DRIVER_NOPROMPT);
    if (completed) *completed = Narrow(out);
    return rc;
  }
  // The first diagnostic of the connection: "STATE native text".
  std::string FirstDiagnostic() {
    SQLWCHAR state[6] = {0};
    SQLWCHAR text[1024] = {0};
    SQLINTEGER native = 0;
    SQLSMALLINT len = 0;
    if (!SQL_SUCCEEDED(SQLGetDiagRecW(SQL_HANDLE_DBC, dbc, 1, state, &native, text, 1024, &len))) {
      return "";
    }
    return Narrow(state) + " " + std::to_string(native) + " " + Narrow(text);
  }
  SQLINTEGER ConnectionDead() {
    SQLINTEGER dead = -1;
    SQLGetConnectAttrW(dbc, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr);
    return dead;
  }
};

TEST_F(DmConnect, DataSourceFromOdbcIni) {
  kestrion_test::DevServer server({"--user", "ann:secret", "--log-level", "debug"});
  ASSERT_TRUE(server.ok()) << server.error();
  config.AddDataSource("KestrionTest", {{"Server", " 127.0.0.1 "},
                                        {"Port", std::to_string(server.port())},
                                        {"UID", "ann"},
                                        {"PWD", "secret"},
                                        {"LoginTimeout", "10"}});
  std::u16string dsn = W("KestrionTest");
  std::u16string user = W("ann");
  std::u16string password = W("secret");
  ASSERT_TRUE(SQL_SUCCEEDED(SQLConnectW(dbc, reinterpret_cast<SQLWCHAR*>(dsn.data()), SQL_NTS,
                                        reinterpret_cast<SQLWCHAR*>(user.data()), SQL_NTS,
                                        reinterpret_cast<SQLWCHAR*>(password.data()), SQL_NTS)))
      << FirstDiagnostic();
  EXPECT_EQ(ConnectionDead(), SQL_CD_FALSE);
  EXPECT_EQ(SQLDisconnect(dbc), SQL_SUCCESS) << FirstDiagnostic();

  // Without a user name the data source's own UID and PWD log in.
  ASSERT_TRUE(SQL_SUCCEEDED(SQLConnectW(dbc, reinterpret_cast<SQLWCHAR*>(dsn.data()), SQL_NTS,
                                        nullptr, 0, nullptr, 0)))
      << FirstDiagnostic();
  EXPECT_EQ(SQLDisconnect(dbc), SQL_SUCCESS);

  // The disconnects logged out and quit.
  server.Stop();
  const std::string log = server.Log();
  EXPECT_NE(log.find("LOGOUT"), std::string::npos) << log;
  EXPECT_NE(log.find("QUIT"), std::string::npos) << log;
}

TEST_F(DmConnect, DsnLessStringAndTheCompletedString) {
  kestrion_test::DevServer server;
  ASSERT_TRUE(server.ok()) << server.error();
  std::string completed;
  const std::string text = "DRIVER={Kestrion};Server=127.0.0.1;Port=" +
                           std::to_string(server.port()) + ";UID=anyone;PWD=x;DefaultPageSize=7";
  ASSERT_EQ(DriverConnect(text, &completed), SQL_SUCCESS_WITH_INFO) << FirstDiagnostic();
  EXPECT_EQ(completed.rfind(";DRIVER={Kestrion v18 Rx ODBC Driver 64-bit};;Server=127.0.0.1;", 0), 0u)
      << completed;
  EXPECT_NE(completed.find(";DefaultPageSize=7;"), std::string::npos) << completed;
  EXPECT_EQ(SQLDisconnect(dbc), SQL_SUCCESS);
}

TEST_F(DmConnect, RefusedPasswordCarriesTheServerCode) {
  kestrion_test::DevServer server({"--user", "ann:secret"});
  ASSERT_TRUE(server.ok()) << server.error();
  EXPECT_EQ(DriverConnect("DRIVER={Kestrion};Server=127.0.0.1;Port=" + std::to_string(server.port()) +
                          ";UID=ann;PWD=wrong"),
            SQL_ERROR);
  const std::string diag = FirstDiagnostic();
  EXPECT_EQ(diag.rfind("08004 ", 0), 0u) << diag;
  EXPECT_NE(diag.rfind("08004 0 ", 0), 0u) << "the server's error code is kept: " << diag;
}

TEST_F(DmConnect, TlsWithASelfSignedCertificate) {
  kestrion_test::DevServer server({"--tls-self-signed"});
  ASSERT_TRUE(server.ok()) << server.error();
  const std::string base = "DRIVER={Kestrion};Server=127.0.0.1;Port=" + std::to_string(server.port()) +
                           ";UID=u;LoginTimeout=3";
  ASSERT_TRUE(SQL_SUCCEEDED(DriverConnect(base + ";SSL=true"))) << FirstDiagnostic();
  EXPECT_EQ(ConnectionDead(), SQL_CD_FALSE);
  EXPECT_EQ(SQLDisconnect(dbc), SQL_SUCCESS) << FirstDiagnostic();
  // Plain text against a TLS server gets no answer it understands.
  EXPECT_EQ(DriverConnect(base), SQL_ERROR);
}

TEST_F(DmConnect, TlsRequestedFromAPlainServerIsRefused) {
  kestrion_test::DevServer server;
  ASSERT_TRUE(server.ok()) << server.error();
  EXPECT_EQ(DriverConnect("DRIVER={Kestrion};Server=127.0.0.1;Port=" + std::to_string(server.port()) +
                          ";UID=u;SSL=true;LoginTimeout=2"),
            SQL_ERROR);
  EXPECT_EQ(FirstDiagnostic().rfind("08001 ", 0), 0u) << FirstDiagnostic();
}

}  // namespace
