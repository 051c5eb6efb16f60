// Requests and replies against a scripted server: identifiers and numbering,
// LOGIN's bytes, reading a reply header exactly to its blank line, server
// errors, time-outs, a closed link and resynchronisation.
#include <signal.h>
#include <sys/socket.h>

#include <chrono>

#include "protocol/connect.h"
#include "protocol/connection_stream.h"
#include "protocol/request.h"
#include "tests/protocol/connection_fixture.h"

namespace {

using kestrion::SqlState;
using kestrion_test::OkReply;
using kestrion_test::ScriptedServer;

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

class Framing : public kestrion_test::ConnectionTest {};

TEST_F(Framing, LoginRequestsAreNumberedAndDisconnectLogsOut) {
  ScriptedServer server;
  server.Expect(LoginRequest(0), OkReply(Id(0)))
      .Expect(Id(1) + " PING\r\n\r\n", OkReply(Id(1)))
      .Expect(Id(2) + " LOGOUT\r\n\r\n", OkReply(Id(2)))
      .Expect(Id(3) + " QUIT\r\n\r\n", OkReply(Id(3)));
  ASSERT_EQ(Connect(Loopback(server.port())), SQL_SUCCESS) << Diagnostics();
  EXPECT_EQ(kestrion::SendRequest(conn(), conn().session.own_buffer, "PING"), SQL_SUCCESS);
  EXPECT_EQ(SQLDisconnect(dbc), SQL_SUCCESS) << Diagnostics();
  EXPECT_EQ(server.Finish(), "");
  // The numbers go on after a disconnect; a second disconnect finds no link.
  EXPECT_EQ(conn().session.request_number, 4);
  EXPECT_EQ(SQLDisconnect(dbc), SQL_SUCCESS_WITH_INFO);
  EXPECT_TRUE(Has(SqlState::S01002, u"Disconnect error"));
}

TEST_F(Framing, LoginCarriesUserAndPasswordInBase64) {
  ScriptedServer server;
  server.Expect(Id(0) + " LOGIN\r\nREPLY-WITH-BASE64-TEXT: Y\r\nUSER-NAME-BASE64: am9zw6k=\r\n"
                        "USER-PASSWORD-BASE64: cDpzcw==\r\nPROTOCOL-VERSION: 0.1a\r\n\r\n",
                OkReply(Id(0)));
  ASSERT_EQ(Connect("DSN=*;Server=127.0.0.1;Port=" + std::to_string(server.port()) +
                    ";UID={jos\u00E9};PWD=p:ss"),
            SQL_SUCCESS)
      << Diagnostics();
  EXPECT_EQ(conn().session.user_name, u"jos\u00E9");
}

TEST_F(Framing, RefusedLoginReportsTheServerErrorAndOnlyQuits) {
  ScriptedServer server;
  server.Expect(LoginRequest(0),
                Id(0) + " ERROR\r\nError-Code:28\r\nError-Description:Login refused.\r\n\r\n")
      .Expect(Id(1) + " QUIT\r\n\r\n", OkReply(Id(1)));
  EXPECT_EQ(Connect(Loopback(server.port())), SQL_ERROR);
  ASSERT_EQ(conn().diagnostics().size(), 1u) << Diagnostics();
  EXPECT_EQ(conn().diagnostics()[0].native_error, 28);
  EXPECT_EQ(conn().diagnostics()[0].message, u"Login refused.");
  EXPECT_FALSE(conn().session.link);
  EXPECT_EQ(server.Finish(), "");
  EXPECT_EQ(server.received().find("LOGOUT"), std::string::npos);
}

TEST_F(Framing, ReplyInOneByteSegmentsStopsAtTheBlankLine) {
  ScriptedServer server;
  ConnectTo(server);
  server.Then({Id(1) + " FETCH\r\n\r\n", std::string(2, '\0') + Id(1) + " OK\r\nRow-Count: 2\r\n\r\n\x07\x08",
               /*one_byte_segments=*/true});
  auto& buffer = conn().session.own_buffer;
  ASSERT_EQ(kestrion::SendRequestHeader(conn(), buffer, std::string_view("FETCH")), SQL_SUCCESS);
  corvane::VString header;
  ASSERT_EQ(kestrion::ReadReply(conn(), buffer, &header), SQL_SUCCESS) << Diagnostics();
  EXPECT_EQ(header.ToUtf8(), Id(1) + " OK\r\nRow-Count: 2\r\n\r\n");
  kestrion::ConnectionStream stream(conn(), buffer);
  std::uint8_t body[2] = {};
  ASSERT_TRUE(stream.Read(body, 2));
  EXPECT_EQ(body[0], 7);
  EXPECT_EQ(body[1], 8);
}

TEST_F(Framing, LeadingZeroBytesAreIgnored) {
  ScriptedServer server;
  ConnectTo(server);
  server.Expect(Id(1) + " PING\r\n\r\n", std::string(5, '\0') + OkReply(Id(1)) + "\x09");
  auto& buffer = conn().session.own_buffer;
  ASSERT_EQ(kestrion::SendRequest(conn(), buffer, "PING"), SQL_SUCCESS) << Diagnostics();
  kestrion::ConnectionStream stream(conn(), buffer);
  std::uint8_t b = 0;
  ASSERT_TRUE(stream.GetU8(b));
  EXPECT_EQ(b, 9);
}

TEST_F(Framing, ServerErrorBecomes08004WithCodeAndDescription) {
  ScriptedServer server;
  ConnectTo(server);
  server.Expect(Id(1) + " PING\r\n\r\n",
                Id(1) + " ERROR\r\nError-Code:1234\r\nError-Description:Table not found\r\n\r\n");
  EXPECT_EQ(kestrion::SendRequest(conn(), conn().session.own_buffer, "PING"), SQL_ERROR);
  ASSERT_EQ(conn().diagnostics().size(), 1u) << Diagnostics();
  const auto& d = conn().diagnostics()[0];
  EXPECT_EQ(d.state, SqlState::S08004);
  EXPECT_EQ(d.native_error, 1234);
  EXPECT_EQ(d.message, u"Table not found");
}

// A server that classifies its errors names the SQLSTATE; one the table does
// not know, or a warning class, is a general error, never a success.
TEST_F(Framing, ServerErrorWithASqlStateFieldPostsThatState) {
  ScriptedServer server;
  ConnectTo(server);
  const std::pair<std::string, SqlState> cases[] = {
      {"23000", SqlState::S23000}, {"42s02", SqlState::S42S02}, {"XX999", SqlState::HY000},
      {"01004", SqlState::HY000},  {"", SqlState::HY000},
  };
  int n = 1;
  for (const auto& [field, state] : cases) {
    conn().ClearDiagnostics();
    server.Expect(Id(n) + " PING\r\n\r\n", Id(n) + " ERROR\r\nError-Code:4019\r\nError-SQLState: " + field +
                                                   "\r\nError-Description:UNIQUE constraint failed\r\n\r\n");
    ++n;
    EXPECT_EQ(kestrion::SendRequest(conn(), conn().session.own_buffer, "PING"), SQL_ERROR) << field;
    ASSERT_EQ(conn().diagnostics().size(), 1u) << Diagnostics();
    const auto& d = conn().diagnostics()[0];
    EXPECT_EQ(d.state, state) << field;
    EXPECT_EQ(d.native_error, 4019);
    EXPECT_EQ(d.message, u"UNIQUE constraint failed");
  }
}

TEST_F(Framing, ReplyWithAnotherIdentifierIsAnError) {
  ScriptedServer server;
  ConnectTo(server);
  const std::string wrong = OkReply(Id(0));
  server.Expect(Id(1) + " PING\r\n\r\n", wrong);
  EXPECT_EQ(kestrion::SendRequest(conn(), conn().session.own_buffer, "PING"), SQL_ERROR);
  ASSERT_EQ(conn().diagnostics().size(), 1u) << Diagnostics();
  EXPECT_EQ(conn().diagnostics()[0].state, SqlState::S08004);
  EXPECT_EQ(conn().diagnostics()[0].native_error, 0);
  EXPECT_EQ(conn().diagnostics()[0].message.ToUtf8(), wrong);
}

TEST_F(Framing, RequestWithBodyLeavesInOneSendWithExactBytes) {
  ScriptedServer server;
  ConnectTo(server);
  const std::uint8_t body[] = {1, 0, 0, 0, 0xFF};
  server.Expect(Id(1) + " EXECUTE-STATEMENT\r\nOUTPUT-MODE: RELEASE\r\n\r\n" +
                    std::string(reinterpret_cast<const char*>(body), sizeof body),
                OkReply(Id(1)));
  EXPECT_EQ(kestrion::SendRequest(conn(), conn().session.own_buffer,
                                  "EXECUTE-STATEMENT\r\nOUTPUT-MODE: RELEASE", body),
            SQL_SUCCESS)
      << Diagnostics();
  EXPECT_EQ(server.Finish(1000), "");
}

TEST_F(Framing, SilentServerFailsTheLoginAfterTheLoginTimeout) {
  ScriptedServer server;
  ScriptedServer::Step silent;
  silent.expect = LoginRequest();
  silent.silent = true;
  server.Then(silent);
  const auto start = Clock::now();
  EXPECT_EQ(Connect(Loopback(server.port(), "", 1)), SQL_ERROR);
  const double elapsed = SecondsSince(start);
  EXPECT_GE(elapsed, 0.9);
  EXPECT_LT(elapsed, 2.0);
  EXPECT_TRUE(Has(SqlState::S08001, u"Timeout on network byte-reading.")) << Diagnostics();
  EXPECT_TRUE(Has(SqlState::S08S01, u"Can't read from server."));
  EXPECT_FALSE(conn().session.link);
}

TEST_F(Framing, NoServerAnswers08001) {
  std::uint16_t port;
  { ScriptedServer closed; port = closed.port(); }  // nobody listens there any more
  EXPECT_EQ(Connect(Loopback(port)), SQL_ERROR);
  EXPECT_TRUE(Has(SqlState::S08001,
                  u"Is the SQL Server Started ?\nClient unable to establish connection."));
}

TEST_F(Framing, LinkClosedMidReplyFailsTheReadAndReadsAsDead) {
  ::signal(SIGPIPE, SIG_DFL);  // a send on the closed link must not raise it
  ScriptedServer server;
  ConnectTo(server);
  ScriptedServer::Step cut{Id(1) + " PING\r\n\r\n", Id(1) + " OK\r\nRow-Co"};
  cut.close_after = true;
  server.Then(cut);
  EXPECT_EQ(kestrion::SendRequest(conn(), conn().session.own_buffer, "PING"), SQL_ERROR);
  EXPECT_TRUE(Has(SqlState::S08S01, u"Can't read from server.")) << Diagnostics();
  EXPECT_FALSE(conn().session.LinkAlive());
  // Further requests fail cleanly, without SIGPIPE.
  std::vector<std::uint8_t> big(1 << 20, 0x55);
  EXPECT_EQ(kestrion::SendRequest(conn(), conn().session.own_buffer, "PING", big), SQL_ERROR);
  // Disconnecting skips LOGOUT and QUIT on the dead link.
  SQLDisconnect(dbc);
  EXPECT_FALSE(conn().session.link);
}

TEST_F(Framing, ServerClosingDuringALargeBodyRaisesNoSigpipe) {
  ::signal(SIGPIPE, SIG_DFL);  // the default action would end the test program
  ScriptedServer server;
  ConnectTo(server);
  // The server reads the header only, then closes with the body unread.
  ScriptedServer::Step cut{Id(1) + " PUT\r\n\r\n", ""};
  cut.close_after = true;
  server.Then(cut);
  std::vector<std::uint8_t> body(32 << 20, 0x55);
  EXPECT_EQ(kestrion::SendRequest(conn(), conn().session.own_buffer, "PUT", body), SQL_ERROR);
  EXPECT_TRUE(Has(SqlState::S08S01, u"Can't send packet.")) << Diagnostics();
  // Sending again on the reset link, and probing it, fail without a signal.
  ASSERT_TRUE(conn().session.link);
  std::size_t written = 0;
  EXPECT_NE(conn().session.link->Write("x", 1, written, 0), kestrion::LinkStatus::Done);
  EXPECT_FALSE(conn().session.LinkAlive());
}

TEST_F(Framing, RequestWithoutLinkIsRefused) {
  EXPECT_EQ(kestrion::SendRequest(conn(), conn().session.own_buffer, "PING"), SQL_ERROR);
  EXPECT_TRUE(Has(SqlState::HY010, u"No SQLConnect done on this ConnectionHandle."));
}

TEST_F(Framing, ResynchronisationSkipsToTheAnswerOfTheBogusRequest) {
  ScriptedServer server;
  ConnectTo(server);
  auto& s = conn().session;
  // The reply's body is garbage the decoder cannot follow.
  server.Expect(Id(1) + " FETCH\r\n\r\n", OkReply(Id(1)) + "\x99garbage");
  ASSERT_EQ(kestrion::SendRequest(conn(), s.own_buffer, "FETCH"), SQL_SUCCESS);
  const std::string bogus = "****7Please,8cOUld9yOu10reSEnd11tHE12bAZarD13?2" "17" +
                            std::to_string(kestrion::CHConnection::NextConnectionNumber()) +
                            std::to_string(conn().connection_number);
  const std::string answer =
      bogus + " ERROR\r\nError-Code:3001\r\nError-Description:Unknown command.\r\n\r\n";
  // More garbage, a near miss, then the answer.
  server.Expect(bogus + "\r\n\r\n", "more garbage " + answer.substr(0, 20) + "x" + answer);
  server.Expect(Id(2) + " PING\r\n\r\n", OkReply(Id(2)));
  kestrion::ResynchroniseStream(conn(), s.own_buffer);
  EXPECT_FALSE(s.resynchronising);
  EXPECT_EQ(kestrion::SendRequest(conn(), s.own_buffer, "PING"), SQL_SUCCESS) << Diagnostics();
  EXPECT_EQ(server.Finish(1000), "");
}

TEST_F(Framing, SilentResynchronisationGivesUpAfterItsAttempts) {
  ScriptedServer server;
  ConnectTo(server);
  ScriptedServer::Step silent;
  silent.silent = true;
  server.Then(silent);
  // Two attempts of one second each are enough to show that it gives up;
  // the remaining ones run against a closed link and fail at once.
  std::thread closer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    ::shutdown(conn().session.link->fd(), SHUT_RDWR);
  });
  const auto start = Clock::now();
  kestrion::ResynchroniseStream(conn(), conn().session.own_buffer);
  closer.join();
  EXPECT_LT(SecondsSince(start), 6.0);
  EXPECT_FALSE(conn().session.resynchronising);
  EXPECT_TRUE(Has(SqlState::S08001, u"Timeout on network byte-reading."));
}

}  // namespace
