// What the server announces beyond the base protocol (deferred closes), and
// the prepared statements it keeps per session and how they are described.
#include <gtest/gtest.h>

#include <chrono>
#include <utility>

#include "tests/server/raw_client.h"
#include "tests/support/dev_server.h"
#include "toolbox/stream.h"
#include "toolbox/value_codec.h"

using namespace kestrion_test;
using corvane::VKind;

namespace {

// Runs statements that answer one update count, checking success.
void RunUpdate(RawClient& c, const std::string& sql) {
  RawReply r = c.Execute(sql);
  ASSERT_TRUE(r.ok) << sql << "\n" << r.header;
  c.ReadBytesExact(4);
}

// Executes `sql` (one row set) and reads its first page; answers the reply.
RawReply Select(RawClient& c, const std::string& sql) {
  RawReply r = c.Execute(sql);
  if (r.ok) c.ReadBytesExact(std::stoul(r.Field("Body-Length")));
  return r;
}

RawReply FetchFirst(RawClient& c, const std::string& id) {
  RawReply r = c.Request("FETCH-RESULT", {"STATEMENT-ID: " + id, "COMMAND-INDEX: 0", "FIRST-ROW-INDEX: 0",
                                          "LAST-ROW-INDEX: 0", "OUTPUT-MODE: RELEASE"});
  if (r.ok) c.ReadBytesExact(std::stoul(r.Field("Body-Length")));
  return r;
}

}  // namespace

TEST(ServerCapabilities, AnnouncedAtLoginAndClosedWithTheNextRequest) {
  DevServer server;
  ASSERT_TRUE(server.ok()) << server.error();
  RawClient c(server.port());
  RawReply login = c.Login();
  ASSERT_TRUE(login.ok);
  EXPECT_EQ(login.List("Capabilities"),
            (std::vector<std::string>{"deferred-close", "execute-describes", "cancel", "pipeline"}));

  RunUpdate(c, "CREATE TABLE t (a INTEGER)");
  RunUpdate(c, "INSERT INTO t VALUES (1), (2)");
  const std::string first = Select(c, "SELECT a FROM t").Field("Statement-ID");
  const std::string second = Select(c, "SELECT a FROM t").Field("Statement-ID");
  ASSERT_NE(first, "0");
  ASSERT_NE(second, "0");
  // Any request may name results to close; unknown and malformed ids are
  // skipped, and the request itself is served as usual.
  RawReply r = c.Request("FETCH-RESULT", {"STATEMENT-ID: " + second, "COMMAND-INDEX: 0", "FIRST-ROW-INDEX: 1",
                                          "LAST-ROW-INDEX: 1", "OUTPUT-MODE: RELEASE",
                                          "CLOSE-STATEMENT-IDS: " + first + " 999 x7"});
  ASSERT_TRUE(r.ok) << r.header;
  EXPECT_EQ(c.ReadRows(1, {VKind::Long})[0][0].integer(), 2);
  EXPECT_EQ(FetchFirst(c, first).Field("Error-Code"), "3006");
  EXPECT_TRUE(FetchFirst(c, second).ok);
  // Closing the request's own statement first makes it unknown to it.
  r = c.Request("CLOSE-STATEMENT", {"STATEMENT-ID: " + second, "CLOSE-STATEMENT-IDS: " + second});
  EXPECT_EQ(r.Field("Error-Code"), "3006");
}

TEST(ServerCapabilities, NoneWithoutThemAndTheListIsIgnored) {
  DevServer server({"--no-capabilities"});
  ASSERT_TRUE(server.ok()) << server.error();
  RawClient c(server.port());
  RawReply login = c.Login();
  ASSERT_TRUE(login.ok);
  EXPECT_EQ(login.header.find("Capabilities"), std::string::npos) << login.header;
  const std::string id = Select(c, "SELECT 1").Field("Statement-ID");
  ASSERT_NE(id, "0");
  RawReply r = c.Request("CLOSE-STATEMENT", {"STATEMENT-ID: 0", "CLOSE-STATEMENT-IDS: " + id});
  EXPECT_TRUE(r.ok);
  EXPECT_TRUE(FetchFirst(c, id).ok);
}

TEST(ServerStatementCache, KeptStatementsFollowSchemaChangesAndReleaseTheirLocks) {
  DevServer server;
  ASSERT_TRUE(server.ok()) << server.error();
  RawClient c(server.port());
  ASSERT_TRUE(c.Login().ok);
  RunUpdate(c, "CREATE TABLE k (id INTEGER PRIMARY KEY, v VARCHAR(10))");
  // The same text again runs the kept statement with the new parameters.
  const std::vector<std::uint8_t> one = {'1', 1, 0, 0, 0};
  const std::vector<std::uint8_t> two = {'1', 2, 0, 0, 0};
  for (const auto& body : {one, two}) {
    RawReply r = c.Execute("INSERT INTO k (id, v) VALUES (?, 'x')", 100, " VK_LONG", body);
    ASSERT_TRUE(r.ok) << r.header;
    std::int32_t count = 0;
    ASSERT_TRUE(c.GetI32(count));
    EXPECT_EQ(count, 1);
  }
  // A kept statement that fails is ready again for the next execute.
  RawReply dup = c.Execute("INSERT INTO k (id, v) VALUES (?, 'x')", 100, " VK_LONG", one);
  EXPECT_EQ(dup.Field("Error-Code"), "4019");
  const std::string select = "SELECT * FROM k WHERE id = ?";
  RawReply r = c.Execute(select, 100, " VK_LONG", two);
  ASSERT_TRUE(r.ok) << r.header;
  EXPECT_EQ(r.List("Column-Types"), (std::vector<std::string>{"VK_LONG", "VK_TEXT"}));
  EXPECT_EQ(r.List("Column-Updateability"), (std::vector<std::string>{"Y", "Y"}));
  auto rows = c.ReadRows(1, {VKind::Long, VKind::Long, VKind::Text});
  EXPECT_EQ(rows[0][1].integer(), 2);

  // Another session can write at once: the kept SELECT holds no read lock.
  {
    RawClient other(server.port());
    ASSERT_TRUE(other.Login().ok);
    const auto start = std::chrono::steady_clock::now();
    RunUpdate(other, "INSERT INTO k (id, v) VALUES (3, 'y')");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    // ... and the kept SELECT reads what was committed since, and holds no
    // snapshot after its reply: a checkpoint copies every frame written
    // after it.
    const std::vector<std::uint8_t> three = {'1', 3, 0, 0, 0};
    r = c.Execute(select, 100, " VK_LONG", three);
    ASSERT_TRUE(r.ok) << r.header;
    EXPECT_EQ(r.Field("Row-Count-Sent"), "1");
    c.ReadRows(1, {VKind::Long, VKind::Long, VKind::Text});
    RunUpdate(other, "INSERT INTO k (id, v) VALUES (4, 'z')");
    RawReply checkpoint = other.Execute("PRAGMA wal_checkpoint(PASSIVE)");
    ASSERT_TRUE(checkpoint.ok) << checkpoint.header;
    auto frames = other.ReadRows(1, {VKind::Long8, VKind::Long8, VKind::Long8});
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0][0].integer(), 0);                         // not busy
    EXPECT_EQ(frames[0][2].integer(), frames[0][1].integer());    // all frames copied
    // A schema change by another session reaches the kept statement too.
    RunUpdate(other, "DROP TABLE k");
    RunUpdate(other, "CREATE TABLE k (id INTEGER PRIMARY KEY, w DOUBLE, extra BIGINT)");
    RunUpdate(other, "INSERT INTO k VALUES (2, 1.5, 7)");
  }
  r = c.Execute(select, 100, " VK_LONG", two);
  ASSERT_TRUE(r.ok) << r.header;
  EXPECT_EQ(r.List("Column-Types"), (std::vector<std::string>{"VK_LONG", "VK_FLOAT", "VK_LONG8"}));
  EXPECT_EQ(r.List("Column-Aliases"), (std::vector<std::string>{"id", "w", "extra"}));
  rows = c.ReadRows(1, {VKind::Long, VKind::Long, VKind::Float, VKind::Long8});
  EXPECT_EQ(rows[0][3].integer(), 7);
}

namespace {

// A parameter body of the given values (none null).
std::vector<std::uint8_t> Body(const std::vector<corvane::VValue>& values) {
  corvane::VMemoryStream s;
  for (const corvane::VValue& v : values) {
    s.PutU8('1');
    corvane::WriteValue(s, v);
  }
  return s.TakeBuffer();
}

// Executes `sql` with one parameter; answers the reply after reading its rows.
RawReply SelectWith(RawClient& c, const std::string& sql, const corvane::VValue& value) {
  RawReply r = c.Execute(sql, 100, " " + std::string(corvane::KindName(value.kind())), Body({value}));
  if (r.ok) c.ReadBytesExact(std::stoul(r.Field("Body-Length")));
  return r;
}

}  // namespace

// A kept statement is described from what it answers each time: a column
// whose kind the values give follows them, and a change of its table by the
// session itself, in a transaction or not, reaches the description.
TEST(ServerStatementCache, KeptStatementsAreDescribedAfreshWhenWhatTheyAnswerChanges) {
  DevServer server;
  ASSERT_TRUE(server.ok()) << server.error();
  RawClient c(server.port());
  ASSERT_TRUE(c.Login().ok);
  const corvane::VValue number = corvane::VValue::Integer(VKind::Long, 5);
  const corvane::VValue text = corvane::VString::FromUtf8("five");
  const corvane::VValue real = corvane::VValue::Real(2.5);
  const std::string expression = "SELECT ? AS v, 1 AS w";
  for (const auto& [value, kind] : {std::pair{number, "VK_LONG8"}, std::pair{number, "VK_LONG8"},
                                    std::pair{text, "VK_TEXT"}, std::pair{real, "VK_REAL"},
                                    std::pair{number, "VK_LONG8"}}) {
    RawReply r = SelectWith(c, expression, value);
    ASSERT_TRUE(r.ok) << r.header;
    EXPECT_EQ(r.List("Column-Types"), (std::vector<std::string>{kind, "VK_LONG8"})) << r.header;
  }

  RunUpdate(c, "CREATE TABLE a (id INTEGER PRIMARY KEY, v VARCHAR(10))");
  RunUpdate(c, "INSERT INTO a VALUES (1, 'x')");
  const std::string select = "SELECT * FROM a WHERE id = ?";
  for (int i = 0; i < 2; ++i) {
    RawReply r = SelectWith(c, select, number);
    ASSERT_TRUE(r.ok) << r.header;
    EXPECT_EQ(r.List("Column-Aliases"), (std::vector<std::string>{"id", "v"}));
  }
  RunUpdate(c, "ALTER TABLE a ADD COLUMN d DOUBLE");
  RawReply r = SelectWith(c, select, number);
  EXPECT_EQ(r.List("Column-Aliases"), (std::vector<std::string>{"id", "v", "d"})) << r.header;
  EXPECT_EQ(r.List("Column-Types"), (std::vector<std::string>{"VK_LONG", "VK_TEXT", "VK_FLOAT"}));

  RunUpdate(c, "START TRANSACTION");
  r = SelectWith(c, select, number);
  EXPECT_EQ(r.List("Column-Sizes"), (std::vector<std::string>{"0", "10", "0"})) << r.header;
  RunUpdate(c, "ALTER TABLE a RENAME COLUMN v TO name");
  r = SelectWith(c, select, number);
  EXPECT_EQ(r.List("Column-Aliases"), (std::vector<std::string>{"id", "name", "d"})) << r.header;
  RunUpdate(c, "ROLLBACK");
  r = SelectWith(c, select, number);
  EXPECT_EQ(r.List("Column-Aliases"), (std::vector<std::string>{"id", "v", "d"})) << r.header;
}

// A temporary table, view or index is seen by the kept statements of its
// session at once, whichever way it is made: a temporary table hides the
// table of the same name, and the kept statement must not go on describing
// (or updating through) the other one.
TEST(ServerStatementCache, KeptStatementsSeeTheSessionsTemporarySchema) {
  DevServer server;
  ASSERT_TRUE(server.ok()) << server.error();
  {
    RawClient c(server.port());
    ASSERT_TRUE(c.Login().ok);
    RunUpdate(c, "CREATE TABLE t (a INTEGER, b TEXT)");
    RunUpdate(c, "INSERT INTO t VALUES (1, 'x')");
  }
  for (const std::string ddl : {"CREATE TEMP TABLE t (x VARCHAR(5))", "CREATE TABLE temp.t (x VARCHAR(5))",
                                "CREATE TEMPORARY VIEW t AS SELECT 'q' AS x"}) {
    RawClient c(server.port());
    ASSERT_TRUE(c.Login().ok);
    for (int i = 0; i < 2; ++i) {
      RawReply r = Select(c, "SELECT * FROM t");
      ASSERT_TRUE(r.ok) << r.header;
      EXPECT_EQ(r.List("Column-Aliases"), (std::vector<std::string>{"a", "b"}));
      EXPECT_EQ(r.List("Column-Updateability"), (std::vector<std::string>{"Y", "Y"}));
    }
    RunUpdate(c, ddl);
    if (ddl.find("VIEW") == std::string::npos) RunUpdate(c, "INSERT INTO t VALUES ('q')");
    RawReply r = Select(c, "SELECT * FROM t");
    ASSERT_TRUE(r.ok) << r.header;
    EXPECT_EQ(r.List("Column-Aliases"), (std::vector<std::string>{"x"})) << ddl;
    EXPECT_EQ(r.Field("Row-Count"), "1") << ddl;
    // Dropped again, the other table is back.
    RunUpdate(c, ddl.find("VIEW") == std::string::npos ? "DROP TABLE temp.t" : "DROP VIEW temp.t");
    r = Select(c, "SELECT * FROM t");
    EXPECT_EQ(r.List("Column-Aliases"), (std::vector<std::string>{"a", "b"})) << ddl;
  }
}
