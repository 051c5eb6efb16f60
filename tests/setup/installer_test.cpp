// Setup through unixODBC's installer library and odbc.ini files: ConfigDSNW's
// writes, the command-line tool, and the driver library linking no toolkit.
#include <odbcinst.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>
#include <sys/wait.h>

#include "setup/config_dsn.h"
#include "setup/dialog_templates.h"
#include "setup/dialog_toolkit.h"
#include "setup/headless_dialog.h"
#include "tests/support/odbc_config.h"

namespace {

using namespace kestrion;
namespace c = kestrion::control;

std::string Slurp(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Runs a shell command; its standard output and error, and its exit status.
std::string Shell(const std::string& command, int* status) {
  std::string out;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return out;
  std::array<char, 512> buffer{};
  while (fgets(buffer.data(), buffer.size(), pipe)) out += buffer.data();
  const int rc = pclose(pipe);
  *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  return out;
}

const std::string kTool = KESTRION_BINARY_DIR "/bin/kestrion-odbc-dsn";

TEST(InstallerSetup, ConfigDsnWritesOdbcIniWithTheInstallersDriverNameAndRenames) {
  kestrion_test::PrivateOdbcConfig config;
  HeadlessToolkit toolkit;
  UseToolkit(&toolkit);
  auto run = [&](int request, std::u16string name, HeadlessToolkit::Script script) {
    toolkit.set_script(std::move(script));
    std::u16string attributes = u"DSN=" + name;
    attributes.push_back(0);
    return ConfigureDataSource(nullptr, request, reinterpret_cast<const SQLWCHAR*>(u"Kestrion"),
                               reinterpret_cast<const SQLWCHAR*>(attributes.c_str()));
  };
  EXPECT_EQ(run(ODBC_ADD_DSN, u"Sales", [](HeadlessDialog& d) {
              d.Type(c::kServer, u"db1");
              d.Type(c::kUser, u"ann");
              d.PressEnter();
            }),
            1);
  std::string ini = Slurp(config.odbc_ini());
  EXPECT_NE(ini.find("[Sales]"), std::string::npos) << ini;
  EXPECT_NE(ini.find("Driver=Kestrion\n"), std::string::npos) << ini;
  EXPECT_NE(ini.find("Server=db1"), std::string::npos) << ini;
  EXPECT_EQ(ini.find("PWD"), std::string::npos) << ini;

  EXPECT_EQ(run(ODBC_CONFIG_DSN, u"Sales", [](HeadlessDialog& d) {
              EXPECT_EQ(d.Text(c::kServer), u"db1");
              d.Type(c::kDsn, u"Renamed");
              d.PressEnter();
            }),
            1);
  ini = Slurp(config.odbc_ini());
  EXPECT_EQ(ini.find("[Sales]"), std::string::npos) << ini;
  EXPECT_NE(ini.find("[Renamed]"), std::string::npos) << ini;

  EXPECT_EQ(run(ODBC_ADD_DSN, u"Other", [](HeadlessDialog& d) { d.PressEscape(); }), 0);
  EXPECT_EQ(run(ODBC_REMOVE_DSN, u"Renamed", {}), 1);
  ini = Slurp(config.odbc_ini());
  EXPECT_EQ(ini.find("[Renamed]"), std::string::npos) << ini;
  EXPECT_EQ(ini.find("[Other]"), std::string::npos) << ini;
  UseToolkit(nullptr);
}

TEST(CommandLineTool, AddsShowsConfiguresTestsAndRemoves) {
  kestrion_test::PrivateOdbcConfig config;  // the tool inherits ODBCSYSINI and ODBCINI
  int status = -1;
  std::string out = Shell(kTool + " add Sales Server=127.0.0.1 uid=ann 'FavouriteImageFormats=.png .gif'", &status);
  EXPECT_EQ(status, 0) << out;
  std::string ini = Slurp(config.odbc_ini());
  EXPECT_NE(ini.find("Driver=Kestrion"), std::string::npos) << ini;
  EXPECT_NE(ini.find("UID=ann"), std::string::npos) << ini;
  EXPECT_NE(ini.find("FavouriteImageFormats=.png .gif"), std::string::npos) << ini;

  out = Shell(kTool + " add Sales", &status);
  EXPECT_EQ(status, 1) << out;  // exists already
  out = Shell(kTool + " configure Sales Server=", &status);
  EXPECT_EQ(status, 1);
  EXPECT_NE(out.find("Missing parameter.: Please provide a server adress."), std::string::npos) << out;
  out = Shell(kTool + " configure Sales Bogus=1", &status);
  EXPECT_EQ(status, 2) << out;
  out = Shell(kTool + " add 'Bad;Name'", &status);
  EXPECT_EQ(status, 1);
  EXPECT_NE(out.find("You didn't provide a valid DSN."), std::string::npos) << out;

  out = Shell(kTool + " configure Sales DSN=Renamed PWD=secret", &status);
  EXPECT_EQ(status, 0) << out;
  out = Shell(kTool + " show Renamed", &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_NE(out.find("DSN=Renamed\n"), std::string::npos) << out;
  EXPECT_NE(out.find("Server=127.0.0.1\n"), std::string::npos) << out;
  EXPECT_NE(out.find("PWD=********\n"), std::string::npos) << out;
  EXPECT_NE(out.find("QueryTimeout=240\n"), std::string::npos) << out;
  EXPECT_EQ(Shell(kTool + " show Sales", &status).empty(), false);
  EXPECT_EQ(status, 1);

  // Nothing listens on port 1 of the loopback address.
  out = Shell(kTool + " test Renamed Port=1 PhysicalConnectionTimeout=2", &status);
  EXPECT_EQ(status, 1);
  EXPECT_NE(out.find("FAILED"), std::string::npos) << out;
  EXPECT_NE(out.find("[08001]"), std::string::npos) << out;

  out = Shell(kTool + " remove Renamed", &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_EQ(Slurp(config.odbc_ini()).find("[Renamed]"), std::string::npos);
}

TEST(DialogModule, TheDriverLinksNoToolkitAndTheModuleIsBesideIt) {
  int status = -1;
  const std::string needed = Shell("readelf -d '" KESTRION_DRIVER_PATH "'", &status);
  ASSERT_EQ(status, 0) << needed;
  EXPECT_NE(needed.find("NEEDED"), std::string::npos);
  for (const char* toolkit : {"gtk", "gdk", "glib", "gobject", "X11", "wayland"}) {
    EXPECT_EQ(needed.find(toolkit), std::string::npos) << toolkit << " in\n" << needed;
  }
  const std::string module = KESTRION_BINARY_DIR "/lib/" + std::string(kGtkModuleName);
  const std::string module_needed = Shell("readelf -d '" + module + "'", &status);
  ASSERT_EQ(status, 0) << module_needed;
  EXPECT_NE(module_needed.find("libgtk-3"), std::string::npos) << module_needed;
  const std::string symbols = Shell("nm -D --defined-only '" + module + "'", &status);
  EXPECT_NE(symbols.find("kestrion_dialog_toolkit"), std::string::npos) << symbols;
}

}  // namespace
