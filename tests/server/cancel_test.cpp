// CANCEL from a second connection, and the server stopping SQL that nobody
// waits for any more: a closed client link, SIGTERM.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/server/raw_client.h"
#include "tests/support/dev_server.h"

using namespace kestrion_test;

namespace {

using Clock = std::chrono::steady_clock;

// Runs for far longer than any test waits.
const std::string kEndless =
    "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 2000000000) "
    "SELECT count(*) FROM c";

std::string SendEndless(RawClient& c) {
  return c.Send("EXECUTE-STATEMENT",
                {"STATEMENT-BASE64: " + B64(kEndless), "OUTPUT-MODE: RELEASE", "FIRST-PAGE-SIZE: 10"});
}

// CANCEL on a connection of its own, as a driver sends it.
RawReply Cancel(int port, const std::string& session, const std::string& key, const std::string& request) {
  RawClient c(port);
  RawReply r = c.Request("CANCEL", {"SESSION-ID: " + session, "CANCEL-KEY: " + key, "REQUEST-ID: " + request});
  EXPECT_TRUE(c.WaitClosed()) << "a connection that only cancels is closed after the answer";
  return r;
}

double SecondsSince(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

}  // namespace

TEST(ServerCancel, OnlyTheSessionsKeyAndRequestInterruptItAndTheSessionGoesOn) {
  DevServer server;
  ASSERT_TRUE(server.ok()) << server.error();
  RawClient c(server.port());
  RawReply login = c.Login();
  ASSERT_TRUE(login.ok);
  const std::string session = login.Field("Session-ID");
  const std::string key = login.Field("Cancel-Key");
  ASSERT_FALSE(session.empty()) << login.header;
  ASSERT_EQ(key.size(), 32u) << login.header;
  // Every session has a key of its own.
  RawClient other(server.port());
  RawReply other_login = other.Login();
  EXPECT_NE(other_login.Field("Cancel-Key"), key);
  EXPECT_NE(other_login.Field("Session-ID"), session);

  const auto start = Clock::now();
  const std::string id = SendEndless(c);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  // Each answered alike, none of them stops the query.
  std::string wrong_key = key;
  wrong_key.back() = wrong_key.back() == '0' ? '1' : '0';
  EXPECT_TRUE(Cancel(server.port(), session, wrong_key, id).ok);
  EXPECT_TRUE(Cancel(server.port(), session, "", id).ok);
  EXPECT_TRUE(Cancel(server.port(), other_login.Field("Session-ID"), other_login.Field("Cancel-Key"), id).ok);
  EXPECT_TRUE(Cancel(server.port(), session, key, "0.99").ok);
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
  EXPECT_TRUE(Cancel(server.port(), session, key, id).ok);
  RawReply interrupted = c.Read();
  const double seconds = SecondsSince(start);
  EXPECT_FALSE(interrupted.ok);
  EXPECT_EQ(interrupted.Field("Error-Code"), "4009") << interrupted.header;
  EXPECT_EQ(interrupted.Field("Error-SQLState"), "HY008");
  EXPECT_GE(seconds, 0.9) << "a wrong cancel stopped the query";
  EXPECT_LT(seconds, 3.0);

  // The session serves the next request as usual.
  RawReply next = c.Execute("SELECT 42");
  ASSERT_TRUE(next.ok) << next.header;
  EXPECT_EQ(c.ReadRows(1, {corvane::VKind::Long8})[0][0].integer(), 42);
}

TEST(ServerCancel, AClosedClientLinkOrAStopSignalEndsRunningSql) {
  DevServer server({"--log-level", "debug"});
  ASSERT_TRUE(server.ok()) << server.error();
  {
    RawClient gone(server.port());
    ASSERT_TRUE(gone.Login().ok);
    SendEndless(gone);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  // The request ends (its log line is written) soon after the client left.
  const auto start = Clock::now();
  while (server.Log().find("EXECUTE-STATEMENT") == std::string::npos && SecondsSince(start) < 5) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_LT(SecondsSince(start), 2.0) << server.Log();

  RawClient busy(server.port());
  ASSERT_TRUE(busy.Login().ok);
  SendEndless(busy);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const auto stop = Clock::now();
  const int status = server.Stop(5000);
  EXPECT_NE(status, -1);
  EXPECT_LT(SecondsSince(stop), 1.0);
}

TEST(ServerCancel, NotOfferedWithoutCapabilities) {
  DevServer server({"--no-capabilities"});
  ASSERT_TRUE(server.ok()) << server.error();
  RawClient c(server.port());
  RawReply login = c.Login();
  ASSERT_TRUE(login.ok);
  EXPECT_EQ(login.header.find("Cancel-Key"), std::string::npos) << login.header;
  RawReply r = c.Request("CANCEL", {"SESSION-ID: 1", "CANCEL-KEY: 00", "REQUEST-ID: 0.0"});
  EXPECT_EQ(r.Field("Error-Code"), "3001");
}

TEST(ServerCancel, AnInterruptedChangeInsideATransactionLeavesAnEmptyTransactionOpen) {
  DevServer server;
  ASSERT_TRUE(server.ok()) << server.error();
  RawClient c(server.port());
  RawReply login = c.Login();
  ASSERT_TRUE(login.ok);
  auto update = [&](const std::string& sql) {
    RawReply r = c.Execute(sql);
    EXPECT_TRUE(r.ok) << sql << "\n" << r.header;
    if (r.ok) c.ReadBytesExact(4);
  };
  update("CREATE TABLE t (x INTEGER)");
  update("START TRANSACTION");
  update("INSERT INTO t VALUES (1)");
  const std::string id = c.Send(
      "EXECUTE-STATEMENT", {"STATEMENT-BASE64: " + B64("INSERT INTO t " + kEndless.substr(0, kEndless.find(" SELECT count")) +
                                                       " SELECT x FROM c"),
                            "OUTPUT-MODE: RELEASE"});
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  Cancel(server.port(), login.Field("Session-ID"), login.Field("Cancel-Key"), id);
  RawReply interrupted = c.Read();
  EXPECT_EQ(interrupted.Field("Error-SQLState"), "HY008") << interrupted.header;
  EXPECT_NE(interrupted.header.find("the open transaction was rolled back"), std::string::npos)
      << interrupted.header;
  // The first insert went with the transaction; what comes next is in a
  // new one, which the client's ROLLBACK undoes.
  update("INSERT INTO t VALUES (2)");
  update("ROLLBACK");
  RawReply count = c.Execute("SELECT count(*) FROM t");
  ASSERT_TRUE(count.ok) << count.header;
  EXPECT_EQ(c.ReadRows(1, {corvane::VKind::Long8})[0][0].integer(), 0);
}
