// The connect procedure: settings applied at login, driver completion, the
// completed connection string, TLS refusal and the liveness probe.
#include <chrono>

#include "protocol/connect.h"
#include "protocol/request.h"
#include "setup/dialog_toolkit.h"
#include "setup/headless_dialog.h"
#include "tests/protocol/connection_fixture.h"

namespace {

using kestrion::SqlState;
using kestrion_test::OkReply;
using kestrion_test::ScriptedServer;
using Clock = std::chrono::steady_clock;

class Connecting : public kestrion_test::ConnectionTest {
 protected:
  SQLINTEGER Attribute(SQLINTEGER id) {
    SQLINTEGER value = -12345;
    EXPECT_EQ(SQLGetConnectAttrW(dbc, id, &value, 0, nullptr), SQL_SUCCESS);
    return value;
  }
};

TEST_F(Connecting, SettingsAreAppliedAtLogin) {
  ScriptedServer server;
  server.Expect(LoginRequest(), OkReply(Id(0)));
  // Port above 65535 keeps its low 16 bits: this one reaches the server.
  const std::string text = "DSN=*;Server=127.0.0.1;UID=;Port=" + std::to_string(server.port() + 65536) +
                           ";NetworkCacheSize=20000;CharsEncoding=System;LoginTimeout=7;"
                           "QueryTimeout=;PhysicalConnectionTimeout=9;OpenQuery=TRUE;"
                           "DefaultPageSize=50;FavouriteImageFormats=PNG";
  ASSERT_EQ(Connect(text), SQL_SUCCESS) << Diagnostics();
  EXPECT_EQ(conn().session.port, server.port());
  EXPECT_EQ(Attribute(SQL_ATTR_PACKET_SIZE), 10485760);
  EXPECT_EQ(Attribute(SQL_ATTR_LOGIN_TIMEOUT), 7);
  EXPECT_EQ(Attribute(SQL_ATTR_QUERY_TIMEOUT), 0);
  EXPECT_EQ(Attribute(SQL_ATTR_CONNECTION_TIMEOUT), 9);
  EXPECT_EQ(Attribute(SQL_ATTR_CONNECTION_DEAD), SQL_CD_FALSE);
  EXPECT_EQ(conn().charset, kestrion::Charset::Local);
  EXPECT_TRUE(conn().open_query);
  EXPECT_FALSE(conn().windev);
  EXPECT_EQ(conn().session.first_page_size, u"50");
  EXPECT_EQ(conn().session.preferred_image_types, u"PNG");
  // After login, reads have no idle time-out.
  EXPECT_EQ(conn().session.read_timeout_seconds, -1);
  // A second connect on the live link is refused with a warning.
  EXPECT_EQ(Connect(Loopback(server.port())), SQL_SUCCESS_WITH_INFO);
  EXPECT_TRUE(Has(SqlState::S01000, u"Already connected."));
}

TEST_F(Connecting, PortKeepsItsLow16Bits) {
  // Nothing is expected to listen on loopback port 4464; the port is set
  // before the link is opened either way.
  Connect("DSN=*;Server=127.0.0.1;UID=;Port=70000;PhysicalConnectionTimeout=1;LoginTimeout=1");
  EXPECT_EQ(conn().session.port, 4464);
  Connect("DSN=*;Server=127.0.0.1;UID=;Port=99999999999;PhysicalConnectionTimeout=1");
  EXPECT_EQ(conn().session.port, 0);
}

TEST_F(Connecting, NetworkCacheSizeZeroGivesTheDefaultPacketSize) {
  ScriptedServer server;
  ConnectTo(server, ";NetworkCacheSize=0;CharsEncoding=utf-8");
  EXPECT_EQ(Attribute(SQL_ATTR_PACKET_SIZE), 131072);
  EXPECT_EQ(conn().charset, kestrion::Charset::Utf8);
}

TEST_F(Connecting, CompletedStringIsCutForSmallBuffersAndWholeItemsForLarge) {
  const std::string text = "DSN=*;Server=127.0.0.1;Port=1;UID=someone;PWD=secret";
  SQLWCHAR out[600];
  SQLSMALLINT length = 0;
  // An unknown completion makes no attempt, so no server is needed.
  EXPECT_EQ(Connect(text, 9, out, 100, &length), SQL_ERROR);
  EXPECT_TRUE(Has(SqlState::HY110));
  EXPECT_TRUE(Has(SqlState::S01000));
  const std::u16string small(reinterpret_cast<char16_t*>(out));
  EXPECT_EQ(small.size(), 49u);
  EXPECT_EQ(small.substr(0, 44), u";DRIVER={Kestrion v18 Rx ODBC Driver 64-bit}");
  EXPECT_GT(length, 200);

  std::fill(std::begin(out), std::end(out), 0xEEEE);
  EXPECT_EQ(Connect(text, 9, out, 1000, &length), SQL_ERROR);
  const std::u16string large(reinterpret_cast<char16_t*>(out));
  EXPECT_EQ(static_cast<std::size_t>(length), large.size());
  EXPECT_LT(large.size(), 499u);
  EXPECT_NE(large.back(), u';');
  EXPECT_EQ(large.find(u"Description"), std::u16string::npos);
  EXPECT_NE(large.find(u"};;Server=127.0.0.1;Port=1;UID=someone;PWD=secret"), std::u16string::npos);
}

TEST_F(Connecting, CompletionRules) {
  // An empty string.
  EXPECT_EQ(Connect(""), SQL_ERROR);
  EXPECT_TRUE(Has(SqlState::HY090));
  // Asking to complete without a user name opens the prompt; here the user
  // cancels it.
  kestrion::HeadlessToolkit cancelling([](kestrion::HeadlessDialog& d) { d.PressEscape(); });
  kestrion::UseToolkit(&cancelling);
  EXPECT_EQ(Connect("DSN=*;Server=127.0.0.1", SQL_DRIVER_COMPLETE), SQL_NO_DATA);
  EXPECT_TRUE(Has(SqlState::S01000, u"User cancelled the connect dialog."));
  EXPECT_EQ(Connect("DSN=*;UID=x", SQL_DRIVER_PROMPT), SQL_NO_DATA);
  kestrion::UseToolkit(nullptr);
  EXPECT_EQ(cancelling.dialogs_shown(), 2);
  // Without a user name and without a prompt nothing can log in.
  EXPECT_EQ(Connect("DSN=*;Server=127.0.0.1"), SQL_ERROR);
  EXPECT_TRUE(Has(SqlState::S28000));
  EXPECT_FALSE(conn().session.link);
}

TEST_F(Connecting, SQLConnectWChecksItsArguments) {
  SQLWCHAR dsn[] = {'n', 'o', 'n', 'e', 0};
  EXPECT_EQ(SQLConnectW(dbc, dsn, 0, nullptr, 0, nullptr, 0), SQL_ERROR);
  EXPECT_TRUE(Has(SqlState::HY090, u"See the DSN string."));
  EXPECT_EQ(SQLConnectW(dbc, nullptr, SQL_NTS, nullptr, 0, nullptr, 0), SQL_ERROR);
  std::u16string huge(40000, u'a');
  EXPECT_EQ(SQLConnectW(dbc, dsn, SQL_NTS, reinterpret_cast<SQLWCHAR*>(huge.data()), SQL_NTS,
                        nullptr, 0),
            SQL_ERROR);
  EXPECT_TRUE(Has(SqlState::HY090, u"See the UID string."));
}

TEST_F(Connecting, TlsAgainstASilentPlainServerIsRefusedWithinTheLoginTimeout) {
  ScriptedServer server;
  ScriptedServer::Step silent;
  silent.silent = true;
  server.Then(silent);
  const auto start = Clock::now();
  EXPECT_EQ(Connect(Loopback(server.port(), ";SSL=true", 1)), SQL_ERROR);
  EXPECT_LT(std::chrono::duration<double>(Clock::now() - start).count(), 2.0);
  EXPECT_TRUE(Has(SqlState::S08001,
                  u"Is the SQL Server Started ?\nClient unable to establish connection."))
      << Diagnostics();
  EXPECT_FALSE(conn().session.link);
  // Nothing but the TLS hello went out: no LOGIN in clear text.
  EXPECT_EQ(server.received().find("LOGIN"), std::string::npos);
}

TEST_F(Connecting, TlsAgainstAPlainServerThatAnswersIsRefused) {
  ScriptedServer server;
  ScriptedServer::Step answer;
  answer.reply = "0.0 ERROR\r\nError-Code:1\r\nError-Description:What?\r\n\r\n";
  answer.close_after = true;
  server.Then(answer);
  EXPECT_EQ(Connect(Loopback(server.port(), ";SSL=TRUE")), SQL_ERROR);
  EXPECT_TRUE(Has(SqlState::S08001)) << Diagnostics();
  EXPECT_EQ(server.received().find("LOGIN"), std::string::npos);
}

TEST_F(Connecting, ConnectionDeadSeesALinkTheServerClosed) {
  EXPECT_EQ(Attribute(SQL_ATTR_CONNECTION_DEAD), SQL_CD_TRUE);  // never connected
  ScriptedServer server;
  ConnectTo(server);
  ScriptedServer::Step close{Id(1) + " BYE\r\n\r\n", ""};
  close.close_after = true;
  server.Then(close);
  ASSERT_EQ(kestrion::SendRequestHeader(conn(), conn().session.own_buffer, std::string_view("BYE")),
            SQL_SUCCESS);
  server.Finish(2000);
  for (int i = 0; i < 100 && conn().session.LinkAlive(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(Attribute(SQL_ATTR_CONNECTION_DEAD), SQL_CD_TRUE);
  // Disconnecting a dead link sends nothing and succeeds.
  EXPECT_EQ(SQLDisconnect(dbc), SQL_SUCCESS) << Diagnostics();
}

}  // namespace
