// Result description and delivery into bound buffers, against a scripted
// server: names and types answered by SQLDescribeColW and SQLColAttributeW,
// the connection flags that adjust them, truncation and dynamic binding.
#include <cstring>

#include "driver/statement.h"
#include "tests/statement/statement_fixture.h"
#include "toolbox/base64.h"

namespace kestrion_test {
namespace {

std::string B64(const std::string& text) { return corvane::Base64Encode(std::string_view(text)); }

std::string Text(const std::u16string& s) {
  std::string out;
  const std::int32_t n = -static_cast<std::int32_t>(s.size());
  out.append(reinterpret_cast<const char*>(&n), 4);
  out.append(reinterpret_cast<const char*>(s.data()), s.size() * 2);
  return out;
}

class Describe : public ScriptedTest {
 protected:
  void Open(ScriptedServer& server, const std::string& options) {
    server.Expect(Id(0) +
                      " LOGIN\r\nREPLY-WITH-BASE64-TEXT: Y\r\nUSER-NAME-BASE64: \r\n"
                      "USER-PASSWORD-BASE64: \r\nPROTOCOL-VERSION: 0.1a\r\n\r\n",
                  OkReply(Id(0)));
    ASSERT_TRUE(SQL_SUCCEEDED(h->Connect(server.port(), options)));
    stmt = h->NewStatement();
  }
  // Prepares "SELECT x" as request n, answered with the given fields.
  SQLRETURN PrepareWith(ScriptedServer& server, int n, const std::string& fields) {
    server.Expect(Id(n) + " PREPARE-STATEMENT\r\nSTATEMENT-BASE64: " + B64("SELECT x") + "\r\n\r\n",
                  OkReply(Id(n), fields));
    return Prepare(stmt, "SELECT x");
  }
  // Executes "SELECT x" as request n, answered with the fields and body.
  SQLRETURN ExecuteWith(ScriptedServer& server, int n, const std::string& fields,
                        const std::string& body) {
    server.Expect(Id(n) + " EXECUTE-STATEMENT\r\nSTATEMENT-BASE64: " + B64("SELECT x") +
                      "\r\nOUTPUT-MODE: RELEASE\r\nFIRST-PAGE-SIZE: 100\r\n\r\n",
                  OkReply(Id(n), fields) + body);
    return SQLExecute(stmt);
  }
  void Close(ScriptedServer& server, int n) {
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    stmt = nullptr;
    server.Expect(Id(n) + " LOGOUT\r\n\r\n", OkReply(Id(n)));
    ScriptedServer::Step quit{Id(n + 1) + " QUIT\r\n\r\n", OkReply(Id(n + 1))};
    quit.close_after = true;
    server.Then(quit);
    SQLDisconnect(h->dbc);
    EXPECT_EQ(server.Finish(), "");
  }
};

const std::string kThreeColumns =
    "Column-Count: 3\r\nColumn-Types: VK_TEXT VK_TIME VK_DURATION\r\n"
    "Column-Aliases: [long name] \"quoted\" `back`\r\nColumn-Updateability: N N N\r\n"
    "Result-Type: Row-Set\r\n";

TEST_F(Describe, ColumnsNamesAndTypes) {
  ScriptedServer server;
  Open(server, "");
  ASSERT_EQ(PrepareWith(server, 1, kThreeColumns), SQL_SUCCESS) << Diagnostics(SQL_HANDLE_STMT, stmt);
  SQLSMALLINT columns = 0;
  SQLNumResultCols(stmt, &columns);
  EXPECT_EQ(columns, 3);
  SQLWCHAR name[4] = {};
  SQLSMALLINT name_length = 0, type = 0, digits = -1, nullable = -1;
  SQLULEN size = 0;
  ASSERT_EQ(SQLDescribeColW(stmt, 1, name, 4, &name_length, &type, &size, &digits, &nullable),
            SQL_SUCCESS);
  EXPECT_EQ(corvane::VString(reinterpret_cast<char16_t*>(name)).ToUtf8(), "lon");
  EXPECT_EQ(name_length, 9);
  EXPECT_EQ(type, SQL_WCHAR);
  EXPECT_EQ(nullable, SQL_NULLABLE);
  SQLWCHAR full[32] = {};
  ASSERT_EQ(SQLDescribeColW(stmt, 2, full, 32, &name_length, &type, &size, &digits, nullptr),
            SQL_SUCCESS);
  EXPECT_EQ(corvane::VString(reinterpret_cast<char16_t*>(full)).ToUtf8(), "quoted");
  // A VK_TIME column holds a time of day to the millisecond.
  EXPECT_EQ(type, SQL_TYPE_TIMESTAMP);
  EXPECT_EQ(size, 23u);
  EXPECT_EQ(digits, 3);
  ASSERT_EQ(SQLDescribeColW(stmt, 3, full, 32, nullptr, &type, &size, nullptr, nullptr), SQL_SUCCESS);
  EXPECT_EQ(corvane::VString(reinterpret_cast<char16_t*>(full)).ToUtf8(), "back");
  EXPECT_EQ(type, SQL_TYPE_TIME);
  EXPECT_EQ(SQLDescribeColW(stmt, 4, full, 32, nullptr, &type, &size, nullptr, nullptr), SQL_ERROR);

  SQLLEN number = 0;
  ASSERT_EQ(SQLColAttributeW(stmt, 1, SQL_DESC_CONCISE_TYPE, nullptr, 0, nullptr, &number), SQL_SUCCESS);
  EXPECT_EQ(number, SQL_CHAR);
  ASSERT_EQ(SQLColAttributeW(stmt, 2, SQL_DESC_CONCISE_TYPE, nullptr, 0, nullptr, &number), SQL_SUCCESS);
  EXPECT_EQ(number, 9);
  struct {
    SQLUSMALLINT field;
    SQLLEN value;
  } const timestamp_fields[] = {
      {SQL_DESC_TYPE, SQL_DATETIME},  {SQL_DESC_DATETIME_INTERVAL_CODE, SQL_CODE_TIMESTAMP},
      {SQL_DESC_LENGTH, 23},          {SQL_DESC_OCTET_LENGTH, sizeof(SQL_TIMESTAMP_STRUCT)},
      {SQL_DESC_PRECISION, 3},        {SQL_DESC_DISPLAY_SIZE, 23},
  };
  for (const auto& f : timestamp_fields) {
    number = -1;
    ASSERT_EQ(SQLColAttributeW(stmt, 2, f.field, nullptr, 0, nullptr, &number), SQL_SUCCESS);
    EXPECT_EQ(number, f.value) << "field " << f.field;
  }
  SQLWCHAR type_name[32] = {};
  ASSERT_EQ(SQLColAttributeW(stmt, 2, SQL_DESC_TYPE_NAME, type_name, sizeof type_name, nullptr,
                             nullptr),
            SQL_SUCCESS);
  EXPECT_EQ(corvane::VString(reinterpret_cast<char16_t*>(type_name)).ToUtf8(), "TIMESTAMP");
  number = -1;
  ASSERT_EQ(SQLColAttributeW(stmt, 1, SQL_COLUMN_COUNT, nullptr, 0, nullptr, &number), SQL_SUCCESS);
  EXPECT_EQ(number, 3);
  SQLWCHAR label[64] = {};
  SQLSMALLINT label_bytes = 0;
  ASSERT_EQ(SQLColAttributeW(stmt, 1, SQL_DESC_LABEL, label, sizeof label, &label_bytes, nullptr),
            SQL_SUCCESS);
  EXPECT_EQ(corvane::VString(reinterpret_cast<char16_t*>(label)).ToUtf8(), "long name");
  EXPECT_EQ(label_bytes, 18);
  Close(server, 2);
}

TEST_F(Describe, ConnectionFlagsAdjustTextColumns) {
  ScriptedServer server;
  Open(server, ";OpenQuery=true;MSAccess=true");
  ASSERT_EQ(PrepareWith(server, 1, kThreeColumns), SQL_SUCCESS);
  SQLSMALLINT type = 0;
  SQLULEN size = 0;
  ASSERT_EQ(SQLDescribeColW(stmt, 1, nullptr, 0, nullptr, &type, &size, nullptr, nullptr), SQL_SUCCESS);
  EXPECT_EQ(type, SQL_LONGVARCHAR);
  EXPECT_EQ(size, 65535u);
  SQLLEN number = 0;
  ASSERT_EQ(SQLColAttributeW(stmt, 2, SQL_DESC_CONCISE_TYPE, nullptr, 0, nullptr, &number), SQL_SUCCESS);
  EXPECT_EQ(number, 11);
  Close(server, 2);
}

TEST_F(Describe, WindevTextIsNarrowAndShort) {
  ScriptedServer server;
  Open(server, ";Windev=true");
  ASSERT_EQ(PrepareWith(server, 1, kThreeColumns), SQL_SUCCESS);
  SQLSMALLINT type = 0;
  SQLULEN size = 0;
  ASSERT_EQ(SQLDescribeColW(stmt, 1, nullptr, 0, nullptr, &type, &size, nullptr, nullptr), SQL_SUCCESS);
  EXPECT_EQ(type, SQL_CHAR);
  EXPECT_EQ(size, 255u);
  Close(server, 2);
}

const std::string kTextResult =
    "Column-Count: 1\r\nColumn-Types: VK_TEXT\r\nColumn-Aliases: t\r\nColumn-Updateability: N\r\n"
    "Result-Type: Row-Set\r\nRow-Count: 1\r\nStatement-ID: 0\r\nRow-Count-Sent: 1\r\n";

TEST_F(Describe, TruncatedTextColumnWarns) {
  ScriptedServer server;
  Open(server, "");
  ASSERT_EQ(PrepareWith(server, 1, kThreeColumns), SQL_SUCCESS);
  char buffer[5] = {};
  SQLLEN ind = 0;
  SQLBindCol(stmt, 1, SQL_C_CHAR, buffer, sizeof buffer, &ind);
  ASSERT_EQ(ExecuteWith(server, 2, kTextResult, "1" + Text(u"abcdefgh")), SQL_SUCCESS)
      << Diagnostics(SQL_HANDLE_STMT, stmt);
  EXPECT_EQ(SQLFetch(stmt), SQL_SUCCESS_WITH_INFO);
  EXPECT_TRUE(HasState(SQL_HANDLE_STMT, stmt, "01004"));
  EXPECT_STREQ(buffer, "abcd");
  EXPECT_EQ(ind, 8);
  // A page of short values never describes the column smaller than its
  // kind: a later, longer value must still fit a buffer sized from it.
  SQLLEN octets = 0;
  SQLColAttributeW(stmt, 1, SQL_DESC_OCTET_LENGTH, nullptr, 0, nullptr, &octets);
  EXPECT_EQ(octets, 32767);
  Close(server, 3);
}

TEST_F(Describe, TimestampColumnKeepsMillisecondsAndItsEmptyValueIsNull) {
  ScriptedServer server;
  Open(server, "");
  ASSERT_EQ(PrepareWith(server, 1, kThreeColumns), SQL_SUCCESS);
  const std::string fields =
      "Column-Count: 1\r\nColumn-Types: VK_TIME\r\nColumn-Aliases: t\r\nColumn-Updateability: N\r\n"
      "Result-Type: Row-Set\r\nRow-Count: 2\r\nStatement-ID: 0\r\nRow-Count-Sent: 2\r\n";
  // Year, month, day, milliseconds since midnight: the empty date, then
  // 2007-01-15 03:04:05.678.
  const std::uint32_t ms = ((3 * 60 + 4) * 60 + 5) * 1000 + 678;
  std::string stamp("\xD7\x07\x01\x0F", 4);
  stamp.append(reinterpret_cast<const char*>(&ms), 4);
  ASSERT_EQ(ExecuteWith(server, 2, fields, "1" + std::string(8, '\0') + "1" + stamp), SQL_SUCCESS)
      << Diagnostics(SQL_HANDLE_STMT, stmt);
  SQL_TIMESTAMP_STRUCT ts{};
  SQLLEN ind = 0;
  ASSERT_EQ(SQLBindCol(stmt, 1, SQL_C_DEFAULT, &ts, sizeof ts, &ind), SQL_SUCCESS);
  ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS) << Diagnostics(SQL_HANDLE_STMT, stmt);
  EXPECT_EQ(ind, SQL_NULL_DATA);
  ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS) << Diagnostics(SQL_HANDLE_STMT, stmt);
  EXPECT_EQ(ind, static_cast<SQLLEN>(sizeof ts));
  EXPECT_EQ(ts.year, 2007);
  EXPECT_EQ(ts.day, 15);
  EXPECT_EQ(ts.hour, 3);
  EXPECT_EQ(ts.second, 5);
  EXPECT_EQ(ts.fraction, 678000000u);
  Close(server, 3);
}

TEST_F(Describe, DynamicBindingGrowsTheBuffer) {
  ScriptedServer server;
  Open(server, "");
  auto& st = *static_cast<kestrion::CHStatement*>(stmt);
  kestrion::AttributeCell* cell =
      st._GetAvailableAttribute(SQLKESTRION_ATTR_DYNAMIC_BIND, 0, kestrion::kInternalSet);
  ASSERT_NE(cell, nullptr);
  st._SetAttribute(*cell, SQLKESTRION_ATTR_DYNAMIC_BIND, reinterpret_cast<SQLPOINTER>(8), 0, 0);
  ASSERT_EQ(PrepareWith(server, 1, kThreeColumns), SQL_SUCCESS);
  const std::u16string long_text(300, u'z');
  ASSERT_EQ(ExecuteWith(server, 2, kTextResult, "1" + Text(long_text)), SQL_SUCCESS)
      << Diagnostics(SQL_HANDLE_STMT, stmt);
  EXPECT_EQ(SQLFetch(stmt), SQL_SUCCESS) << Diagnostics(SQL_HANDLE_STMT, stmt);
  SQLHDESC ard = nullptr;
  SQLGetStmtAttrW(stmt, SQL_ATTR_APP_ROW_DESC, &ard, 0, nullptr);
  SQLPOINTER data = nullptr;
  SQLGetDescFieldW(ard, 1, SQL_DESC_DATA_PTR, &data, 0, nullptr);
  ASSERT_NE(data, nullptr);
  EXPECT_TRUE(std::u16string(static_cast<char16_t*>(data)) == long_text);
  Close(server, 3);
}

TEST_F(Describe, UpdateCountLeavesNoColumns) {
  ScriptedServer server;
  Open(server, "");
  ASSERT_EQ(PrepareWith(server, 1, kThreeColumns), SQL_SUCCESS);
  const std::string count =
      "Column-Count: 1\r\nColumn-Types: VK_LONG\r\nColumn-Aliases: Update-Count\r\n"
      "Column-Updateability: N\r\nResult-Type: Update-Count\r\nRow-Count: 5\r\nStatement-ID: 0\r\n";
  const std::int32_t five = 5;
  ASSERT_EQ(ExecuteWith(server, 2, count, std::string(reinterpret_cast<const char*>(&five), 4)),
            SQL_SUCCESS)
      << Diagnostics(SQL_HANDLE_STMT, stmt);
  SQLSMALLINT columns = -1;
  SQLNumResultCols(stmt, &columns);
  EXPECT_EQ(columns, 0);
  SQLLEN rows = 0;
  SQLRowCount(stmt, &rows);
  EXPECT_EQ(rows, 5);
  EXPECT_EQ(SQLMoreResults(stmt), SQL_NO_DATA);
  Close(server, 3);
}

}  // namespace
}  // namespace kestrion_test
