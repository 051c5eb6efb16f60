// Parameter arrays against a server that announces the pipeline capability:
// the requests of the sets leave together before the first reply is read,
// and every array semantic holds as when each set waits for its reply: the
// per-set status, the row number of a failing set's diagnostics, the other
// sets still running, the summed row count. Replies lost with the link, or
// skipped when a stray reply puts the link out of step, fail their sets
// without losing the sets after them.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "tests/statement/statement_fixture.h"
#include "tests/support/fault_proxy.h"
#include "toolbox/base64.h"

namespace kestrion_test {
namespace {

std::string B64(const std::string& text) { return corvane::Base64Encode(std::string_view(text)); }

std::string I32(std::int32_t v) {
  std::string out(4, '\0');
  std::memcpy(out.data(), &v, 4);
  return out;
}

// Every diagnostic record of the statement as "row:SQLSTATE", oldest first.
std::vector<std::string> Records(SQLHSTMT stmt) {
  std::vector<std::string> out;
  for (SQLSMALLINT record = 1;; ++record) {
    SQLWCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLGetDiagRecW(SQL_HANDLE_STMT, stmt, record, state, &native, nullptr, 0, &length))) {
      break;
    }
    SQLLEN row = 0;
    SQLGetDiagFieldW(SQL_HANDLE_STMT, stmt, record, SQL_DIAG_ROW_NUMBER, &row, 0, nullptr);
    out.insert(out.begin(), std::to_string(row) + ":" +
                                corvane::VString::FromUnits(reinterpret_cast<const char16_t*>(state), 5).ToUtf8());
  }
  return out;
}

// The scripted server answers only once it has read the requests of all
// three sets: a driver that waited for the first reply before sending the
// second would never get one.
TEST(PipelinedSets, TheRequestsOfEverySetLeaveBeforeTheFirstReply) {
  ScriptedServer server;
  OdbcHandles h;
  auto id = [&](int n) { return std::to_string(h.conn().connection_number) + "." + std::to_string(n); };
  server.Expect(id(0) +
                    " LOGIN\r\nREPLY-WITH-BASE64-TEXT: Y\r\nUSER-NAME-BASE64: \r\n"
                    "USER-PASSWORD-BASE64: \r\nPROTOCOL-VERSION: 0.1a\r\n\r\n",
                OkReply(id(0), "Capabilities: deferred-close PIPELINE\r\n"));
  ASSERT_TRUE(SQL_SUCCEEDED(h.Connect(server.port()))) << Diagnostics(SQL_HANDLE_DBC, h.dbc);
  SQLHSTMT stmt = h.NewStatement();

  const std::string text = "INSERT INTO t VALUES (?)";
  const std::string counted =
      "Column-Count: 1\r\nColumn-Types: VK_LONG\r\nColumn-Aliases: Update-Count\r\n"
      "Column-Updateability: N\r\nResult-Type: Update-Count\r\n";
  server.Expect(id(1) + " PREPARE-STATEMENT\r\ndescribe-parameters:Y\r\nSTATEMENT-BASE64: " + B64(text) +
                    "\r\n\r\n",
                OkReply(id(1), counted + "Parameter-Types: VK_LONG\r\n"));
  ASSERT_EQ(Prepare(stmt, text), SQL_SUCCESS) << Diagnostics(SQL_HANDLE_STMT, stmt);

  auto request = [&](int n, std::int32_t value) {
    return id(n) + " EXECUTE-STATEMENT\r\nSTATEMENT-BASE64: " + B64(text) +
           "\r\nOUTPUT-MODE: RELEASE\r\nFIRST-PAGE-SIZE: 100\r\nPARAMETER-TYPES: VK_LONG\r\n\r\n1" + I32(value);
  };
  auto counted_reply = [&](int n, std::int32_t count) {
    return OkReply(id(n), counted + "Row-Count: " + std::to_string(count) +
                              "\r\nStatement-ID: 0\r\nRow-Count-Sent: 0\r\nBody-Length: 4\r\n") +
           I32(count);
  };
  // The second set fails on the server; the third still runs.
  server.Expect(request(2, 10) + request(3, 20) + request(4, 30),
                counted_reply(2, 1) +
                    id(3) + " ERROR\r\nError-Code:4019\r\nError-SQLState: 23000\r\n"
                            "Error-Description:UNIQUE constraint failed: t.a\r\n\r\n" +
                    counted_reply(4, 1));
  SQLINTEGER values[3] = {10, 20, 30};
  SQLUSMALLINT status[3] = {99, 99, 99};
  SQLULEN processed = 0;
  SQLSetStmtAttrW(stmt, SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(3), 0);
  SQLSetStmtAttrW(stmt, SQL_ATTR_PARAM_STATUS_PTR, status, 0);
  SQLSetStmtAttrW(stmt, SQL_ATTR_PARAMS_PROCESSED_PTR, &processed, 0);
  SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, values, 0, nullptr);
  EXPECT_EQ(SQLExecute(stmt), SQL_SUCCESS_WITH_INFO) << Diagnostics(SQL_HANDLE_STMT, stmt);
  EXPECT_EQ(status[0], SQL_PARAM_SUCCESS);
  EXPECT_EQ(status[1], SQL_PARAM_ERROR);
  EXPECT_EQ(status[2], SQL_PARAM_SUCCESS);
  EXPECT_EQ(processed, 3u);
  EXPECT_EQ(Records(stmt), std::vector<std::string>{"2:23000"}) << Diagnostics(SQL_HANDLE_STMT, stmt);
  SQLLEN count = 0;
  EXPECT_EQ(SQLRowCount(stmt, &count), SQL_SUCCESS);
  EXPECT_EQ(count, 2);

  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  server.Expect(id(5) + " LOGOUT\r\n\r\n", OkReply(id(5)));
  ScriptedServer::Step quit{id(6) + " QUIT\r\n\r\n", OkReply(id(6))};
  quit.close_after = true;
  server.Then(quit);
  SQLDisconnect(h.dbc);
  EXPECT_EQ(server.Finish(), "");
}

using Fault = FaultProxy::Fault;
using Kind = FaultProxy::Fault::Kind;

// A development server with its capabilities, behind a proxy that damages
// the replies to the sets: 0 is the LOGIN reply, 1 the table's creation,
// 2 the prepare, 3 onwards the sets in order.
class PipelinedFaults : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server_ = std::make_unique<DevServer>(); }
  static void TearDownTestSuite() { server_.reset(); }
  void SetUp() override {
    ASSERT_TRUE(server_ && server_->ok()) << (server_ ? server_->error() : "");
    proxy_ = std::make_unique<FaultProxy>(server_->port());
    ASSERT_GT(proxy_->port(), 0);
  }
  void TearDown() override {
    if (stmt != nullptr) SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    if (h) SQLDisconnect(h->dbc);
  }

  // Inserts keys 1 to kSets through an array, with the reply to set
  // `fault_set` (1-based) damaged by `fault`; answers the call's code.
  SQLRETURN InsertWith(Fault fault, int fault_set) {
    fault.reply = 2 + fault_set;
    proxy_->Plan({fault});
    h = std::make_unique<OdbcHandles>();
    const SQLRETURN connected = h->Connect(proxy_->port(), ";QueryTimeout=2", 2);
    if (!SQL_SUCCEEDED(connected)) return connected;
    stmt = h->NewStatement();
    table_ = "pipelined_" + std::to_string(++tables_);
    if (ExecDirect(stmt, "CREATE TABLE " + table_ + " (id INTEGER PRIMARY KEY)") != SQL_SUCCESS) return SQL_ERROR;
    if (Prepare(stmt, "INSERT INTO " + table_ + " VALUES (?)") != SQL_SUCCESS) return SQL_ERROR;
    for (int i = 0; i < kSets; ++i) keys_[i] = i + 1;
    std::fill(std::begin(status_), std::end(status_), SQLUSMALLINT{99});
    SQLSetStmtAttrW(stmt, SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(kSets), 0);
    SQLSetStmtAttrW(stmt, SQL_ATTR_PARAM_STATUS_PTR, status_, 0);
    SQLSetStmtAttrW(stmt, SQL_ATTR_PARAMS_PROCESSED_PTR, &processed_, 0);
    SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, keys_, 0, nullptr);
    return SQLExecute(stmt);
  }

  // The rows the server holds, read on a connection of their own.
  long StoredRows() {
    OdbcHandles reader;
    if (!SQL_SUCCEEDED(reader.Connect(server_->port()))) return -1;
    SQLHSTMT s = reader.NewStatement();
    long rows = -1;
    if (ExecDirect(s, "SELECT COUNT(*) FROM " + table_) == SQL_SUCCESS) {
      const auto all = AllRows(s);
      if (all.size() == 1) rows = std::stol(all[0][0]);
    }
    SQLFreeHandle(SQL_HANDLE_STMT, s);
    SQLDisconnect(reader.dbc);
    return rows;
  }

  // More sets than one window of requests holds.
  static constexpr int kSets = 300;
  static std::unique_ptr<DevServer> server_;
  inline static int tables_ = 0;
  std::unique_ptr<FaultProxy> proxy_;
  std::unique_ptr<OdbcHandles> h;
  SQLHSTMT stmt = nullptr;
  std::string table_;
  SQLINTEGER keys_[kSets] = {};
  SQLUSMALLINT status_[kSets] = {};
  SQLULEN processed_ = 0;
};

std::unique_ptr<DevServer> PipelinedFaults::server_;

// A stray reply before the reply to set 5: the driver puts the link back in
// step, which skips the replies still awaited in that window. Those sets
// fail (they ran on the server all the same), and the sets of the next
// windows run as usual.
TEST_F(PipelinedFaults, AStrayReplyFailsTheSetsWhoseRepliesWereSkipped) {
  Fault stray;
  stray.kind = Kind::kStrayAfter;
  stray.text = "9.9 OK\r\n\r\n";
  ASSERT_EQ(InsertWith(stray, 4), SQL_SUCCESS_WITH_INFO) << Diagnostics(SQL_HANDLE_STMT, stmt);
  EXPECT_EQ(processed_, static_cast<SQLULEN>(kSets));
  for (int set = 0; set < 4; ++set) EXPECT_EQ(status_[set], SQL_PARAM_SUCCESS) << set;
  int failed = 0;
  while (failed < kSets && status_[4 + failed] == SQL_PARAM_ERROR) ++failed;
  EXPECT_GT(failed, 0);
  EXPECT_LT(failed, kSets - 4) << "a later window ran as usual";
  for (int set = 4 + failed; set < kSets; ++set) EXPECT_EQ(status_[set], SQL_PARAM_SUCCESS) << set;
  // One record per failed set, each naming its set.
  const std::vector<std::string> records = Records(stmt);
  ASSERT_EQ(records.size(), static_cast<std::size_t>(failed)) << Diagnostics(SQL_HANDLE_STMT, stmt);
  for (int k = 0; k < failed; ++k) EXPECT_EQ(records[k], std::to_string(5 + k) + ":HY000");
  SQLLEN count = 0;
  EXPECT_EQ(SQLRowCount(stmt, &count), SQL_SUCCESS);
  EXPECT_EQ(count, kSets - failed);
  EXPECT_EQ(StoredRows(), kSets) << "every set reached the server";
}

// The link closes inside the reply to set 3: that set and the rest of its
// window fail with 08S01 (they may have run), the sets never sent are
// unused, and the call fails no faster than a closed link allows.
TEST_F(PipelinedFaults, ALostLinkFailsTheSetsInFlightAndLeavesTheRestUnused) {
  Fault close;
  close.kind = Kind::kCloseAt;
  close.at = 10;
  ASSERT_EQ(InsertWith(close, 3), SQL_SUCCESS_WITH_INFO) << Diagnostics(SQL_HANDLE_STMT, stmt);
  EXPECT_EQ(status_[0], SQL_PARAM_SUCCESS);
  EXPECT_EQ(status_[1], SQL_PARAM_SUCCESS);
  int failed = 0;
  while (2 + failed < kSets && status_[2 + failed] == SQL_PARAM_ERROR) ++failed;
  EXPECT_GT(failed, 0);
  for (int set = 2 + failed; set < kSets; ++set) EXPECT_EQ(status_[set], SQL_PARAM_UNUSED) << set;
  const std::vector<std::string> records = Records(stmt);
  ASSERT_GE(records.size(), static_cast<std::size_t>(failed)) << Diagnostics(SQL_HANDLE_STMT, stmt);
  EXPECT_EQ(records.front(), "3:08S01");
  EXPECT_EQ(records.back(), std::to_string(2 + failed) + ":08S01");
  SQLLEN count = 0;
  EXPECT_EQ(SQLRowCount(stmt, &count), SQL_SUCCESS);
  EXPECT_EQ(count, 2);
}

}  // namespace
}  // namespace kestrion_test
