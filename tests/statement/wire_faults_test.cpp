// Malformed replies from a scripted server: descriptions whose counts
// disagree or are out of range, row counts a body cannot hold, invalid
// Base64, dates that are no dates; a LOGOUT left unanswered; a link lost
// during COMMIT.
#include <sys/resource.h>

#include <chrono>
#include <cstring>

#include "tests/statement/statement_fixture.h"
#include "toolbox/base64.h"

namespace kestrion_test {
namespace {

using Clock = std::chrono::steady_clock;

std::string B64(const std::string& text) { return corvane::Base64Encode(std::string_view(text)); }

std::string I32(std::int32_t v) {
  std::string out(4, '\0');
  std::memcpy(out.data(), &v, 4);
  return out;
}

double SecondsSince(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

std::string FirstRecord(SQLHSTMT stmt) {
  const std::string all = Diagnostics(SQL_HANDLE_STMT, stmt);
  return all.substr(0, all.find('\n'));
}

class WireFaults : public ScriptedTest {
 protected:
  std::string Prepared(int n, const std::string& text) {
    return Id(n) + " PREPARE-STATEMENT\r\nSTATEMENT-BASE64: " + B64(text) + "\r\n\r\n";
  }
  std::string Executed(int n, const std::string& text) {
    return Id(n) + " EXECUTE-STATEMENT\r\nSTATEMENT-BASE64: " + B64(text) +
           "\r\nOUTPUT-MODE: RELEASE\r\nFIRST-PAGE-SIZE: 100\r\n\r\n";
  }
  // Scripts PREPARE (with `description`) and EXECUTE (with `fields` added
  // and `body`) of "SELECT a FROM t", and runs it.
  // When the execute fails on a statement the server kept (`kept_id`), its
  // CLOSE-STATEMENT follows.
  SQLRETURN Run(const std::string& description, const std::string& fields,
                const std::string& body, int first = 1, int kept_id = 0) {
    server.Expect(Prepared(first, "SELECT a FROM t"), OkReply(Id(first), description))
        .Expect(Executed(first + 1, "SELECT a FROM t"),
                OkReply(Id(first + 1), description + fields) + body);
    if (kept_id != 0) {
      server.Expect(Id(first + 2) + " CLOSE-STATEMENT\r\nSTATEMENT-ID: " +
                        std::to_string(kept_id) + "\r\n\r\n",
                    OkReply(Id(first + 2)));
    }
    return ExecDirect(stmt, "SELECT a FROM t");
  }
  ScriptedServer server;
};

const std::string kLong =
    "Column-Count: 1\r\nColumn-Types: VK_LONG\r\nColumn-Aliases: a\r\n"
    "Column-Updateability: N\r\nResult-Type: Row-Set\r\n";

TEST_F(WireFaults, ColumnCountsOutOfRangeOrDisagreeingAreErrorsNotCrashes) {
  ConnectTo(server);
  const char* counts[] = {"32767", "-1", "40000", "x", "2"};
  int n = 1;
  for (const char* count : counts) {
    const std::string description = "Column-Count: " + std::string(count) +
                                    "\r\nColumn-Types: VK_LONG\r\nColumn-Aliases: a\r\n"
                                    "Column-Updateability: N\r\nResult-Type: Row-Set\r\n";
    server.Expect(Prepared(n, "SELECT a FROM t"), OkReply(Id(n), description));
    EXPECT_EQ(Prepare(stmt, "SELECT a FROM t"), SQL_ERROR) << count;
    EXPECT_EQ(FirstRecord(stmt).rfind("HY000 ", 0), 0u) << count << ": " << FirstRecord(stmt);
    ++n;
  }
  // A count the per-column lists agree with, at the limit, works.
  std::string types, aliases, updatable;
  for (int i = 0; i < 32767; ++i) {
    types += " VK_LONG";
    aliases += " c" + std::to_string(i);
    updatable += " N";
  }
  server.Expect(Prepared(n, "SELECT a FROM t"),
                OkReply(Id(n), "Column-Count: 32767\r\nColumn-Types:" + types +
                                   "\r\nColumn-Aliases:" + aliases + "\r\nColumn-Updateability:" +
                                   updatable + "\r\nResult-Type: Row-Set\r\n"));
  ASSERT_EQ(Prepare(stmt, "SELECT a FROM t"), SQL_SUCCESS) << Diagnostics(SQL_HANDLE_STMT, stmt);
  SQLSMALLINT columns = 0;
  EXPECT_EQ(SQLNumResultCols(stmt, &columns), SQL_SUCCESS);
  EXPECT_EQ(columns, 32767);
}

TEST_F(WireFaults, RowCountsTheReplyCannotHoldAreErrors) {
  ConnectTo(server);
  // Negative, beyond 32 bits, more rows than sent without a statement to
  // fetch the rest from, more sent than the result has.
  const std::string fields[] = {
      "Row-Count: -5\r\nStatement-ID: 0\r\nRow-Count-Sent: 0\r\n",
      "Row-Count: 5000000000\r\nStatement-ID: 4\r\nRow-Count-Sent: 0\r\n",
      "Row-Count: 3\r\nStatement-ID: 0\r\nRow-Count-Sent: 2\r\n",
      "Row-Count: 1\r\nStatement-ID: 0\r\nRow-Count-Sent: 2\r\n",
  };
  int n = 1;
  for (const std::string& f : fields) {
    const std::string body = "1" + I32(1) + "1" + I32(2);
    // A statement the server kept is closed again.
    const int kept = f.find("Statement-ID: 4") != std::string::npos ? 4 : 0;
    EXPECT_EQ(Run(kLong, f + "Body-Length: 10\r\n", body, n, kept), SQL_ERROR) << f;
    EXPECT_EQ(FirstRecord(stmt).rfind("HY000 ", 0), 0u) << f << FirstRecord(stmt);
    n += kept != 0 ? 3 : 2;
  }
  EXPECT_EQ(server.Finish(200), "");
}

TEST_F(WireFaults, AHugeRowCountWithAnEmptyBodyReservesNoMemory) {
  ConnectTo(server);
  rusage before{};
  getrusage(RUSAGE_SELF, &before);
  const auto start = Clock::now();
  EXPECT_EQ(Run(kLong, "Row-Count: 2000000000\r\nStatement-ID: 4\r\nRow-Count-Sent: 2000000000\r\n"
                       "Body-Length: 0\r\n", "", 1, 4),
            SQL_ERROR);
  EXPECT_LT(SecondsSince(start), 2.0);
  EXPECT_EQ(FirstRecord(stmt).rfind("HY000 ", 0), 0u) << FirstRecord(stmt);
  // The link stayed in step: the statement kept by the server was closed.
  EXPECT_EQ(server.Finish(200), "");
  rusage after{};
  getrusage(RUSAGE_SELF, &after);
  EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024);  // kilobytes
}

TEST_F(WireFaults, InvalidBase64AliasesAreRefused) {
  ConnectTo(server);
  const std::string description =
      "Column-Count: 1\r\nColumn-Types: VK_LONG\r\nColumn-Aliases-Base64: !!not*base64\r\n"
      "Column-Updateability: N\r\nResult-Type: Row-Set\r\n";
  server.Expect(Prepared(1, "SELECT a FROM t"), OkReply(Id(1), description));
  EXPECT_EQ(Prepare(stmt, "SELECT a FROM t"), SQL_ERROR);
  EXPECT_NE(Diagnostics(SQL_HANDLE_STMT, stmt).find("Column-Aliases-Base64"), std::string::npos)
      << Diagnostics(SQL_HANDLE_STMT, stmt);
}

TEST_F(WireFaults, ADateThatIsNoDateIs22007) {
  ConnectTo(server);
  const std::string description =
      "Column-Count: 1\r\nColumn-Types: VK_TIME\r\nColumn-Aliases: d\r\n"
      "Column-Updateability: N\r\nResult-Type: Row-Set\r\n";
  auto time = [](int year, int month, int day) {
    std::string t(8, '\0');
    t[0] = static_cast<char>(year & 0xFF);
    t[1] = static_cast<char>(year >> 8);
    t[2] = static_cast<char>(month);
    t[3] = static_cast<char>(day);
    return t;
  };
  const std::string body = "1" + time(2024, 13, 40) + "1" + time(2024, 2, 29);
  ASSERT_EQ(Run(description, "Row-Count: 2\r\nStatement-ID: 0\r\nRow-Count-Sent: 2\r\n", body),
            SQL_SUCCESS)
      << Diagnostics(SQL_HANDLE_STMT, stmt);
  SQL_TIMESTAMP_STRUCT ts{};
  SQLLEN ind = 0;
  ASSERT_EQ(SQLBindCol(stmt, 1, SQL_C_TYPE_TIMESTAMP, &ts, sizeof ts, &ind), SQL_SUCCESS);
  EXPECT_EQ(SQLFetch(stmt), SQL_ERROR);
  EXPECT_EQ(FirstRecord(stmt).rfind("22007 ", 0), 0u) << FirstRecord(stmt);
  EXPECT_NE(Diagnostics(SQL_HANDLE_STMT, stmt).find("Column 1 (d)"), std::string::npos)
      << Diagnostics(SQL_HANDLE_STMT, stmt);
  ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS) << Diagnostics(SQL_HANDLE_STMT, stmt);
  EXPECT_EQ(ts.month, 2);
  EXPECT_EQ(ts.day, 29);
}

TEST_F(WireFaults, DisconnectAfterAnUnansweredLogoutSucceedsWithinOneTimeOut) {
  server.Expect(Id(0) +
                    " LOGIN\r\nREPLY-WITH-BASE64-TEXT: Y\r\nUSER-NAME-BASE64: \r\n"
                    "USER-PASSWORD-BASE64: \r\nPROTOCOL-VERSION: 0.1a\r\n\r\n",
                OkReply(Id(0)));
  ASSERT_TRUE(SQL_SUCCEEDED(h->Connect(server.port(), "", 1)));
  ScriptedServer::Step silent{Id(1) + " LOGOUT\r\n\r\n", ""};
  silent.silent = true;
  server.Then(silent);
  const auto start = Clock::now();
  EXPECT_EQ(SQLDisconnect(h->dbc), SQL_SUCCESS_WITH_INFO) << Diagnostics(SQL_HANDLE_DBC, h->dbc);
  EXPECT_LT(SecondsSince(start), 2.0);
  EXPECT_TRUE(HasState(SQL_HANDLE_DBC, h->dbc, "01002"));
  EXPECT_FALSE(h->conn().session.link);
  // Connected again, to the same script's end: nothing is left behind.
  SQLINTEGER dead = 0;
  SQLGetConnectAttrW(h->dbc, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr);
  EXPECT_EQ(dead, SQL_CD_TRUE);
}

TEST_F(WireFaults, ALinkLostDuringCommitIs08007) {
  ConnectTo(server);
  ASSERT_EQ(SQLSetConnectAttrW(h->dbc, SQL_ATTR_AUTOCOMMIT,
                               reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0),
            SQL_SUCCESS);
  const std::string update =
      "Column-Count: 1\r\nColumn-Types: VK_LONG\r\nColumn-Aliases: Update-Count\r\n"
      "Column-Updateability: N\r\nResult-Type: Update-Count\r\nRow-Count: 1\r\n";
  auto executed = [&](int n, const std::string& text) {
    return Id(n) + " EXECUTE-STATEMENT\r\nSTATEMENT-BASE64: " + B64(text) +
           "\r\nOUTPUT-MODE: RELEASE" + (text == "UPDATE t SET a = 1" ? "\r\nFIRST-PAGE-SIZE: 100" : "") +
           "\r\n\r\n";
  };
  server.Expect(Prepared(1, "UPDATE t SET a = 1"), OkReply(Id(1), update))
      .Expect(executed(2, "START TRANSACTION"), OkReply(Id(2), update) + I32(0))
      .Expect(executed(3, "UPDATE t SET a = 1"), OkReply(Id(3), update + "Statement-ID: 0\r\n") + I32(1));
  ASSERT_EQ(ExecDirect(stmt, "UPDATE t SET a = 1"), SQL_SUCCESS) << Diagnostics(SQL_HANDLE_STMT, stmt);
  // The COMMIT leaves; the link goes before its answer.
  ScriptedServer::Step cut{executed(4, "COMMIT"), ""};
  cut.close_after = true;
  server.Then(cut);
  EXPECT_EQ(SQLEndTran(SQL_HANDLE_DBC, h->dbc, SQL_COMMIT), SQL_ERROR);
  const std::string diagnostics = Diagnostics(SQL_HANDLE_DBC, h->dbc);
  EXPECT_EQ(diagnostics.rfind("08007 ", 0), 0u) << diagnostics;
  // Cleanup succeeds locally; the next use says the link is lost.
  EXPECT_EQ(SQLFreeStmt(stmt, SQL_CLOSE), SQL_SUCCESS);
  EXPECT_EQ(ExecDirect(stmt, "UPDATE t SET a = 1"), SQL_ERROR);
  EXPECT_EQ(FirstRecord(stmt).rfind("08S01 ", 0), 0u) << FirstRecord(stmt);
  EXPECT_EQ(SQLFreeHandle(SQL_HANDLE_STMT, stmt), SQL_SUCCESS);
  stmt = nullptr;
  EXPECT_EQ(SQLDisconnect(h->dbc), SQL_SUCCESS) << Diagnostics(SQL_HANDLE_DBC, h->dbc);
}

}  // namespace
}  // namespace kestrion_test
