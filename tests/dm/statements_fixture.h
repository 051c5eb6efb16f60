// Shared pieces of the statement tests that go through the unixODBC Driver
// Manager: one development server with the sample data per test suite, a
// fresh connection per test, and small helpers around the ODBC calls.
#pragma once

#include <gtest/gtest.h>
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/dev_server.h"
#include "tests/support/odbc_config.h"

namespace kestrion_dm {

// UTF-8 to UTF-16 (surrogate pairs for characters beyond the BMP) and back.
std::u16string Utf16(const std::string& utf8);
std::string Utf8(const std::u16string& utf16);
inline SQLWCHAR* Wide(std::u16string& s) { return reinterpret_cast<SQLWCHAR*>(s.data()); }

// "STATE: message" of every diagnostic record of a handle, one per line.
std::string Diagnostics(SQLSMALLINT type, SQLHANDLE handle);
// The SQLSTATE of the first diagnostic record, or "" when there is none.
std::string FirstState(SQLSMALLINT type, SQLHANDLE handle);

class StatementsTest : public ::testing::Test {
 public:
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  // Starts the suite's server with these arguments (SetUpTestSuite: --sample).
  static void StartServer(std::vector<std::string> arguments);

 protected:
  void SetUp() override;
  void TearDown() override;

  // Connection string for the suite's server (no trailing ";").
  static std::string ConnectionString();
  static int port();

  // Connects a fresh connection handle on env_ to the given string.
  SQLHDBC Connect(const std::string& connection_string);
  SQLHSTMT NewStatement(SQLHDBC dbc = nullptr);

  // Runs the text on a new statement that is freed again; fails the test
  // with the diagnostics when the driver refuses.
  void Run(const std::string& sql, SQLHDBC dbc = nullptr);
  // SQLExecDirectW with the diagnostics in the failure message.
  ::testing::AssertionResult ExecDirect(SQLHSTMT stmt, const std::string& sql);
  // A table name unique to the running test.
  std::string TableName(const std::string& stem) const;

  SQLHENV env_ = nullptr;
  SQLHDBC dbc_ = nullptr;

 private:
  static std::unique_ptr<kestrion_test::DevServer> server_;
  static std::unique_ptr<kestrion_test::PrivateOdbcConfig> config_;
};

// The servers of the tests that run against both kinds: one that announces
// its capabilities, and a base-protocol one.
struct Announced {
  static std::vector<std::string> Arguments() { return {"--sample"}; }
};
struct BaseProtocol {
  static std::vector<std::string> Arguments() { return {"--sample", "--no-capabilities"}; }
};

// Checks a return code, printing the handle's diagnostics when it is not a
// success.
#define KESTRION_EXPECT_OK(rc, type, handle)                                        \
  do {                                                                              \
    SQLRETURN kestrion_rc_ = (rc);                                                  \
    EXPECT_TRUE(SQL_SUCCEEDED(kestrion_rc_))                                        \
        << #rc << " returned " << kestrion_rc_ << "\n"                              \
        << ::kestrion_dm::Diagnostics(type, handle);                                \
  } while (0)
#define KESTRION_ASSERT_OK(rc, type, handle)                                        \
  do {                                                                              \
    SQLRETURN kestrion_rc_ = (rc);                                                  \
    ASSERT_TRUE(SQL_SUCCEEDED(kestrion_rc_))                                        \
        << #rc << " returned " << kestrion_rc_ << "\n"                              \
        << ::kestrion_dm::Diagnostics(type, handle);                                \
  } while (0)
#define STMT_OK(rc) KESTRION_ASSERT_OK(rc, SQL_HANDLE_STMT, stmt)

}  // namespace kestrion_dm
