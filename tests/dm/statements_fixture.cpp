#include "tests/dm/statements_fixture.h"

#include <cctype>

#include "toolbox/vstring.h"

namespace kestrion_dm {

std::unique_ptr<kestrion_test::DevServer> StatementsTest::server_;
std::unique_ptr<kestrion_test::PrivateOdbcConfig> StatementsTest::config_;

std::u16string Utf16(const std::string& utf8) { return corvane::VString::FromUtf8(utf8); }

std::string Utf8(const std::u16string& utf16) { return corvane::VString(utf16).ToUtf8(); }

std::string Diagnostics(SQLSMALLINT type, SQLHANDLE handle) {
  std::string out;
  for (SQLSMALLINT i = 1; i < 20; ++i) {
    SQLWCHAR state[6] = {0};
    SQLWCHAR text[2048] = {0};
    SQLINTEGER native = 0;
    SQLSMALLINT len = 0;
    if (!SQL_SUCCEEDED(SQLGetDiagRecW(type, handle, i, state, &native, text, 2048, &len))) break;
    out += Utf8(reinterpret_cast<const char16_t*>(state)) + ": " +
           Utf8(reinterpret_cast<const char16_t*>(text)) + "\n";
  }
  return out;
}

std::string FirstState(SQLSMALLINT type, SQLHANDLE handle) {
  SQLWCHAR state[6] = {0};
  SQLWCHAR text[1024] = {0};
  SQLINTEGER native = 0;
  SQLSMALLINT len = 0;
  if (!SQL_SUCCEEDED(SQLGetDiagRecW(type, handle, 1, state, &native, text, 1024, &len))) return "";
  return Utf8(reinterpret_cast<const char16_t*>(state));
}

void StatementsTest::SetUpTestSuite() { StartServer({"--sample"}); }

void StatementsTest::StartServer(std::vector<std::string> arguments) {
  config_ = std::make_unique<kestrion_test::PrivateOdbcConfig>();
  server_ = std::make_unique<kestrion_test::DevServer>(std::move(arguments));
}

void StatementsTest::TearDownTestSuite() {
  server_.reset();
  config_.reset();
}

int StatementsTest::port() { return server_ ? server_->port() : 0; }

std::string StatementsTest::ConnectionString() {
  return "DRIVER={Kestrion};Server=127.0.0.1;Port=" + std::to_string(port()) +
         ";UID=tester;PWD=secret;LoginTimeout=10;PhysicalConnectionTimeout=10";
}

void StatementsTest::SetUp() {
  ASSERT_TRUE(server_ && server_->ok()) << (server_ ? server_->error() : "no server");
  ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_), SQL_SUCCESS);
  ASSERT_EQ(SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
            SQL_SUCCESS);
  dbc_ = Connect(ConnectionString());
  ASSERT_NE(dbc_, nullptr);
}

void StatementsTest::TearDown() {
  if (env_ != nullptr) {
    // Freeing the environment needs its connections disconnected and freed.
    if (dbc_ != nullptr) {
      SQLDisconnect(dbc_);
      SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    }
    SQLFreeHandle(SQL_HANDLE_ENV, env_);
  }
}

SQLHDBC StatementsTest::Connect(const std::string& connection_string) {
  SQLHDBC dbc = nullptr;
  if (SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc) != SQL_SUCCESS) {
    ADD_FAILURE() << "SQLAllocHandle(DBC) failed";
    return nullptr;
  }
  std::u16string in = Utf16(connection_string);
  SQLWCHAR out[1024];
  SQLSMALLINT out_len = 0;
  SQLRETURN rc = SQLDriverConnectW(dbc, nullptr, Wide(in), SQL_NTS, out, 1024, &out_len,
                                   SQL_DRIVER_NOPROMPT);
  if (!SQL_SUCCEEDED(rc)) {
    ADD_FAILURE() << "SQLDriverConnectW: " << Diagnostics(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    return nullptr;
  }
  return dbc;
}

SQLHSTMT StatementsTest::NewStatement(SQLHDBC dbc) {
  SQLHSTMT stmt = nullptr;
  SQLHDBC on = dbc != nullptr ? dbc : dbc_;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, on, &stmt))) {
    ADD_FAILURE() << "SQLAllocHandle(STMT): " << Diagnostics(SQL_HANDLE_DBC, on);
    return nullptr;
  }
  return stmt;
}

::testing::AssertionResult StatementsTest::ExecDirect(SQLHSTMT stmt, const std::string& sql) {
  std::u16string text = Utf16(sql);
  SQLRETURN rc = SQLExecDirectW(stmt, Wide(text), SQL_NTS);
  if (SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << sql << "\n -> " << rc << "\n"
                                       << Diagnostics(SQL_HANDLE_STMT, stmt);
}

void StatementsTest::Run(const std::string& sql, SQLHDBC dbc) {
  SQLHSTMT stmt = NewStatement(dbc);
  ASSERT_NE(stmt, nullptr);
  EXPECT_TRUE(ExecDirect(stmt, sql));
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
}

std::string StatementsTest::TableName(const std::string& stem) const {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = stem + "_" + (info != nullptr ? info->name() : "t");
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

}  // namespace kestrion_dm
