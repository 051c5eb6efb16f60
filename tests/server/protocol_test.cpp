// Frame, login, error replies, resynchronisation and broken requests.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <thread>

#include "tests/server/raw_client.h"
#include "tests/support/dev_server.h"

using namespace kestrion_test;

TEST(ServerProtocol, LoginAcceptedRefusedAndRequiredFirst) {
  DevServer server({"--user", "ann:secret", "--user", "bob:pw"});
  ASSERT_TRUE(server.ok()) << server.error();
  RawClient c(server.port());
  ASSERT_TRUE(c.connected());
  // Before LOGIN only LOGIN and QUIT are served.
  RawReply r = c.Execute("select 1");
  EXPECT_EQ(r.header, "0.0 ERROR\r\nError-Code:3002\r\nError-Description:Not logged in.\r\n\r\n");
  r = c.Login("ann", "wrong");
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.Field("Error-Code"), "3003");
  r = c.Login("ann", "secret");
  EXPECT_TRUE(r.ok) << r.header;
  EXPECT_EQ(r.header.substr(0, 8), "0.2 OK\r\n");
  EXPECT_TRUE(c.Execute("select 1").ok);
  // LOGOUT ends the session: statements need a new LOGIN.
  EXPECT_TRUE(c.Request("LOGOUT").ok);
  EXPECT_EQ(c.Execute("select 1").Field("Error-Code"), "3002");
  EXPECT_TRUE(c.Login("bob", "pw").ok);
  EXPECT_EQ(c.Request("QUIT").header, "0.7 OK\r\n\r\n");
  EXPECT_TRUE(c.WaitClosed());
}

TEST(ServerProtocol, AnyLoginWithoutUsersAndExactErrorLines) {
  DevServer server;
  ASSERT_TRUE(server.ok()) << server.error();
  RawClient c(server.port());
  EXPECT_TRUE(c.Login("", "").ok);
  RawReply r = c.Execute("select * from missing_table");
  EXPECT_EQ(r.header,
            "0.1 ERROR\r\nError-Code:4001\r\nError-SQLState: 42S02\r\n"
            "Error-Description:no such table: missing_table\r\n\r\n");
  r = c.Request("NO-SUCH-COMMAND");
  EXPECT_EQ(r.header, "0.2 ERROR\r\nError-Code:3001\r\nError-Description:Unknown command.\r\n\r\n");
  // A first line without a space is all identifier and no command.
  c.SendRaw("lonely\r\n\r\n");
  EXPECT_EQ(c.Read().header, "lonely ERROR\r\nError-Code:3001\r\nError-Description:Unknown command.\r\n\r\n");
  // The session goes on after errors.
  EXPECT_TRUE(c.Execute("select 1").ok);
}

TEST(ServerProtocol, ResynchronisationRequestGetsTheAwaitedAnswer) {
  DevServer server;
  ASSERT_TRUE(server.ok()) << server.error();
  RawClient c(server.port());
  ASSERT_TRUE(c.Login().ok);
  std::string bogus = "****7Please,8cOUld9yOu10reSEnd11tHE12bAZarD13?517302";
  c.SendRaw(bogus + "\r\n\r\n");
  EXPECT_EQ(c.Read().header,
            bogus + " ERROR\r\nError-Code:3001\r\nError-Description:Unknown command.\r\n\r\n");
  EXPECT_TRUE(c.Execute("select 1").ok);
}

TEST(ServerProtocol, OversizedHeaderIsRefusedAndSkipped) {
  DevServer server({"--max-header-bytes", "65536"});
  ASSERT_TRUE(server.ok()) << server.error();
  RawClient c(server.port());
  ASSERT_TRUE(c.Login().ok);
  const std::string refused =
      "9.9 ERROR\r\nError-Code:3004\r\nError-Description:Request header larger than 65536 bytes.\r\n\r\n";
  // Without a parameter body the rest of the header is skipped and the link
  // serves the next request.
  c.SendRaw("9.9 EXECUTE-STATEMENT\r\nSTATEMENT-BASE64: " + std::string(300000, 'A') + "\r\n\r\n");
  EXPECT_EQ(c.Read().header, refused);
  EXPECT_TRUE(c.Execute("select 1").ok);
  // With parameter kinds in the skipped header a body follows that cannot be
  // told from the next request: the server answers and closes the link.
  RawClient p(server.port());
  ASSERT_TRUE(p.Login().ok);
  p.SendRaw("9.9 EXECUTE-STATEMENT\r\nPARAMETER-TYPES: VK_LONG\r\nSTATEMENT-BASE64: " +
            std::string(300000, 'A') + "\r\n\r\n" + std::string("0\x01\0\0\0", 5));
  EXPECT_EQ(p.Read().header, refused);
  EXPECT_TRUE(p.WaitClosed());
}

TEST(ServerProtocol, StatementsOfSeveralMegabytesRunByDefault) {
  DevServer server;
  ASSERT_TRUE(server.ok()) << server.error();
  RawClient c(server.port());
  ASSERT_TRUE(c.Login().ok);
  // A 3 MB IN list, 4 MB once in Base64.
  std::string sql = "select count(*) from (select 1 as v) where v in (1";
  while (sql.size() < 3000000) sql += ",1234567";
  sql += ")";
  RawReply r = c.Execute(sql);
  EXPECT_TRUE(r.ok) << r.header.substr(0, 200);
}

TEST(ServerProtocol, ShortOrMalformedParameterBodyIsAnErrorAndCloses) {
  DevServer server;
  ASSERT_TRUE(server.ok()) << server.error();
  {
    // The body ends inside the value: the server answers and closes, not hangs.
    RawClient c(server.port());
    ASSERT_TRUE(c.Login().ok);
    c.Send("EXECUTE-STATEMENT", {"STATEMENT-BASE64: " + B64("select ? + 1"), "PARAMETER-TYPES: VK_LONG8"},
           {'1', 1, 2, 3});
    c.ShutdownWrite();
    RawReply r = c.Read();
    EXPECT_EQ(r.Field("Error-Code"), "3007") << r.header;
    EXPECT_TRUE(c.WaitClosed());
  }
  {
    // A status byte that is neither '0' nor '1'.
    RawClient c(server.port());
    ASSERT_TRUE(c.Login().ok);
    RawReply r = c.Execute("select ?", 100, " VK_LONG", {'7', 1, 0, 0, 0});
    EXPECT_EQ(r.Field("Error-Code"), "3007");
    EXPECT_TRUE(c.WaitClosed());
  }
  {
    // A text announcing two billion units: refused at once, no huge buffer.
    RawClient c(server.port());
    ASSERT_TRUE(c.Login().ok);
    RawReply r = c.Execute("select ?", 100, " VK_TEXT", {'1', 0x01, 0x00, 0x00, 0x80, 'a', 0});
    EXPECT_EQ(r.Field("Error-Code"), "3007");
    EXPECT_TRUE(c.WaitClosed());
  }
  {
    // '1' for a marker the line names no kind for.
    RawClient c(server.port());
    ASSERT_TRUE(c.Login().ok);
    RawReply r = c.Execute("select ?, ?", 100, " VK_LONG", {'1', 1, 0, 0, 0, '1', 2, 0, 0, 0});
    EXPECT_EQ(r.Field("Error-Code"), "3007");
    EXPECT_TRUE(c.WaitClosed());
  }
}

TEST(ServerProtocol, StopsCleanlyOnSigterm) {
  DevServer server;
  ASSERT_TRUE(server.ok()) << server.error();
  RawClient idle(server.port());
  ASSERT_TRUE(idle.Login().ok);
  int status = server.Stop();
  ASSERT_NE(status, -1) << "server did not stop";
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_TRUE(idle.WaitClosed());
}

TEST(ServerProtocol, IdleTimeoutAndConnectionLimit) {
  DevServer server({"--idle-timeout", "1", "--max-connections", "1"});
  ASSERT_TRUE(server.ok()) << server.error();
  RawClient first(server.port());
  ASSERT_TRUE(first.Login().ok);
  // The one allowed connection is taken: the next one is closed at once.
  RawClient second(server.port());
  EXPECT_TRUE(second.WaitClosed());
  // Silent for more than a second: disconnected.
  EXPECT_TRUE(first.WaitClosed());
  // Its slot is free again once the server has noticed.
  bool served = false;
  for (int i = 0; i < 100 && !served; ++i) {
    RawClient third(server.port());
    served = third.Login().ok;
    if (!served) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_TRUE(served);
}
