// The driver log: choosing it from the connection string, the data source and
// KESTRION_ODBC_LOG; masking passwords; and sessions against the development
// server at each level, checking the lines written and that neither the
// password nor its Base64 ever reaches the file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "driver/connection.h"
#include "driver/driver_log.h"
#include "driver/odbc.h"
#include "protocol/exchange_log.h"
#include "protocol/log_settings.h"
#include "protocol/reply_field.h"
#include "tests/support/dev_server.h"
#include "toolbox/vstring.h"

namespace {

using corvane::VString;
using kestrion::LogLevel;

constexpr const char* kPassword = "Sesame-42";

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> LinesWith(const std::string& text, const std::string& part) {
  std::vector<std::string> found;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.find(part) != std::string::npos) found.push_back(line);
  }
  return found;
}

std::string TempDir() {
  char pattern[] = "/tmp/kestrion-log-XXXXXX";
  const char* dir = mkdtemp(pattern);
  return dir ? dir : "/tmp";
}

TEST(DriverLogMasking, PasswordsNeverShowInConnectionStrings) {
  struct Case {
    const char16_t* in;
    const char* out;
  } cases[] = {
      {u"DSN=Sales;UID=ann;PWD=secret", "DSN=Sales;UID=ann;PWD=***"},
      {u"PWD=secret;UID=ann", "PWD=***;UID=ann"},
      {u"uid=ann; pwd = secret ;Port=1", "uid=ann; pwd =***;Port=1"},
      // A ";" inside braces cuts the item, and the rest is still hidden.
      {u"UID=ann;PWD={se;cr;et};Server=h", "UID=ann;PWD=***;Server=h"},
      {u"UID=ann;PWD=a=b;SSL=true", "UID=ann;PWD=***;SSL=true"},
      {u"PWD=one;PWD=two;UID=ann", "PWD=***;UID=ann"},
      {u"DRIVER={Kestrion};Server=h;UID=ann", "DRIVER={Kestrion};Server=h;UID=ann"},
      {u";PWD=x", ";PWD=***"},
      {u"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(kestrion::MaskedConnectionString(c.in), c.out) << VString(c.in).ToUtf8();
  }
}

TEST(DriverLogSettings, ConnectionStringThenDataSourceThenProcess) {
  const std::string dir = TempDir();
  const std::string from_dsn = dir + "/dsn.log";
  const std::string from_string = dir + "/string.log";
  auto reader = [&](std::u16string_view dsn, std::u16string_view key,
                    std::u16string_view) -> std::optional<VString> {
    if (dsn != u"Logged") return std::nullopt;
    if (key == u"LogFile") return VString::FromUtf8(from_dsn);
    if (key == u"LogLevel") return VString(u"Debug");
    return std::nullopt;
  };

  auto t = kestrion::ChooseLogTarget(u"DSN=Logged", reader);
  ASSERT_TRUE(t.file);
  EXPECT_EQ(t.file->path(), from_dsn);
  EXPECT_EQ(t.level, LogLevel::Debug);

  // The connection string wins, key by key; "*" keeps the data source's.
  t = kestrion::ChooseLogTarget(
      VString::FromUtf8("DSN=Logged;LogFile=" + from_string + ";LogLevel=*"), reader);
  ASSERT_TRUE(t.file);
  EXPECT_EQ(t.file->path(), from_string);
  EXPECT_EQ(t.level, LogLevel::Debug);

  // A file without a level logs at info, and so does an unknown level.
  t = kestrion::ChooseLogTarget(VString::FromUtf8("LogFile=" + from_string), reader);
  EXPECT_EQ(t.level, LogLevel::Info);
  t = kestrion::ChooseLogTarget(VString::FromUtf8("LogFile=" + from_string + ";LogLevel=loud"),
                                reader);
  EXPECT_EQ(t.level, LogLevel::Info);
  // Connections naming the same file share it.
  EXPECT_EQ(t.file, kestrion::ChooseLogTarget(
                        VString::FromUtf8("LogLevel=error;LogFile=" + from_string), reader)
                        .file);

  // "off" turns a data source's log off.
  t = kestrion::ChooseLogTarget(u"DSN=Logged;LogLevel=off", reader);
  EXPECT_FALSE(t.Enabled(LogLevel::Error));

  // A file that cannot be opened gives no log, not a failure.
  t = kestrion::ChooseLogTarget(u"LogFile=/nonexistent-dir/x.log", reader);
  EXPECT_FALSE(t.Enabled(LogLevel::Error));

  // Nothing named: the process's target, empty without KESTRION_ODBC_LOG.
  if (std::getenv("KESTRION_ODBC_LOG") == nullptr) {
    EXPECT_FALSE(kestrion::ChooseLogTarget(u"DSN=Other;UID=ann", reader).file);
  }
  std::remove(from_dsn.c_str());
  std::remove(from_string.c_str());
  rmdir(dir.c_str());
}

TEST(DriverLogSettings, EnvironmentVariableIsLevelColonPath) {
  const std::string dir = TempDir();
  const std::string path = dir + "/env.log";
  auto t = kestrion::LogTargetFromEnvironment(("INFO:" + path).c_str());
  ASSERT_TRUE(t.file);
  EXPECT_EQ(t.level, LogLevel::Info);
  EXPECT_EQ(t.file->path(), path);
  // A path may hold colons of its own.
  t = kestrion::LogTargetFromEnvironment(("error:" + path + ":x").c_str());
  ASSERT_TRUE(t.file);
  EXPECT_EQ(t.file->path(), path + ":x");
  for (const char* bad : {"", "debug", "debug:", "loud:/tmp/x.log", "/tmp/x.log"}) {
    EXPECT_FALSE(kestrion::LogTargetFromEnvironment(bad).file) << bad;
  }
  EXPECT_FALSE(kestrion::LogTargetFromEnvironment(nullptr).file);
  std::remove(path.c_str());
  std::remove((path + ":x").c_str());
  rmdir(dir.c_str());
}

TEST(DriverLogLines, OneLinePerExchange) {
  using std::chrono::microseconds;
  bool ok = false;
  std::string line = kestrion::ExchangeLine(
      "3.7", "FETCH-RESULT\r\nSTATEMENT-ID: 12\r\nCOMMAND-INDEX: 0", 0,
      u"3.7 OK\r\nRow-Count: 5\r\n\r\n", microseconds(1500), "", ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(line,
            "request 3.7 FETCH-RESULT statement 12 sent 56 bytes, reply header 24 bytes, "
            "1.500 ms, OK");

  line = kestrion::ExchangeLine(
      "3.8", "EXECUTE-STATEMENT\r\nSTATEMENT-BASE64: eA==", 4,
      u"3.8 ERROR\r\nError-Code:4001\r\nError-Description:no such table: x\r\n\r\n",
      microseconds(20), "", ok);
  EXPECT_FALSE(ok);
  EXPECT_NE(line.find("request 3.8 EXECUTE-STATEMENT sent"), std::string::npos) << line;
  EXPECT_NE(line.find(", ERROR 4001: no such table: x"), std::string::npos) << line;
  // The statement id of the reply is shown.
  line = kestrion::ExchangeLine("3.9", "EXECUTE-STATEMENT", 0, u"3.9 OK\r\nStatement-ID: 4\r\n\r\n",
                                microseconds(1), "", ok);
  EXPECT_NE(line.find("EXECUTE-STATEMENT statement 4 "), std::string::npos) << line;

  line = kestrion::ExchangeLine("3.10", "LOGOUT", 0, u"", microseconds(1),
                                "08S01 Can't read from server.", ok);
  EXPECT_FALSE(ok);
  EXPECT_NE(line.find(", failed: 08S01 Can't read from server."), std::string::npos) << line;
}

// Sessions through the driver's exported functions against the development
// server, with a log file per test.
class DriverLogSession : public ::testing::Test {
 protected:
  kestrion_test::DevServer server{{"--sample", "--user", std::string("ann:") + kPassword}};
  std::string dir = TempDir();
  std::string path = dir + "/driver.log";
  SQLHENV env = nullptr;
  SQLHDBC dbc = nullptr;

  void SetUp() override {
    ASSERT_TRUE(server.ok()) << server.error();
    ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env), SQL_SUCCESS);
    ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc), SQL_SUCCESS);
  }
  void TearDown() override {
    if (env != nullptr) SQLFreeHandle(SQL_HANDLE_ENV, env);
    std::remove(path.c_str());
    std::remove((path + ".1").c_str());
    rmdir(dir.c_str());
  }
  kestrion::CHConnection& conn() { return *static_cast<kestrion::CHConnection*>(dbc); }

  std::string Base(const std::string& password) {
    return "DSN=*;Server=127.0.0.1;Port=" + std::to_string(server.port()) +
           ";UID=ann;PWD=" + password + ";LoginTimeout=5";
  }
  SQLRETURN Connect(const std::string& text) {
    VString w = VString::FromUtf8(text);
    return SQLDriverConnectW(dbc, nullptr, reinterpret_cast<SQLWCHAR*>(w.data()), SQL_NTS,
                             nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
  }
  SQLRETURN Run(const char16_t* sql) {
    SQLHSTMT stmt = nullptr;
    EXPECT_EQ(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt), SQL_SUCCESS);
    VString text(sql);
    SQLRETURN rc = SQLExecDirectW(stmt, reinterpret_cast<SQLWCHAR*>(text.data()), SQL_NTS);
    if (SQL_SUCCEEDED(rc)) {
      while (SQL_SUCCEEDED(SQLFetch(stmt))) {
      }
    }
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return rc;
  }
  // A session: one refused login, then a query that works and one that fails.
  std::string Session(const std::string& level) {
    const std::string log_keys = ";LogFile=" + path + ";LogLevel=" + level;
    EXPECT_EQ(Connect(Base("wrong") + log_keys), SQL_ERROR);
    EXPECT_TRUE(SQL_SUCCEEDED(Connect(Base(kPassword) + log_keys)));
    EXPECT_EQ(Run(u"SELECT id, name FROM customers WHERE id < 4"), SQL_SUCCESS);
    EXPECT_EQ(Run(u"SELECT * FROM no_such_table"), SQL_ERROR);
    EXPECT_EQ(SQLDisconnect(dbc), SQL_SUCCESS);
    return ReadFile(path);
  }
  void ExpectNoPassword(const std::string& log) {
    EXPECT_EQ(log.find(kPassword), std::string::npos) << log;
    EXPECT_EQ(log.find(kestrion::Base64OfText(u"Sesame-42")), std::string::npos) << log;
    EXPECT_EQ(log.find(kestrion::Base64OfText(u"wrong")), std::string::npos) << log;
  }
};

TEST_F(DriverLogSession, ErrorLevelWritesTheFailuresOnly) {
  const std::string log = Session("error");
  ExpectNoPassword(log);
  EXPECT_EQ(LinesWith(log, " LOGIN ").size(), 1u) << log;
  EXPECT_EQ(LinesWith(log, "ERROR 3003").size(), 1u) << log;
  EXPECT_EQ(LinesWith(log, "connect failed: 08004").size(), 1u) << log;
  EXPECT_EQ(LinesWith(log, "ERROR 4001: no such table: no_such_table").size(), 1u) << log;
  EXPECT_TRUE(LinesWith(log, ", OK").empty()) << log;
  EXPECT_TRUE(LinesWith(log, "call ").empty()) << log;
  // Every line: timestamp, process, thread, connection number.
  const std::string prefix = " pid " + std::to_string(getpid()) + " tid ";
  const std::string connection = " conn " + std::to_string(conn().connection_number) + " ";
  for (const std::string& line : LinesWith(log, "")) {
    EXPECT_TRUE(line.size() > 28 && line[4] == '-' && line[10] == 'T' && line[26] == 'Z')
        << line;
    EXPECT_NE(line.find(prefix), std::string::npos) << line;
    EXPECT_NE(line.find(connection), std::string::npos) << line;
  }
}

TEST_F(DriverLogSession, InfoLevelWritesEveryRequestAndNoPassword) {
  const std::string log = Session("info");
  ExpectNoPassword(log);
  EXPECT_EQ(LinesWith(log, "connect DSN=*").size(), 2u) << log;
  EXPECT_EQ(LinesWith(log, ";PWD=***;").size(), 2u) << log;
  EXPECT_EQ(LinesWith(log, "connected to 127.0.0.1:").size(), 1u) << log;
  EXPECT_EQ(LinesWith(log, " LOGIN ").size(), 2u) << log;
  EXPECT_FALSE(LinesWith(log, "EXECUTE-STATEMENT statement ").empty()) << log;
  EXPECT_EQ(LinesWith(log, " LOGOUT ").size(), 1u) << log;
  for (const std::string& line : LinesWith(log, "request ")) {
    EXPECT_NE(line.find(" ms, "), std::string::npos) << line;
    EXPECT_NE(line.find(" bytes"), std::string::npos) << line;
  }
  EXPECT_TRUE(LinesWith(log, "call ").empty()) << log;
}

TEST_F(DriverLogSession, DebugLevelAddsOneLinePerCall) {
  const std::string log = Session("debug");
  ExpectNoPassword(log);
  EXPECT_FALSE(LinesWith(log, "request ").empty()) << log;
  const auto connects = LinesWith(log, "call SQLDriverConnectW handle 0x");
  ASSERT_EQ(connects.size(), 2u) << log;
  EXPECT_NE(connects[0].find("-> SQL_ERROR SQLSTATE 08004"), std::string::npos) << log;
  EXPECT_NE(connects[1].find("-> SQL_SUCCESS"), std::string::npos) << log;
  // The failed statement reports the SQLSTATE the server gave.
  EXPECT_NE(LinesWith(log, "call SQLExecDirectW").back().find("-> SQL_ERROR SQLSTATE 42S02"),
            std::string::npos)
      << log;
  EXPECT_EQ(LinesWith(log, "call SQLExecDirectW").size(), 2u) << log;
  EXPECT_EQ(LinesWith(log, "call SQLFetch handle").size(), 4u) << log;
  EXPECT_NE(LinesWith(log, "call SQLFetch handle").back().find("-> SQL_NO_DATA"),
            std::string::npos)
      << log;
  EXPECT_EQ(LinesWith(log, "call SQLDisconnect handle").size(), 1u) << log;
}

TEST_F(DriverLogSession, WithoutALogNothingIsOpened) {
  if (std::getenv("KESTRION_ODBC_LOG") != nullptr) GTEST_SKIP() << "KESTRION_ODBC_LOG is set";
  ASSERT_TRUE(SQL_SUCCEEDED(Connect(Base(kPassword))));
  EXPECT_FALSE(conn().log.file);
  EXPECT_FALSE(conn().log.Enabled(LogLevel::Error));
  EXPECT_EQ(Run(u"SELECT 1"), SQL_SUCCESS);
  EXPECT_EQ(SQLDisconnect(dbc), SQL_SUCCESS);
  EXPECT_EQ(access(path.c_str(), F_OK), -1);
}

TEST_F(DriverLogSession, ARotatedFileIsReopenedAtItsPath) {
  ASSERT_TRUE(SQL_SUCCEEDED(Connect(Base(kPassword) + ";LogFile=" + path)));
  ASSERT_EQ(std::rename(path.c_str(), (path + ".1").c_str()), 0);
  EXPECT_EQ(Run(u"SELECT 1"), SQL_SUCCESS);
  EXPECT_EQ(SQLDisconnect(dbc), SQL_SUCCESS);
  const std::string before = ReadFile(path + ".1");
  const std::string after = ReadFile(path);
  EXPECT_EQ(LinesWith(before, " LOGIN ").size(), 1u) << before;
  EXPECT_TRUE(LinesWith(before, "EXECUTE-STATEMENT").empty()) << before;
  EXPECT_FALSE(LinesWith(after, "EXECUTE-STATEMENT").empty()) << after;
  EXPECT_EQ(LinesWith(after, " QUIT ").size(), 1u) << after;
  // Appended to, never truncated.
  ASSERT_TRUE(SQL_SUCCEEDED(Connect(Base(kPassword) + ";LogFile=" + path)));
  EXPECT_EQ(SQLDisconnect(dbc), SQL_SUCCESS);
  EXPECT_EQ(ReadFile(path).rfind(after, 0), 0u);
}

}  // namespace
