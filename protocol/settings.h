// Connection settings: the key table, the settings record of one connect,
// connection-string lookup, gathering from data source and connection string,
// and the completed connection string handed back by SQLDriverConnectW.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string_view>

#include "toolbox/vstring.h"

namespace kestrion {

// Slots of the settings record, in key-table order.
enum class Setting : int {
  DSN = 0,
  Description,
  Server,
  Port,
  UID,
  PWD,
  SSL,
  PhysicalConnectionTimeout,
  LoginTimeout,
  QueryTimeout,
  DefaultPageSize,
  FavouriteImageFormats,
  NetworkCacheSize,
  CharsEncoding,
  OpenQuery,
  MSAccess,
  Windev,
  TLSVerify,  // none (default), ca or full: how the server's certificate is checked
  TLSCAFile,  // PEM file of trusted certificates (default: the system's store)
};
inline constexpr std::size_t kSettingCount = 19;

struct SettingKey {
  std::u16string_view name;
  std::u16string_view default_value;  // empty: no default
};

// The key table, in slot order.
const std::array<SettingKey, kSettingCount>& SettingKeys();
const SettingKey& KeyOf(Setting slot);

// The driver's description, written in the DRIVER item of the completed string.
inline constexpr std::u16string_view kDriverDescription = u"Kestrion v18 Rx ODBC Driver 64-bit";

// The settings of one connect: each slot absent, empty or non-empty.
struct Settings {
  std::array<std::optional<corvane::VString>, kSettingCount> slots;

  std::optional<corvane::VString>& operator[](Setting s) { return slots[static_cast<int>(s)]; }
  const std::optional<corvane::VString>& operator[](Setting s) const {
    return slots[static_cast<int>(s)];
  }
  // Present and non-empty.
  bool Given(Setting s) const { return (*this)[s].has_value() && !(*this)[s]->empty(); }
  // The value, or an empty text when absent.
  const corvane::VString& Text(Setting s) const;
};

// The value of `key` in a connection string, or nothing when no item names it.
// Items are split at every ";" and at every "="; keys and values are trimmed
// of spaces and tabs, and a value in braces loses its first and last character.
std::optional<corvane::VString> ConnectionStringValue(std::u16string_view key,
                                                      std::u16string_view connection_string);

// Reads one key of a data source (section, key, default); nothing when the
// result is empty.
using DataSourceReader = std::function<std::optional<corvane::VString>(
    std::u16string_view dsn, std::u16string_view key, std::u16string_view default_value)>;

// Builds the settings record: the data source named by DSN (unless absent or
// "*"), then the connection string's items, then the defaults.
Settings GatherSettings(std::u16string_view connection_string, const DataSourceReader& read_dsn);

// The completed connection string for a caller's buffer of `buffer_chars`
// characters. A buffer of 201 characters or more receives complete items only.
corvane::VString ComposeConnectionString(const Settings& settings, std::ptrdiff_t buffer_chars);

// "true" as a whole value, ignoring case and accents.
bool IsTrueSetting(const std::optional<corvane::VString>& value);

}  // namespace kestrion
