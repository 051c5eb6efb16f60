// SQLDriverConnectW's login prompt on the headless host: when it is shown,
// what it shows, OK, cancel, and a connect that cannot prompt.
#include <cstdlib>
#include <string>

#include "driver/connection.h"
#include "driver/odbc.h"
#include "setup/config_dsn.h"
#include "setup/control_values.h"
#include "tests/setup/setup_fixture.h"
#include "tests/support/dev_server.h"

namespace {

using namespace kestrion;
namespace c = kestrion::control;
using corvane::VString;

class LoginPrompt : public kestrion_test::SetupTest {
 protected:
  SQLHENV env = nullptr;
  SQLHDBC dbc = nullptr;
  std::u16string completed;

  void SetUp() override {
    SetupTest::SetUp();
    ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env), SQL_SUCCESS);
    ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc), SQL_SUCCESS);
  }
  void TearDown() override {
    if (env) SQLFreeHandle(SQL_HANDLE_ENV, env);
    SetupTest::TearDown();
  }
  CHConnection& conn() { return *static_cast<CHConnection*>(dbc); }

  SQLRETURN Connect(const std::string& text, SQLUSMALLINT completion,
                    HeadlessToolkit::Script script = {}) {
    toolkit.set_script(std::move(script));
    VString in = VString::FromUtf8(text);
    SQLWCHAR out[1024] = {};
    SQLSMALLINT length = 0;
    // Any non-null window: the handle is opaque and never used.
    SQLRETURN rc = SQLDriverConnectW(dbc, reinterpret_cast<SQLHWND>(1),
                                     reinterpret_cast<SQLWCHAR*>(in.data()), SQL_NTS, out,
                                     sizeof out, &length, completion);
    completed = reinterpret_cast<char16_t*>(out);
    return rc;
  }
  bool Has(SqlState state, std::u16string_view message = {}) {
    for (const auto& r : conn().diagnostics()) {
      if (r.state == state && (message.empty() || r.message == message)) return true;
    }
    return false;
  }
  static std::string At(const kestrion_test::DevServer& s) {
    return "DSN=*;Server=127.0.0.1;Port=" + std::to_string(s.port()) + ";LoginTimeout=10";
  }
};

TEST_F(LoginPrompt, PromptShowsTheSettingsAndOkConnectsWithWhatWasTyped) {
  kestrion_test::DevServer server({"--user", "ann:secret"});
  ASSERT_TRUE(server.ok()) << server.error();
  const SQLRETURN rc = Connect(At(server) + ";UID=ann;Description=gone", SQL_DRIVER_PROMPT,
                               [&](HeadlessDialog& d) {
    EXPECT_EQ(d.title(), u"Kestrion ODBC Login");
    EXPECT_EQ(d.Text(c::kUser), u"ann");
    EXPECT_EQ(d.Text(c::kServer), u"127.0.0.1");
    EXPECT_FALSE(d.Visible(c::kServer));  // collapsed
    EXPECT_FALSE(d.Has(c::kDsn) || d.Has(c::kDescription) || d.Has(c::kTest));
    // Collapsed, OK and Cancel stand beside the Advanced button.
    EXPECT_EQ(d.ControlRect(c::kOk).y, d.ControlRect(c::kAdvanced).y);
    EXPECT_EQ(d.ControlRect(c::kCancel).y, d.ControlRect(c::kAdvanced).y);
    d.Click(c::kAdvanced);
    EXPECT_EQ(d.ControlRect(c::kOk).y, d.ControlRect(c::kCompatibilityGroup).bottom() + 10);
    d.Click(c::kFirstImageFormat + 3);
    d.Type(c::kPassword, u"secret");
    d.PressEnter();
  });
  EXPECT_EQ(rc, SQL_SUCCESS_WITH_INFO);
  EXPECT_TRUE(conn().session.LinkAlive());
  EXPECT_EQ(conn().session.preferred_image_types, u".png");
  EXPECT_EQ(completed.find(u"Description"), std::u16string::npos);
  EXPECT_NE(completed.find(u"UID=ann;PWD=secret"), std::u16string::npos);
  EXPECT_TRUE(store.sections.empty());  // nothing written to any data source
}

TEST_F(LoginPrompt, CancelEscapeAndCloseAnswerNoData) {
  for (auto leave : {+[](HeadlessDialog& d) { d.Click(c::kCancel); },
                     +[](HeadlessDialog& d) { d.PressEscape(); },
                     +[](HeadlessDialog& d) { d.CloseWindow(); }}) {
    EXPECT_EQ(Connect("DSN=*;Server=127.0.0.1;UID=x", SQL_DRIVER_PROMPT, leave), SQL_NO_DATA);
    EXPECT_TRUE(Has(SqlState::S01000, u"User cancelled the connect dialog."));
    EXPECT_FALSE(conn().session.LinkAlive());
  }
}

TEST_F(LoginPrompt, CompleteAsksOnlyWhenServerPortOrUidIsMissing) {
  EXPECT_EQ(Connect("DSN=*;UID=x;Port=1;PhysicalConnectionTimeout=1", SQL_DRIVER_COMPLETE),
            SQL_ERROR);  // nothing listens there; what matters is no prompt
  EXPECT_EQ(toolkit.dialogs_shown(), 0);
  EXPECT_EQ(Connect("DSN=*;Server=127.0.0.1", SQL_DRIVER_COMPLETE_REQUIRED,
                    [](HeadlessDialog& d) { d.PressEscape(); }),
            SQL_NO_DATA);
  EXPECT_EQ(toolkit.dialogs_shown(), 1);
}

TEST_F(LoginPrompt, AClearedUserFieldLeavesUidAbsentAndNothingIsLoggedIn) {
  const SQLRETURN rc = Connect("DSN=*;Server=127.0.0.1;UID=ann;PWD=pw", SQL_DRIVER_PROMPT,
                               [](HeadlessDialog& d) {
    EXPECT_EQ(d.Text(c::kPassword), u"pw");
    d.Type(c::kUser, u"");
    d.PressEnter();
  });
  EXPECT_EQ(rc, SQL_ERROR);
  EXPECT_FALSE(Has(SqlState::S08001));  // no connection was attempted
  EXPECT_EQ(completed.find(u"UID="), std::u16string::npos);
  EXPECT_NE(completed.find(u"PWD=pw"), std::u16string::npos);
}

TEST_F(LoginPrompt, WithoutADisplayThePromptFailsWithIM008) {
  kestrion::UseToolkit(nullptr);
  const char* display = std::getenv("DISPLAY");
  const std::string saved = display ? display : "";
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  const SQLRETURN rc = Connect("DSN=*;Server=127.0.0.1;UID=x", SQL_DRIVER_PROMPT);
  if (display) setenv("DISPLAY", saved.c_str(), 1);
  EXPECT_EQ(rc, SQL_ERROR);
  EXPECT_TRUE(Has(SqlState::IM008));
  EXPECT_FALSE(Has(SqlState::S01000, u"User cancelled the connect dialog."));
  std::string text;
  for (const auto& r : conn().diagnostics()) text += VString(r.message).ToUtf8();
  EXPECT_NE(text.find("no display"), std::string::npos) << text;
  // Without prompting the connect does not care about the display.
  EXPECT_EQ(Connect("DSN=*;Server=127.0.0.1", SQL_DRIVER_NOPROMPT), SQL_ERROR);
  EXPECT_FALSE(Has(SqlState::IM008));
}

// The Test button of the configuration dialog.
class ConnectionTestButton : public kestrion_test::SetupTest {
 protected:
  void Press(const std::string& server, const std::string& port, const std::string& user,
             const std::string& password) {
    toolkit.set_script([&](HeadlessDialog& d) {
      d.Type(c::kServer, VString::FromUtf8(server));
      d.Type(c::kPort, VString::FromUtf8(port));
      d.Type(c::kUser, VString::FromUtf8(user));
      d.Type(c::kPassword, VString::FromUtf8(password));
      d.Click(c::kAdvanced);
      d.Type(c::kConnectionTimeout, u"2");
      d.Type(c::kLoginTimeout, u"5");
      d.Click(c::kTest);
      EXPECT_FALSE(d.ended());
      d.PressEscape();
    });
    std::u16string attributes = u"DSN=T";
    attributes.push_back(0);
    ConfigureDataSource(nullptr, 1, nullptr, reinterpret_cast<const SQLWCHAR*>(attributes.c_str()));
  }
};

TEST_F(ConnectionTestButton, LiveServerSaysSuccess) {
  kestrion_test::DevServer server({"--user", "ann:secret"});
  ASSERT_TRUE(server.ok()) << server.error();
  Press("127.0.0.1", std::to_string(server.port()), "ann", "secret");
  ASSERT_EQ(messages().size(), 1u);
  EXPECT_EQ(messages()[0].title, u"Connection test");
  EXPECT_EQ(messages()[0].text, u"SUCCESS");
  EXPECT_EQ(messages()[0].icon, MessageIcon::Information);
  EXPECT_TRUE(store.sections.empty());
}

TEST_F(ConnectionTestButton, FailuresListEveryRecordNewestFirst) {
  kestrion_test::DevServer server({"--user", "ann:secret"});
  ASSERT_TRUE(server.ok()) << server.error();
  Press("127.0.0.1", std::to_string(server.port()), "ann", "wrong");
  const int port = server.port();
  server.Stop();
  Press("127.0.0.1", std::to_string(port), "ann", "secret");  // nothing listens now
  ASSERT_EQ(messages().size(), 2u);
  const std::string banner = "-------------------- FAILED ----------------------\n\n";
  for (const auto& m : messages()) {
    EXPECT_EQ(m.title, u"Connection test");
    EXPECT_EQ(m.icon, MessageIcon::Error);
    const std::string text = VString(m.text).ToUtf8();
    ASSERT_EQ(text.substr(0, banner.size()), banner) << text;
    // One entry per record, each "[STATE]:\t" or "[STATE-native]:\t" and
    // ending in a line feed (a message may hold line feeds of its own).
    EXPECT_EQ(text[banner.size()], '[') << text;
    EXPECT_EQ(text.back(), '\n') << text;
    int lines = 0;
    for (std::size_t at = text.find("]:\t"); at != std::string::npos; at = text.find("]:\t", at + 1)) {
      ++lines;
    }
    EXPECT_GE(lines, 2);
  }
  const std::string refused = VString(messages()[1].text).ToUtf8();
  // The out string's 01000 is the newest record, the refused link's 08001 before it.
  EXPECT_NE(refused.find("[01000]:\t"), std::string::npos);
  EXPECT_NE(refused.find("[08001]:\tIs the SQL Server Started ?"), std::string::npos) << refused;
  EXPECT_LT(refused.find("[01000]"), refused.find("[08001]"));
  EXPECT_NE(VString(messages()[0].text).ToUtf8().find("[08004-"), std::string::npos)
      << VString(messages()[0].text).ToUtf8();
}

}  // namespace
