#include "protocol/installer.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <mutex>
#include <string>

#include "setup/message_box.h"

namespace kestrion {

using corvane::VString;

namespace {

constexpr std::u16string_view kInstallerErrorTitle = u"ODBC Installer Error";

// The program's own file name, for the message about a missing function.
std::string ProgramName() {
  char path[4096];
  ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return "(unknown)";
  path[n] = 0;
  return path;
}

void* LoadInstaller() {
  static std::once_flag once;
  static void* library = nullptr;
  std::call_once(once, [] {
    library = ::dlopen(kInstallerLibrary, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
      ShowMessageBox(kInstallerErrorTitle,
                     VString::FromAscii(std::string("The ODBC installer DLL (") + kInstallerLibrary +
                                        ") is not installed on this system."));
    }
  });
  return library;
}

// The installer library's SQLWCHAR is 16-bit, like the driver's.
using GetProfileStringW = int (*)(const char16_t*, const char16_t*, const char16_t*, char16_t*,
                                  int, const char16_t*);

}  // namespace

void* InstallerFunction(const char* name) {
  void* library = LoadInstaller();
  if (!library) return nullptr;
  void* fn = ::dlsym(library, name);
  if (!fn) {
    std::string text = "The program " + ProgramName() +
                       ", or one of its DLLs attempted to call the function " + name +
                       " which is not supported in the loaded ODBC installer DLL (" +
                       kInstallerLibrary + "). Press OK to proceed.";
    ShowMessageBox(kInstallerErrorTitle, VString::FromUtf8(text));
  }
  return fn;
}

int GetPrivateProfileString(std::u16string_view section, std::u16string_view key,
                            std::u16string_view default_value, VString& out,
                            std::u16string_view file) {
  static auto fn = reinterpret_cast<GetProfileStringW>(
      InstallerFunction("SQLGetPrivateProfileStringW"));
  if (!fn) return 0;
  const VString s(section), k(key), d(default_value), f(file);
  char16_t buffer[256] = {};
  int n = fn(s.c_str(), k.c_str(), d.c_str(), buffer, 255, f.c_str());
  if (n > 0) {
    buffer[255] = 0;
    out = VString::FromUnits(buffer);
  }
  return n;
}

std::optional<VString> ReadDataSourceValue(std::u16string_view dsn, std::u16string_view key,
                                           std::u16string_view default_value) {
  VString result(default_value);
  VString text;
  // An empty section name would make the library list the sections instead.
  if (!dsn.empty() && GetPrivateProfileString(dsn, key, default_value, text) > 0 &&
      !text.empty()) {
    result = text.Trimmed();
  }
  if (result.empty()) return std::nullopt;
  return result;
}

}  // namespace kestrion
