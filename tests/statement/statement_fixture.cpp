#include "tests/statement/statement_fixture.h"

namespace kestrion_test {

std::unique_ptr<DevServer> DevServerTest::server_;

std::string Diagnostics(SQLSMALLINT type, SQLHANDLE handle) {
  std::string out;
  for (SQLSMALLINT i = 1;; ++i) {
    SQLWCHAR state[6] = {};
    SQLWCHAR text[1024] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLGetDiagRecW(type, handle, i, state, &native, text, 1024, &length))) break;
    out += corvane::VString(reinterpret_cast<char16_t*>(state)).ToUtf8() + " " +
           std::to_string(native) + " " + corvane::VString(reinterpret_cast<char16_t*>(text)).ToUtf8() +
           "\n";
  }
  return out;
}

bool HasState(SQLSMALLINT type, SQLHANDLE handle, const std::string& state) {
  const std::string all = "\n" + Diagnostics(type, handle);
  return all.find("\n" + state + " ") != std::string::npos;
}

SQLRETURN ExecDirect(SQLHSTMT stmt, const std::string& sql) {
  std::u16string text = W(sql);
  return SQLExecDirectW(stmt, reinterpret_cast<SQLWCHAR*>(text.data()), SQL_NTS);
}

SQLRETURN Prepare(SQLHSTMT stmt, const std::string& sql) {
  std::u16string text = W(sql);
  return SQLPrepareW(stmt, reinterpret_cast<SQLWCHAR*>(text.data()), SQL_NTS);
}

std::vector<std::vector<std::string>> AllRows(SQLHSTMT stmt) {
  std::vector<std::vector<std::string>> rows;
  SQLSMALLINT columns = 0;
  SQLNumResultCols(stmt, &columns);
  while (SQLFetch(stmt) == SQL_SUCCESS) {
    std::vector<std::string> row;
    for (SQLUSMALLINT c = 1; c <= columns; ++c) {
      SQLWCHAR buffer[2048] = {};
      SQLLEN indicator = 0;
      SQLGetData(stmt, c, SQL_C_WCHAR, buffer, sizeof buffer, &indicator);
      row.push_back(indicator == SQL_NULL_DATA
                        ? "NULL"
                        : corvane::VString(reinterpret_cast<char16_t*>(buffer)).ToUtf8());
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

void DevServerTest::SetUpTestSuite() { server_ = std::make_unique<DevServer>(); }
void DevServerTest::TearDownTestSuite() { server_.reset(); }

void DevServerTest::SetUp() {
  ASSERT_TRUE(server_ && server_->ok()) << (server_ ? server_->error() : "");
  h = std::make_unique<OdbcHandles>();
  ASSERT_TRUE(SQL_SUCCEEDED(h->Connect(server_->port()))) << Diagnostics(SQL_HANDLE_DBC, h->dbc);
  stmt = h->NewStatement();
  ASSERT_NE(stmt, nullptr);
}

void DevServerTest::TearDown() {
  if (h) SQLDisconnect(h->dbc);
  h.reset();
}

void DevServerTest::Run(const std::string& sql) {
  SQLHSTMT s = h->NewStatement();
  ASSERT_TRUE(SQL_SUCCEEDED(ExecDirect(s, sql))) << sql << "\n" << Diagnostics(SQL_HANDLE_STMT, s);
  SQLFreeHandle(SQL_HANDLE_STMT, s);
}

void ScriptedTest::ConnectTo(ScriptedServer& server, const std::string& login_fields) {
  server.Expect(Id(0) +
                    " LOGIN\r\nREPLY-WITH-BASE64-TEXT: Y\r\nUSER-NAME-BASE64: \r\n"
                    "USER-PASSWORD-BASE64: \r\nPROTOCOL-VERSION: 0.1a\r\n\r\n",
                OkReply(Id(0), login_fields));
  ASSERT_TRUE(SQL_SUCCEEDED(h->Connect(server.port()))) << Diagnostics(SQL_HANDLE_DBC, h->dbc);
  stmt = h->NewStatement();
}

}  // namespace kestrion_test
