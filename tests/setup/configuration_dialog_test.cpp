// ConfigDSNW and the configuration dialog, played on the headless host:
// defaults, validation, rename, the image format list, Advanced, the keys.
#include <odbcinst.h>

#include "setup/config_dsn.h"
#include "setup/control_values.h"
#include "tests/setup/setup_fixture.h"

namespace {

using namespace kestrion;
namespace c = kestrion::control;
using kestrion_test::SetupTest;

class ConfigurationDialog : public SetupTest {
 protected:
  // ConfigDSNW with "DSN=<name>" and `driver`, the user played by `script`.
  int Run(int request, const std::u16string& name, HeadlessToolkit::Script script,
          const char16_t* driver = u"Kestrion") {
    toolkit.set_script(std::move(script));
    std::u16string attributes = u"DSN=" + name + u";Description=ignored";
    attributes.push_back(0);
    return ConfigureDataSource(nullptr, request, reinterpret_cast<const SQLWCHAR*>(driver),
                               reinterpret_cast<const SQLWCHAR*>(attributes.c_str()));
  }
  static std::u16string Entries(const HeadlessDialog& d) {
    std::u16string all;
    for (int i = 0; i < d.ListCount(c::kImageList); ++i) all += d.ListEntry(c::kImageList, i) + u"|";
    return all;
  }
};

TEST_F(ConfigurationDialog, NewDataSourceOpensCollapsedWithTheDefaults) {
  int ok_y = 0, advanced_bottom = 0;
  const int rc = Run(ODBC_ADD_DSN, u"Sales", [&](HeadlessDialog& d) {
    EXPECT_EQ(d.title(), u"Kestrion DSN Configuration");
    EXPECT_EQ(d.Text(c::kDsn), u"Sales");
    EXPECT_EQ(d.Text(c::kDescription), u"Kestrion 64 bits ODBC Datasource");
    EXPECT_EQ(d.Text(c::kServer), u"localhost");
    EXPECT_EQ(d.Text(c::kPort), u"19812");
    EXPECT_EQ(d.Text(c::kUser), u"");
    EXPECT_EQ(d.Text(c::kConnectionTimeout), u"30");
    EXPECT_EQ(d.Text(c::kLoginTimeout), u"30");
    EXPECT_EQ(d.Text(c::kQueryTimeout), u"240");
    EXPECT_EQ(d.Text(c::kFirstPage), u"100");
    EXPECT_EQ(d.Text(c::kPacketSize), u"128");
    EXPECT_TRUE(d.Checked(c::kUtf8));
    EXPECT_FALSE(d.Checked(c::kSystem));
    EXPECT_FALSE(d.Checked(c::kSsl) || d.Checked(c::kOpenQuery) || d.Checked(c::kMsAccess) ||
                 d.Checked(c::kWindev));
    EXPECT_EQ(Entries(d), u"Any format||As it was|stored|");
    // Collapsed: advanced controls hidden, buttons just below Advanced.
    EXPECT_EQ(d.Text(c::kAdvanced), u"Ad&vanced >>");
    for (int id : ConfigurationAdvancedControls()) {
      EXPECT_FALSE(d.Visible(id)) << id;
      EXPECT_FALSE(d.Enabled(id)) << id;
    }
    EXPECT_TRUE(d.Visible(c::kPassword));
    ok_y = d.ControlRect(c::kOk).y;
    advanced_bottom = d.ControlRect(c::kAdvanced).bottom();
    EXPECT_EQ(d.ControlRect(c::kTest).y, ok_y);
    EXPECT_EQ(d.ClientRect().height, ok_y + d.ControlRect(c::kOk).height + 10);
    d.PressEscape();
  });
  EXPECT_EQ(rc, 0);  // cancelled
  EXPECT_EQ(ok_y, advanced_bottom + 10);
  EXPECT_TRUE(store.sections.empty());
  EXPECT_TRUE(messages().empty());
}

TEST_F(ConfigurationDialog, AdvancedExpandsAndCollapsesMovingTheButtons) {
  Run(ODBC_ADD_DSN, u"Sales", [&](HeadlessDialog& d) {
    const int collapsed_height = d.ClientRect().height;
    ASSERT_FALSE(d.Click(c::kOpenQuery));  // hidden: a person cannot reach it
    ASSERT_TRUE(d.Click(c::kAdvanced));
    EXPECT_EQ(d.Text(c::kAdvanced), u"Ad&vanced <<");
    EXPECT_TRUE(d.Visible(c::kOpenQuery) && d.Enabled(c::kOpenQuery));
    EXPECT_EQ(d.ControlRect(c::kOk).y, d.ControlRect(c::kCompatibilityGroup).bottom() + 10);
    EXPECT_GT(d.ClientRect().height, collapsed_height);
    // The list shows "Any format" and stays disabled, the arrows hidden.
    EXPECT_FALSE(d.Enabled(c::kImageList));
    EXPECT_FALSE(d.Visible(c::kImageUpDown));
    ASSERT_TRUE(d.Click(c::kAdvanced));
    EXPECT_EQ(d.ClientRect().height, collapsed_height);
    EXPECT_FALSE(d.Visible(c::kOpenQuery));
    d.CloseWindow();
  });
}

TEST_F(ConfigurationDialog, OkWritesThePresentValuesWithTheInstallersDriverName) {
  const int rc = Run(ODBC_ADD_DSN, u"Sales", [&](HeadlessDialog& d) {
    d.Type(c::kServer, u"  db.example  ");
    d.Type(c::kPort, u"19x813");  // digits only
    d.Type(c::kUser, u"ann");
    d.Click(c::kAdvanced);
    d.Click(c::kSystem);
    d.Click(c::kWindev);
    d.PressEnter();
    EXPECT_TRUE(d.ended());
    EXPECT_EQ(d.result(), c::kOk);
  });
  EXPECT_EQ(rc, 1);
  EXPECT_EQ(Stored(u"Sales", u"Driver"), u"Kestrion");
  EXPECT_EQ(Stored(u"Sales", u"Server"), u"db.example");
  EXPECT_EQ(Stored(u"Sales", u"Port"), u"19813");
  EXPECT_EQ(Stored(u"Sales", u"UID"), u"ann");
  EXPECT_EQ(Stored(u"Sales", u"PWD"), u"<absent>");  // empty: not written
  EXPECT_EQ(Stored(u"Sales", u"CharsEncoding"), u"System");
  EXPECT_EQ(Stored(u"Sales", u"Windev"), u"true");
  EXPECT_EQ(Stored(u"Sales", u"SSL"), u"false");
  EXPECT_EQ(Stored(u"Sales", u"FavouriteImageFormats"), u"<absent>");
  EXPECT_EQ(Stored(u"Sales", u"DSN"), u"<absent>");
  EXPECT_EQ(store.sections[u"Sales"].size(), 15u);  // Driver + 14 keys
}

TEST_F(ConfigurationDialog, WithoutADriverNameTheDescriptionIsWritten) {
  Run(ODBC_ADD_DSN, u"Sales", [](HeadlessDialog& d) { d.PressEnter(); }, u"");
  EXPECT_EQ(Stored(u"Sales", u"Driver"), u"Kestrion v18 Rx ODBC Driver 64-bit");
}

TEST_F(ConfigurationDialog, ValidationStopsAtTheFirstProblemAndKeepsTheDialogOpen) {
  const int rc = Run(ODBC_ADD_DSN, u"", [&](HeadlessDialog& d) {
    d.Type(c::kServer, u"");
    d.PressEnter();  // no name and no server: only the name is reported
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].title, u"Missing parameter.");
    EXPECT_EQ(messages()[0].text, u"Please provide a DSN name.");
    EXPECT_EQ(messages()[0].icon, MessageIcon::Information);
    d.Type(c::kDsn, u"  Sales ");
    d.Click(c::kOk);
    ASSERT_EQ(messages().size(), 2u);
    EXPECT_EQ(messages()[1].text, u"Please provide a server adress.");
    d.Type(c::kServer, u"host");
    d.Type(c::kDsn, u"Bad;Name");
    d.PressEnter();
    ASSERT_EQ(messages().size(), 3u);
    EXPECT_EQ(messages()[2].text, u"You didn't provide a valid DSN.");
    EXPECT_FALSE(d.ended());
    d.Type(c::kDsn, u"Sales");
    d.PressEnter();
    EXPECT_TRUE(d.ended());
  });
  EXPECT_EQ(rc, 1);
  EXPECT_EQ(Stored(u"Sales", u"Server"), u"host");
}

TEST_F(ConfigurationDialog, ConfigureReadsTheStoredValuesAndRenameRemovesTheOldSection) {
  store.sections[u"Old"] = {{u"Driver", u"Kestrion"}, {u"Server", u"\tfar "},
                            {u"Port", u""},           {u"PWD", u"secret"},
                            {u"SSL", u"true"},        {u"FavouriteImageFormats", u".png x .jpg .png"},
                            {u"CharsEncoding", u"System"}};
  store.sections[u"Other"] = {{u"Server", u"keep"}};
  const int rc = Run(ODBC_CONFIG_DSN, u"Old", [&](HeadlessDialog& d) {
    EXPECT_EQ(d.Text(c::kServer), u"\tfar ");  // shown as stored, trimmed when read
    EXPECT_EQ(d.Text(c::kPort), u"19812");     // an empty entry gives the default
    EXPECT_EQ(d.Text(c::kPassword), u"secret");
    EXPECT_TRUE(d.Checked(c::kSsl));
    EXPECT_TRUE(d.Checked(c::kSystem));
    EXPECT_EQ(Entries(d), u"PNG|JPEG|");
    EXPECT_TRUE(d.Checked(c::kFirstImageFormat + 3) && d.Checked(c::kFirstImageFormat + 2));
    d.Type(c::kDsn, u"New");
    d.Type(c::kPassword, u"");
    d.PressEnter();
  });
  EXPECT_EQ(rc, 1);
  EXPECT_EQ(store.sections.count(u"Old"), 0u);
  EXPECT_EQ(Stored(u"New", u"Server"), u"far");
  EXPECT_EQ(Stored(u"New", u"PWD"), u"<absent>");
  EXPECT_EQ(Stored(u"New", u"FavouriteImageFormats"), u".png .jpg");
  EXPECT_EQ(Stored(u"Other", u"Server"), u"keep");
}

TEST_F(ConfigurationDialog, ImageFormatListAddsRemovesAndMoves) {
  Run(ODBC_ADD_DSN, u"Pics", [&](HeadlessDialog& d) {
    d.Click(c::kAdvanced);
    d.Click(c::kFirstImageFormat + 3);  // PNG
    d.Click(c::kFirstImageFormat + 2);  // JPEG
    EXPECT_EQ(Entries(d), u"PNG|JPEG|");
    EXPECT_TRUE(d.Enabled(c::kImageList));
    EXPECT_TRUE(d.Visible(c::kImageUpDown));
    EXPECT_EQ(ReadControlValue(d, c::kImageList), u".png .jpg");
    // Nothing selected: the arrows do nothing; moving past the ends neither.
    d.Spin(c::kImageUpDown, -1);
    EXPECT_EQ(Entries(d), u"PNG|JPEG|");
    d.SelectEntry(c::kImageList, 0);
    d.Spin(c::kImageUpDown, -1);
    EXPECT_EQ(Entries(d), u"PNG|JPEG|");
    d.SelectEntry(c::kImageList, 1);
    d.Spin(c::kImageUpDown, -1);  // JPEG up
    EXPECT_EQ(Entries(d), u"JPEG|PNG|");
    EXPECT_EQ(d.ListSelection(c::kImageList), 0);
    d.LeaveList(c::kImageList);
    EXPECT_EQ(d.ListSelection(c::kImageList), -1);
    d.PressEnter();
  });
  EXPECT_EQ(Stored(u"Pics", u"FavouriteImageFormats"), u".jpg .png");

  Run(ODBC_CONFIG_DSN, u"Pics", [&](HeadlessDialog& d) {
    d.Click(c::kAdvanced);
    d.Click(c::kFirstImageFormat + 3);
    d.Click(c::kFirstImageFormat + 2);
    EXPECT_EQ(Entries(d), u"Any format||As it was|stored|");
    EXPECT_FALSE(d.Enabled(c::kImageList));
    EXPECT_FALSE(d.Visible(c::kImageUpDown));
    d.PressEnter();
  });
  EXPECT_EQ(Stored(u"Pics", u"FavouriteImageFormats"), u"<absent>");
}

TEST_F(ConfigurationDialog, EncodingRadioPairStaysExclusive) {
  Run(ODBC_ADD_DSN, u"Enc", [&](HeadlessDialog& d) {
    d.Click(c::kAdvanced);
    d.Click(c::kSystem);
    EXPECT_TRUE(d.Checked(c::kSystem));
    EXPECT_FALSE(d.Checked(c::kUtf8));
    d.Click(c::kUtf8);
    EXPECT_TRUE(d.Checked(c::kUtf8));
    EXPECT_FALSE(d.Checked(c::kSystem));
    d.PressEnter();
  });
  EXPECT_EQ(Stored(u"Enc", u"CharsEncoding"), u"UTF-8");
}

TEST_F(ConfigurationDialog, CancelEscapeAndCloseWriteNothing) {
  store.sections[u"Keep"] = {{u"Driver", u"Kestrion"}, {u"Server", u"a"}};
  for (auto leave : {+[](HeadlessDialog& d) { d.Click(c::kCancel); },
                     +[](HeadlessDialog& d) { d.PressEscape(); },
                     +[](HeadlessDialog& d) { d.CloseWindow(); }}) {
    const int rc = Run(ODBC_CONFIG_DSN, u"Keep", [&](HeadlessDialog& d) {
      d.Type(c::kServer, u"changed");
      leave(d);
      EXPECT_TRUE(d.ended());
    });
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(Stored(u"Keep", u"Server"), u"a");
  }
}

TEST_F(ConfigurationDialog, AFailedWriteRemovesTheDataSourceAndKeepsTheDialogOpen) {
  store.fail_write_of_key = u"QueryTimeout";
  bool open_after = false;
  const int rc = Run(ODBC_ADD_DSN, u"Half", [&](HeadlessDialog& d) {
    d.PressEnter();
    open_after = !d.ended();
    d.PressEscape();
  });
  EXPECT_TRUE(open_after);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(store.sections.count(u"Half"), 0u);
  ASSERT_EQ(messages().size(), 1u);
  EXPECT_EQ(messages()[0].text, u"Can't write the odbc.ini file");

  // A data source section that cannot be created is not reported as written.
  store.fail_write_of_key.clear();
  store.fail_data_source_write = true;
  EXPECT_EQ(Run(ODBC_ADD_DSN, u"Half", [](HeadlessDialog& d) { d.PressEnter(); }), 0);
  EXPECT_EQ(messages().back().text, u"Can't write the odbc.ini file");
}

TEST_F(ConfigurationDialog, RemoveNeedsNoDialogAndUnknownRequestsFail) {
  store.sections[u"Sales"] = {{u"Driver", u"Kestrion"}};
  EXPECT_EQ(Run(ODBC_REMOVE_DSN, u"Sales", {}), 1);
  EXPECT_EQ(toolkit.dialogs_shown(), 0);
  EXPECT_TRUE(store.sections.empty());
  EXPECT_EQ(Run(99, u"Sales", {}), 0);
  ASSERT_EQ(store.errors.size(), 1u);
  EXPECT_EQ(store.errors[0].first, ODBC_ERROR_INVALID_REQUEST_TYPE);
}

TEST_F(ConfigurationDialog, WithoutADisplayAddFailsAtOnceNamingTheCommand) {
  kestrion::UseToolkit(nullptr);
  const char* display = std::getenv("DISPLAY");
  const std::string saved = display ? display : "";
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  EXPECT_EQ(Run(ODBC_ADD_DSN, u"Sales", {}), 0);
  if (display) setenv("DISPLAY", saved.c_str(), 1);
  ASSERT_EQ(store.errors.size(), 1u);
  EXPECT_EQ(store.errors[0].first, ODBC_ERROR_REQUEST_FAILED);
  const std::string text = corvane::VString(store.errors[0].second).ToUtf8();
  EXPECT_NE(text.find("no display"), std::string::npos) << text;
  EXPECT_NE(text.find("kestrion-odbc-dsn"), std::string::npos) << text;
  EXPECT_TRUE(store.sections.empty());
}

TEST_F(ConfigurationDialog, ASecondDialogWhileOneIsOpenIsRefused) {
  int inner = -1;
  const int outer = Run(ODBC_ADD_DSN, u"Outer", [&](HeadlessDialog& d) {
    // Another thread of the process, say, asks for a dialog meanwhile.
    std::u16string attributes = u"DSN=Inner";
    attributes.push_back(0);
    inner = ConfigureDataSource(nullptr, ODBC_ADD_DSN, nullptr,
                                reinterpret_cast<const SQLWCHAR*>(attributes.c_str()));
    d.PressEnter();
  });
  EXPECT_EQ(inner, 0);
  EXPECT_EQ(outer, 1);
  EXPECT_EQ(toolkit.dialogs_shown(), 1);
  ASSERT_EQ(store.errors.size(), 1u);
  EXPECT_NE(corvane::VString(store.errors[0].second).ToUtf8().find("another dialog"),
            std::string::npos);
  EXPECT_EQ(Stored(u"Outer", u"Server"), u"localhost");
  EXPECT_EQ(store.sections.count(u"Inner"), 0u);
}

TEST(DataSourceName, FirstAttributeOnly) {
  auto name = [](std::u16string text) {
    text.push_back(0);
    text.push_back(0);
    return std::u16string(DataSourceNameOf(reinterpret_cast<const SQLWCHAR*>(text.c_str())));
  };
  EXPECT_EQ(name(u"dsn=Sales;x=y"), u"Sales");
  EXPECT_EQ(name(u"Description=a;DSN=Sales"), u"Sales");
  EXPECT_EQ(name(u"Server=a"), u"");
  std::u16string second = u"Server=a";
  second.push_back(0);
  second += u"DSN=Later";
  EXPECT_EQ(name(second), u"");
}

}  // namespace
