// The exact bytes of statement requests, against a scripted loopback server.
#include <chrono>
#include <cstring>

#include "tests/statement/statement_fixture.h"
#include "toolbox/base64.h"

namespace kestrion_test {
namespace {

std::string B64(const std::string& text) { return corvane::Base64Encode(std::string_view(text)); }

std::string I32(std::int32_t v) {
  std::string out(4, '\0');
  std::memcpy(out.data(), &v, 4);
  return out;
}

// A reply describing one row-set result of VK_LONG column "a".
std::string LongColumn(long long rows) {
  return "Column-Count: 1\r\nColumn-Types: VK_LONG\r\nColumn-Aliases: a\r\n"
         "Column-Updateability: N\r\nResult-Type: Row-Set\r\nRow-Count: " +
         std::to_string(rows) + "\r\n";
}

// The same as a prepare answers it: no row count.
std::string Description() {
  return "Column-Count: 1\r\nColumn-Types: VK_LONG\r\nColumn-Aliases: a\r\n"
         "Column-Updateability: N\r\nResult-Type: Row-Set\r\n";
}

class Wire : public ScriptedTest {
 protected:
  // Frees the statement, then scripts LOGOUT and QUIT as requests n and n+1
  // and disconnects; answers the script's first mismatch.
  std::string Finish(ScriptedServer& server, int n) {
    if (stmt != nullptr) SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    stmt = nullptr;
    server.Expect(Id(n) + " LOGOUT\r\n\r\n", OkReply(Id(n)));
    ScriptedServer::Step quit{Id(n + 1) + " QUIT\r\n\r\n", OkReply(Id(n + 1))};
    quit.close_after = true;
    server.Then(quit);
    SQLDisconnect(h->dbc);
    return server.Finish();
  }
  std::string Prepared(int n, const std::string& text, bool markers) {
    return Id(n) + " PREPARE-STATEMENT\r\n" + (markers ? "describe-parameters:Y\r\n" : "") +
           "STATEMENT-BASE64: " + B64(text) + "\r\n\r\n";
  }
  std::string Executed(int n, const std::string& text, const std::string& extra = "") {
    return Id(n) + " EXECUTE-STATEMENT\r\nSTATEMENT-BASE64: " + B64(text) +
           "\r\nOUTPUT-MODE: RELEASE\r\nFIRST-PAGE-SIZE: 100" + extra + "\r\n\r\n";
  }
};

TEST_F(Wire, PrepareAndExecuteHeaders) {
  ScriptedServer server;
  h = std::make_unique<OdbcHandles>();
  server.Expect(Id(0) +
                    " LOGIN\r\nREPLY-WITH-BASE64-TEXT: Y\r\nUSER-NAME-BASE64: \r\n"
                    "USER-PASSWORD-BASE64: \r\nPROTOCOL-VERSION: 0.1a\r\n\r\n",
                OkReply(Id(0)));
  ASSERT_TRUE(SQL_SUCCEEDED(h->Connect(server.port(), ";FavouriteImageFormats=PNG")));
  stmt = h->NewStatement();
  // Quoted identifiers become brackets; a '?' inside a literal is no marker.
  const std::string rewritten = "SELECT a FROM [T] WHERE b = '?'";
  server.Expect(Prepared(1, rewritten, false), OkReply(Id(1), Description()))
      .Expect(Executed(2, rewritten, "\r\nPREFERRED-IMAGE-TYPES: PNG"),
              OkReply(Id(2), LongColumn(0) + "Statement-ID: 0\r\nRow-Count-Sent: 0\r\n"));
  ASSERT_EQ(ExecDirect(stmt, "SELECT a FROM \"T\" WHERE b = '?'"), SQL_SUCCESS)
      << Diagnostics(SQL_HANDLE_STMT, stmt);
  EXPECT_EQ(SQLFetch(stmt), SQL_NO_DATA);
  // Markers ask for a description of the parameters.
  server.Expect(Prepared(3, "SELECT a FROM t WHERE a = ?", true),
                OkReply(Id(3), Description() + "Parameter-Types: VK_LONG\r\n"));
  ASSERT_EQ(Prepare(stmt, "SELECT a FROM t WHERE a = ?"), SQL_SUCCESS)
      << Diagnostics(SQL_HANDLE_STMT, stmt);
  SQLSMALLINT type = 0;
  ASSERT_EQ(SQLDescribeParam(stmt, 1, &type, nullptr, nullptr, nullptr), SQL_SUCCESS);
  EXPECT_EQ(type, SQL_INTEGER);
  EXPECT_EQ(Finish(server, 4), "");
}

TEST_F(Wire, The101stFetchAsksForTheNextPage) {
  ScriptedServer server;
  ConnectTo(server);
  std::string page1;
  for (int i = 0; i < 100; ++i) page1 += "1" + I32(i * 10);
  std::string page2;
  for (int i = 100; i < 200; ++i) page2 += "1" + I32(i * 10);
  server.Expect(Prepared(1, "SELECT a FROM t", false), OkReply(Id(1), Description()))
      .Expect(Executed(2, "SELECT a FROM t"),
              OkReply(Id(2), LongColumn(250) + "Statement-ID: 7\r\nRow-Count-Sent: 100\r\n") + page1);
  ASSERT_EQ(ExecDirect(stmt, "SELECT a FROM t"), SQL_SUCCESS) << Diagnostics(SQL_HANDLE_STMT, stmt);
  SQLINTEGER a = 0;
  SQLBindCol(stmt, 1, SQL_C_SLONG, &a, 0, nullptr);
  for (int i = 0; i < 100; ++i) {
    ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS) << i;
    ASSERT_EQ(a, i * 10);
  }
  server.Expect(Id(3) +
                    " FETCH-RESULT\r\nSTATEMENT-ID: 7\r\nCOMMAND-INDEX: 0\r\nFIRST-ROW-INDEX: 100\r\n"
                    "LAST-ROW-INDEX: 199\r\nOUTPUT-MODE: RELEASE\r\n\r\n",
                OkReply(Id(3), "Row-Count-Sent: 100\r\n") + page2);
  ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS) << Diagnostics(SQL_HANDLE_STMT, stmt);
  EXPECT_EQ(a, 1000);
  // Closing sends CLOSE-STATEMENT with the open identifier, once.
  server.Expect(Id(4) + " CLOSE-STATEMENT\r\nSTATEMENT-ID: 7\r\n\r\n", OkReply(Id(4)));
  EXPECT_EQ(SQLCloseCursor(stmt), SQL_SUCCESS);
  EXPECT_EQ(SQLCancel(stmt), SQL_SUCCESS);
  EXPECT_EQ(Finish(server, 5), "");
}

TEST_F(Wire, UnavailableValueIsARowErrorNamingItsColumn) {
  ScriptedServer server;
  ConnectTo(server);
  const std::string body = "1" + I32(1) + "2" + I32(2) + "1" + I32(3);
  const std::string reply =
      OkReply("%", LongColumn(3) + "Statement-ID: 0\r\nRow-Count-Sent: 3\r\n") + body;
  auto answer = [&](int n) { return Id(n) + reply.substr(1); };
  server.Expect(Prepared(1, "SELECT a FROM t", false), OkReply(Id(1), Description()))
      .Expect(Executed(2, "SELECT a FROM t"), answer(2))
      .Expect(Prepared(3, "SELECT a FROM t", false), OkReply(Id(3), Description()))
      .Expect(Executed(4, "SELECT a FROM t"), answer(4));
  // SQLGetData on the cell: an error naming the column, never a NULL the
  // server did not send.
  ASSERT_EQ(ExecDirect(stmt, "SELECT a FROM t"), SQL_SUCCESS) << Diagnostics(SQL_HANDLE_STMT, stmt);
  ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS);
  ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS);  // nothing bound
  SQLINTEGER v = 0;
  SQLLEN vi = 0;
  EXPECT_EQ(SQLGetData(stmt, 1, SQL_C_SLONG, &v, 0, &vi), SQL_ERROR);
  std::string diagnostics = Diagnostics(SQL_HANDLE_STMT, stmt);
  EXPECT_EQ(diagnostics.rfind("22018 ", 0), 0u) << diagnostics;
  EXPECT_NE(diagnostics.find("Column 1 (a)"), std::string::npos) << diagnostics;

  // A rowset: the row is in error, the others are delivered.
  ASSERT_EQ(ExecDirect(stmt, "SELECT a FROM t"), SQL_SUCCESS) << Diagnostics(SQL_HANDLE_STMT, stmt);
  SQLSetStmtAttrW(stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(3), 0);
  SQLINTEGER a[3] = {};
  SQLLEN ind[3] = {7, 7, 7};
  SQLUSMALLINT status[3] = {};
  SQLSetStmtAttrW(stmt, SQL_ATTR_ROW_STATUS_PTR, status, 0);
  SQLBindCol(stmt, 1, SQL_C_SLONG, a, 0, ind);
  EXPECT_EQ(SQLFetch(stmt), SQL_SUCCESS_WITH_INFO);
  diagnostics = Diagnostics(SQL_HANDLE_STMT, stmt);
  EXPECT_EQ(diagnostics.rfind("22018 ", 0), 0u) << diagnostics;
  EXPECT_EQ(a[0], 1);
  EXPECT_EQ(status[0], SQL_ROW_SUCCESS);
  EXPECT_EQ(status[1], SQL_ROW_ERROR);
  EXPECT_NE(ind[1], SQL_NULL_DATA);
  EXPECT_EQ(a[2], 3);
  EXPECT_EQ(Finish(server, 5), "");
}

TEST_F(Wire, StopStatusByteFailsTheDecode) {
  ScriptedServer server;
  ConnectTo(server);
  const std::string body = "1" + I32(1) + std::string(1, '\xFF') + I32(55);
  server.Expect(Prepared(1, "SELECT a FROM t", false), OkReply(Id(1), Description()))
      .Expect(Executed(2, "SELECT a FROM t"),
              OkReply(Id(2), LongColumn(2) + "Statement-ID: 0\r\nRow-Count-Sent: 2\r\n") + body);
  EXPECT_EQ(ExecDirect(stmt, "SELECT a FROM t"), SQL_ERROR);
  const std::string diagnostics = Diagnostics(SQL_HANDLE_STMT, stmt);
  EXPECT_NE(diagnostics.find("40001 55 "), std::string::npos) << diagnostics;
  EXPECT_EQ(diagnostics.rfind("40001 ", 0), 0u) << diagnostics;
  EXPECT_EQ(Finish(server, 3), "");
}

TEST_F(Wire, ParameterBodyOfANullThenAValue) {
  ScriptedServer server;
  ConnectTo(server);
  const std::string text = "INSERT INTO t VALUES (?, ?)";
  server.Expect(Prepared(1, text, true),
                OkReply(Id(1), "Parameter-Types: VK_LONG VK_TEXT\r\n"));
  ASSERT_EQ(Prepare(stmt, text), SQL_SUCCESS) << Diagnostics(SQL_HANDLE_STMT, stmt);
  SQLINTEGER first = 5;
  SQLLEN first_ind = SQL_NULL_DATA;
  SQLWCHAR second[] = {u'A', u'B', 0};
  SQLLEN second_ind = SQL_NTS;
  SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &first, 0, &first_ind);
  SQLBindParameter(stmt, 2, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR, 10, 0, second, sizeof second,
                   &second_ind);
  const std::string body = std::string("0") + "1" + std::string("\xFE\xFF\xFF\xFF" "A\0B\0", 8);
  server.Expect(Executed(2, text, "\r\nPARAMETER-TYPES: VK_TEXT").substr(0) + body,
                OkReply(Id(2), "Column-Count: 1\r\nColumn-Types: VK_LONG\r\nColumn-Aliases: Update-Count\r\n"
                               "Column-Updateability: N\r\nResult-Type: Update-Count\r\nRow-Count: 1\r\n") +
                    I32(1));
  ASSERT_EQ(SQLExecute(stmt), SQL_SUCCESS) << Diagnostics(SQL_HANDLE_STMT, stmt);
  SQLLEN count = 0;
  SQLRowCount(stmt, &count);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(Finish(server, 3), "");
}

TEST_F(Wire, TimestampEscapeWithAFractionOf1234) {
  ScriptedServer server;
  ConnectTo(server);
  const std::string text = "INSERT INTO t VALUES (?)";
  server.Expect(Prepared(1, text, true), OkReply(Id(1), "Parameter-Types: VK_TIME\r\n"));
  ASSERT_EQ(Prepare(stmt, text), SQL_SUCCESS);
  char escape[] = "{ts '2024-03-01 00:00:01.1234'}";
  SQLLEN ind = SQL_NTS;
  SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_TYPE_TIMESTAMP, 0, 0, escape,
                   sizeof escape, &ind);
  // 1 March 2024, 1.123 s after midnight.
  const std::string value("\xE8\x07\x03\x01\x63\x04\x00\x00", 8);
  server.Expect(Executed(2, text, "\r\nPARAMETER-TYPES: VK_TIME") + "1" + value,
                OkReply(Id(2), "Column-Count: 1\r\nColumn-Types: VK_LONG\r\nColumn-Aliases: Update-Count\r\n"
                               "Column-Updateability: N\r\nResult-Type: Update-Count\r\nRow-Count: 1\r\n") +
                    I32(1));
  ASSERT_EQ(SQLExecute(stmt), SQL_SUCCESS) << Diagnostics(SQL_HANDLE_STMT, stmt);
  EXPECT_EQ(Finish(server, 3), "");
}

TEST_F(Wire, NoCloseStatementWithoutAnOpenIdentifier) {
  ScriptedServer server;
  ConnectTo(server);
  server.Expect(Prepared(1, "SELECT a FROM t", false), OkReply(Id(1), Description()));
  ASSERT_EQ(Prepare(stmt, "SELECT a FROM t"), SQL_SUCCESS);
  EXPECT_EQ(SQLCancel(stmt), SQL_SUCCESS);
  EXPECT_EQ(SQLFreeStmt(stmt, SQL_CLOSE), SQL_SUCCESS);
  EXPECT_EQ(Finish(server, 2), "");
}

TEST_F(Wire, QueryTimeoutClosesTheLink) {
  ScriptedServer server;
  ConnectTo(server);
  ASSERT_EQ(SQLSetStmtAttrW(stmt, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(1), 0),
            SQL_SUCCESS);
  ScriptedServer::Step stall{Prepared(1, "SELECT a FROM t", false), ""};
  stall.silent = true;
  server.Then(stall);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Prepare(stmt, "SELECT a FROM t"), SQL_ERROR);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(seconds, 4.0);
  EXPECT_TRUE(HasState(SQL_HANDLE_STMT, stmt, "HYT00")) << Diagnostics(SQL_HANDLE_STMT, stmt);
  SQLINTEGER dead = 0;
  SQLGetConnectAttrW(h->dbc, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr);
  EXPECT_EQ(dead, SQL_CD_TRUE);
  // The lost link is 08S01 from now on; cleanup succeeds locally.
  EXPECT_EQ(Prepare(stmt, "SELECT a FROM t"), SQL_ERROR);
  EXPECT_TRUE(HasState(SQL_HANDLE_STMT, stmt, "08S01")) << Diagnostics(SQL_HANDLE_STMT, stmt);
  EXPECT_EQ(SQLFreeHandle(SQL_HANDLE_STMT, stmt), SQL_SUCCESS);
  stmt = nullptr;
  EXPECT_EQ(SQLDisconnect(h->dbc), SQL_SUCCESS);
}


const std::string kOneUpdated =
    "Column-Count: 1\r\nColumn-Types: VK_LONG\r\nColumn-Aliases: Update-Count\r\n"
    "Column-Updateability: N\r\nResult-Type: Update-Count\r\nRow-Count: 1\r\n";

TEST_F(Wire, ValuesTravelInTheKindTheServerNamed) {
  ScriptedServer server;
  ConnectTo(server);
  const std::string text = "INSERT INTO t VALUES (?, ?)";
  server.Expect(Prepared(1, text, true), OkReply(Id(1), "Parameter-Types: VK_LONG VK_TIME\r\n"));
  ASSERT_EQ(Prepare(stmt, text), SQL_SUCCESS);
  SQLBIGINT number = 5;
  SQL_TIMESTAMP_STRUCT when{2024, 3, 1, 0, 0, 1, 500000000};
  SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_INTEGER, 0, 0, &number, 0, nullptr);
  SQLBindParameter(stmt, 2, SQL_PARAM_INPUT, SQL_C_TYPE_TIMESTAMP, SQL_TYPE_DATE, 0, 0, &when, 0,
                   nullptr);
  // An int64 bound for a VK_LONG parameter is sent as 4 bytes; a timestamp
  // for a date keeps its time of day.
  server.Expect(Executed(2, text, "\r\nPARAMETER-TYPES: VK_LONG VK_TIME") + "1" + I32(5) + "1" +
                    std::string("\xE8\x07\x03\x01\xDC\x05\x00\x00", 8),
                OkReply(Id(2), kOneUpdated) + I32(1));
  ASSERT_EQ(SQLExecute(stmt), SQL_SUCCESS) << Diagnostics(SQL_HANDLE_STMT, stmt);
  // A value the named kind cannot hold is refused before anything is sent.
  number = 5000000000LL;
  EXPECT_EQ(SQLExecute(stmt), SQL_ERROR);
  EXPECT_TRUE(HasState(SQL_HANDLE_STMT, stmt, "22003"));
  EXPECT_EQ(Finish(server, 3), "");
}

TEST_F(Wire, ParametersBeyondTheMarkersAndPreparesWithoutAllBound) {
  ScriptedServer server;
  ConnectTo(server);
  const std::string text = "INSERT INTO t VALUES (?, ?)";
  SQLINTEGER values[3] = {7, 8, 9};
  SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &values[0], 0, nullptr);
  // One of two markers bound: the prepare describes without parameters.
  server.Expect(Prepared(1, text, true), OkReply(Id(1)));
  ASSERT_EQ(Prepare(stmt, text), SQL_SUCCESS) << Diagnostics(SQL_HANDLE_STMT, stmt);
  SQLBindParameter(stmt, 2, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &values[1], 0, nullptr);
  SQLBindParameter(stmt, 3, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &values[2], 0, nullptr);
  // The third parameter has no marker and is not sent.
  server.Expect(Executed(2, text, "\r\nPARAMETER-TYPES: VK_LONG VK_LONG") + "1" + I32(7) + "1" + I32(8),
                OkReply(Id(2), kOneUpdated) + I32(1));
  ASSERT_EQ(SQLExecute(stmt), SQL_SUCCESS) << Diagnostics(SQL_HANDLE_STMT, stmt);
  EXPECT_EQ(Finish(server, 3), "");
}

// A server that announces its capabilities: SQLExecDirectW without markers
// is one EXECUTE-STATEMENT, and a closed result is named in the next request
// instead of costing a CLOSE-STATEMENT round trip. Words are matched without
// regard to case and unknown ones change nothing. (The tests above script
// servers without the field: a prepare before each execute and a
// CLOSE-STATEMENT per closed result.)
TEST_F(Wire, AnnouncedCapabilitiesSkipThePrepareAndDeferTheClose) {
  ScriptedServer server;
  h = std::make_unique<OdbcHandles>();
  ConnectTo(server, "Capabilities: Deferred-Close execute-describes some-later-word\r\n");
  const std::string rows = "1" + I32(10) + "1" + I32(20);
  server.Expect(Executed(1, "SELECT a FROM t"),
                OkReply(Id(1), LongColumn(2) + "Statement-ID: 7\r\nRow-Count-Sent: 2\r\n") + rows);
  ASSERT_EQ(ExecDirect(stmt, "SELECT a FROM t"), SQL_SUCCESS) << Diagnostics(SQL_HANDLE_STMT, stmt);
  SQLSMALLINT columns = 0;
  EXPECT_EQ(SQLNumResultCols(stmt, &columns), SQL_SUCCESS);
  EXPECT_EQ(columns, 1);
  SQLINTEGER a = 0;
  SQLBindCol(stmt, 1, SQL_C_SLONG, &a, 0, nullptr);
  ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS);
  EXPECT_EQ(a, 10);
  EXPECT_EQ(SQLCloseCursor(stmt), SQL_SUCCESS);
  // The next request closes result 7 on its way.
  server.Expect(Executed(2, "SELECT a FROM u", "\r\nCLOSE-STATEMENT-IDS: 7"),
                OkReply(Id(2), LongColumn(0) + "Statement-ID: 0\r\nRow-Count-Sent: 0\r\n"));
  ASSERT_EQ(ExecDirect(stmt, "SELECT a FROM u"), SQL_SUCCESS) << Diagnostics(SQL_HANDLE_STMT, stmt);
  EXPECT_EQ(SQLFetch(stmt), SQL_NO_DATA);
  // A text with markers and SQLPrepareW still ask for a description.
  server.Expect(Prepared(3, "SELECT a FROM t WHERE a = ?", true),
                OkReply(Id(3), Description() + "Parameter-Types: VK_LONG\r\n"));
  ASSERT_EQ(Prepare(stmt, "SELECT a FROM t WHERE a = ?"), SQL_SUCCESS) << Diagnostics(SQL_HANDLE_STMT, stmt);
  SQLSMALLINT type = 0;
  ASSERT_EQ(SQLDescribeParam(stmt, 1, &type, nullptr, nullptr, nullptr), SQL_SUCCESS);
  EXPECT_EQ(type, SQL_INTEGER);
  EXPECT_EQ(Finish(server, 4), "");
}

}  // namespace
}  // namespace kestrion_test
