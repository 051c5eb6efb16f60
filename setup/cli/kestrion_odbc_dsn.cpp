// kestrion-odbc-dsn: sets data sources up without a display. It runs the
// configuration dialog's own procedures on a headless dialog, so values are
// checked and written exactly as by the dialog, through the ODBC installer
// library (which honours ODBCINI, ODBCSYSINI and ODBCINSTINI).
//
//   kestrion-odbc-dsn add NAME [KEY=VALUE ...]
//   kestrion-odbc-dsn configure NAME [KEY=VALUE ...]   (DSN=NEWNAME renames)
//   kestrion-odbc-dsn show NAME
//   kestrion-odbc-dsn test NAME [KEY=VALUE ...]
//   kestrion-odbc-dsn remove NAME
#include <odbcinst.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "protocol/installer.h"
#include "protocol/settings.h"
#include "setup/config_dsn.h"
#include "setup/configuration_dialog.h"
#include "setup/control_values.h"
#include "setup/data_source_store.h"
#include "setup/dialog_templates.h"
#include "setup/dialog_toolkit.h"
#include "setup/headless_dialog.h"
#include "setup/setup_state.h"

using namespace kestrion;
using corvane::VString;

namespace {

constexpr const char* kUsage =
    "usage: kestrion-odbc-dsn [--driver NAME] [--system] COMMAND NAME [KEY=VALUE ...]\n"
    "  add NAME [KEY=VALUE ...]        add a data source (KEY is one of the keys below)\n"
    "  configure NAME [KEY=VALUE ...]  change a data source; DSN=NEWNAME renames it\n"
    "  show NAME                       print the data source's values (defaults filled in)\n"
    "  test NAME [KEY=VALUE ...]       connect with the data source's values, as the dialog's Test\n"
    "  remove NAME                     remove the data source\n"
    "  --driver NAME   the driver name written into a new data source (default: the driver\n"
    "                  registered in odbcinst.ini whose library is libkestrionodbc.so)\n"
    "  --system        work on the system data sources instead of the user's\n"
    "keys: DSN Description Server Port UID PWD SSL PhysicalConnectionTimeout LoginTimeout\n"
    "      QueryTimeout DefaultPageSize FavouriteImageFormats NetworkCacheSize CharsEncoding\n"
    "      OpenQuery MSAccess Windev\n";

int Usage(const char* problem = nullptr) {
  if (problem) std::fprintf(stderr, "kestrion-odbc-dsn: %s\n", problem);
  std::fputs(kUsage, stderr);
  return 2;
}

void PrintMessages(const std::vector<ShownMessage>& messages) {
  for (const auto& m : messages) {
    std::fprintf(m.icon == MessageIcon::Error ? stderr : stdout, "%s: %s\n",
                 VString(m.title).ToUtf8().c_str(), VString(m.text).ToUtf8().c_str());
  }
}

// The installed driver whose library is the Kestrion driver, else "Kestrion".
VString InstalledDriverName() {
  using Drivers = int (*)(char16_t*, unsigned short, unsigned short*);
  auto list = reinterpret_cast<Drivers>(InstallerFunction("SQLGetInstalledDriversW"));
  if (list) {
    std::vector<char16_t> names(8192);
    unsigned short used = 0;
    if (list(names.data(), static_cast<unsigned short>(names.size() - 1), &used)) {
      for (std::size_t i = 0; i < names.size() && names[i] != 0;) {
        VString name = VString::FromUnits(&names[i]);
        VString library;
        GetPrivateProfileString(name, u"Driver", u"", library, u"odbcinst.ini");
        if (library.ToUtf8().find("libkestrionodbc.so") != std::string::npos) return name;
        i += name.size() + 1;
      }
    }
  }
  return u"Kestrion";
}

struct Assignment {
  int slot;
  VString value;
};

bool ParseAssignments(int argc, char** argv, int first, std::vector<Assignment>& out) {
  for (int i = first; i < argc; ++i) {
    const char* eq = std::strchr(argv[i], '=');
    if (!eq) {
      std::fprintf(stderr, "kestrion-odbc-dsn: expected KEY=VALUE, got '%s'\n", argv[i]);
      return false;
    }
    const VString key = VString::FromUtf8(std::string_view(argv[i], eq - argv[i]));
    int found = -1;
    for (std::size_t slot = 0; slot < kSettingCount; ++slot) {
      if (VString::EqualsFolded(SettingKeys()[slot].name, key)) found = static_cast<int>(slot);
    }
    if (found < 0) {
      std::fprintf(stderr, "kestrion-odbc-dsn: unknown key '%s'\n", key.ToUtf8().c_str());
      return false;
    }
    out.push_back({found, VString::FromUtf8(eq + 1)});
  }
  return true;
}

bool Exists(const VString& name) { return CurrentStore().Read(name, u"Driver").has_value(); }

}  // namespace

int main(int argc, char** argv) {
  int arg = 1;
  VString driver;
  bool system = false;
  for (; arg < argc && argv[arg][0] == '-'; ++arg) {
    if (std::strcmp(argv[arg], "--driver") == 0 && arg + 1 < argc) {
      driver = VString::FromUtf8(argv[++arg]);
    } else if (std::strcmp(argv[arg], "--system") == 0) {
      system = true;
    } else if (std::strcmp(argv[arg], "--help") == 0 || std::strcmp(argv[arg], "-h") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    } else {
      return Usage("unknown option");
    }
  }
  if (argc - arg < 2) return Usage();
  const std::string command = argv[arg];
  const VString name = VString::FromUtf8(argv[arg + 1]);
  std::vector<Assignment> assignments;
  if (!ParseAssignments(argc, argv, arg + 2, assignments)) return Usage();
  if (name.empty()) return Usage("the data source name is empty");

  using ConfigMode = int (*)(unsigned short);
  if (system) {
    auto set_mode = reinterpret_cast<ConfigMode>(InstallerFunction("SQLSetConfigMode"));
    if (set_mode) set_mode(ODBC_SYSTEM_DSN);
  }

  if (command == "remove") {
    if (!Exists(name)) {
      std::fprintf(stderr, "kestrion-odbc-dsn: no data source '%s'\n", name.ToUtf8().c_str());
      return 1;
    }
    VString attributes = u"DSN=" + name;
    attributes.push_back(0);
    return ConfigureDataSource(nullptr, system ? ODBC_REMOVE_SYS_DSN : ODBC_REMOVE_DSN,
                               nullptr, reinterpret_cast<const SQLWCHAR*>(attributes.c_str()))
               ? 0
               : 1;
  }
  if (command != "add" && command != "configure" && command != "show" && command != "test") {
    return Usage("unknown command");
  }
  // A name the installer refuses (or that ConfigDSNW's attribute string
  // cannot carry) gets the dialog's message.
  if (name.find(u';') != VString::npos || !CurrentStore().Valid(name)) {
    std::fputs("Missing parameter.: You didn't provide a valid DSN.\n", stderr);
    return 1;
  }
  const bool exists = Exists(name);
  if (command == "add" && exists) {
    std::fprintf(stderr, "kestrion-odbc-dsn: data source '%s' exists; use configure\n",
                 name.ToUtf8().c_str());
    return 1;
  }
  if (command != "add" && !exists) {
    std::fprintf(stderr, "kestrion-odbc-dsn: no data source '%s'\n", name.ToUtf8().c_str());
    return 1;
  }

  // The driver name: given, else the one the data source names, else the
  // installed Kestrion driver.
  if (driver.empty() && exists) driver = CurrentStore().Read(name, u"Driver").value_or(VString());
  if (driver.empty()) driver = InstalledDriverName();

  bool done = false;
  HeadlessToolkit toolkit([&](HeadlessDialog& dialog) {
    for (const auto& a : assignments) {
      if (static_cast<std::size_t>(a.slot) < kDialogKeyCount) {
        WriteControlValue(dialog, KeyControls()[a.slot], a.value);
      }
    }
    if (command == "show") {
      for (std::size_t slot = 0; slot < kSettingCount; ++slot) {
        // Keys without a control in the dialog are shown as stored.
        std::optional<VString> value =
            slot < kDialogKeyCount ? ReadControlValue(dialog, KeyControls()[slot])
                                   : CurrentStore().Read(name, SettingKeys()[slot].name);
        if (slot == static_cast<std::size_t>(Setting::PWD) && value && !value->empty()) {
          value = VString(u"********");
        }
        std::printf("%s=%s\n", VString(SettingKeys()[slot].name).ToUtf8().c_str(),
                    value ? value->ToUtf8().c_str() : "");
      }
      done = true;
    } else if (command == "test") {
      dialog.Click(control::kTest);
      done = true;  // the message box tells the outcome (below)
    } else {
      done = dialog.PressEnter() && dialog.ended() && dialog.result() == control::kOk;
    }
    if (!dialog.ended()) dialog.PressEscape();
  });
  UseToolkit(&toolkit);
  VString attributes = u"DSN=" + name;
  attributes.push_back(0);
  ConfigureDataSource(nullptr, system ? ODBC_CONFIG_SYS_DSN : ODBC_CONFIG_DSN,
                      reinterpret_cast<const SQLWCHAR*>(driver.c_str()),
                      reinterpret_cast<const SQLWCHAR*>(attributes.c_str()));
  UseToolkit(nullptr);
  PrintMessages(toolkit.messages());
  if (command == "test") {
    done = !toolkit.messages().empty() && toolkit.messages().back().icon == MessageIcon::Information;
  }
  // Keys the dialog has no control for (TLSVerify, TLSCAFile) are written
  // once the dialog has written the data source.
  if (done && (command == "add" || command == "configure")) {
    VString target = name;
    for (const auto& a : assignments) {
      if (a.slot == 0 && !a.value.empty()) target = a.value;  // a rename
    }
    for (const auto& a : assignments) {
      if (static_cast<std::size_t>(a.slot) >= kDialogKeyCount &&
          !CurrentStore().Write(target, SettingKeys()[static_cast<std::size_t>(a.slot)].name, a.value)) {
        done = false;
      }
    }
  }
  return done ? 0 : 1;
}
