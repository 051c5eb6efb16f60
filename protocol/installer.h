// The ODBC installer library (unixODBC's libodbcinst.so.2), loaded on first
// use and kept for the life of the process. Its profile functions honour
// ODBCINI and ODBCSYSINI.
#pragma once

#include <optional>
#include <string_view>

#include "toolbox/vstring.h"

namespace kestrion {

// The file name of the installer library.
inline constexpr const char* kInstallerLibrary = "libodbcinst.so.2";

// SQLGetPrivateProfileStringW of the installer library: the value of `key` in
// `section` of `file`, or `default_value` when missing. Answers the count the
// library returned (0 when the library or the function is not available, and
// then `out` is untouched).
int GetPrivateProfileString(std::u16string_view section, std::u16string_view key,
                            std::u16string_view default_value, corvane::VString& out,
                            std::u16string_view file = u"odbc.ini");

// Reads one key of a data source from "odbc.ini": spaces and tabs trimmed,
// the default when the entry is missing or empty; nothing when the result is
// empty.
std::optional<corvane::VString> ReadDataSourceValue(std::u16string_view dsn,
                                                    std::u16string_view key,
                                                    std::u16string_view default_value);

// Resolves a function of the installer library by name; null (after telling
// the user through a message box) when the library or the function is missing.
void* InstallerFunction(const char* name);

}  // namespace kestrion
