#include "protocol/settings.h"

#include <vector>

namespace kestrion {

using corvane::VString;

namespace {

const std::array<SettingKey, kSettingCount> kKeys = {{
    {u"DSN", u""},
    {u"Description", u"Kestrion 64 bits ODBC Datasource"},
    {u"Server", u"localhost"},
    {u"Port", u"19812"},
    {u"UID", u""},
    {u"PWD", u""},
    {u"SSL", u"false"},
    {u"PhysicalConnectionTimeout", u"30"},
    {u"LoginTimeout", u"30"},
    {u"QueryTimeout", u"240"},
    {u"DefaultPageSize", u"100"},
    {u"FavouriteImageFormats", u""},
    {u"NetworkCacheSize", u"128"},
    {u"CharsEncoding", u"UTF-8"},
    {u"OpenQuery", u"false"},
    {u"MSAccess", u"false"},
    {u"Windev", u"false"},
    // No defaults: absent unless given, and then left out of the completed
    // connection string.
    {u"TLSVerify", u""},
    {u"TLSCAFile", u""},
}};

std::u16string_view TrimBlanks(std::u16string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && (s[b] == u' ' || s[b] == u'\t')) ++b;
  while (e > b && (s[e - 1] == u' ' || s[e - 1] == u'\t')) --e;
  return s.substr(b, e - b);
}

const VString kEmpty;

}  // namespace

const std::array<SettingKey, kSettingCount>& SettingKeys() { return kKeys; }
const SettingKey& KeyOf(Setting slot) { return kKeys[static_cast<int>(slot)]; }

const VString& Settings::Text(Setting s) const {
  const auto& v = (*this)[s];
  return v ? *v : kEmpty;
}

std::optional<VString> ConnectionStringValue(std::u16string_view key,
                                             std::u16string_view connection_string) {
  std::size_t pos = 0;
  while (pos <= connection_string.size()) {
    std::size_t end = connection_string.find(u';', pos);
    if (end == std::u16string_view::npos) end = connection_string.size();
    std::u16string_view item = connection_string.substr(pos, end - pos);
    pos = end + 1;

    // The key is the text before the first "=", the value the text between
    // the first and the second "=" (a value is cut at its own "=").
    std::size_t eq = item.find(u'=');
    std::u16string_view item_key = TrimBlanks(item.substr(0, eq));
    if (item_key.empty() || !VString::EqualsFolded(item_key, key)) continue;
    std::u16string_view value;
    if (eq != std::u16string_view::npos) {
      std::u16string_view rest = item.substr(eq + 1);
      value = TrimBlanks(rest.substr(0, rest.find(u'=')));
    }
    if (!value.empty() && value.front() == u'{') {
      value = value.size() >= 2 ? TrimBlanks(value.substr(1, value.size() - 2))
                                : std::u16string_view{};
    }
    return VString(value);
  }
  return std::nullopt;
}

Settings GatherSettings(std::u16string_view connection_string, const DataSourceReader& read_dsn) {
  Settings settings;
  auto dsn = ConnectionStringValue(KeyOf(Setting::DSN).name, connection_string);
  if (dsn && *dsn != u"*") {
    settings[Setting::DSN] = *dsn;
    for (std::size_t i = 1; i < kSettingCount; ++i) {
      if (read_dsn) settings.slots[i] = read_dsn(*dsn, kKeys[i].name, kKeys[i].default_value);
    }
  }

  for (std::size_t i = 1; i < kSettingCount; ++i) {
    auto value = ConnectionStringValue(kKeys[i].name, connection_string);
    if (!value || *value == u"*") continue;
    // A user name from the connection string never pairs with a password
    // from the data source.
    if (static_cast<Setting>(i) == Setting::UID) settings[Setting::PWD].reset();
    settings.slots[i] = std::move(*value);
  }

  for (std::size_t i = 1; i < kSettingCount; ++i) {
    if (settings.slots[i] || kKeys[i].default_value.empty()) continue;
    settings.slots[i] = VString(kKeys[i].default_value);
  }
  return settings;
}

VString ComposeConnectionString(const Settings& settings, std::ptrdiff_t buffer_chars) {
  VString text, result;
  text.reserve(256);
  for (std::size_t i = 0; i < kSettingCount; ++i) {
    if (static_cast<Setting>(i) == Setting::Description) {
      text += u";DRIVER={";
      text += kDriverDescription;
      text += u"};";
    } else if (settings.slots[i] && !settings.slots[i]->empty()) {
      if (!text.empty()) text += u';';
      text += kKeys[i].name;
      text += u'=';
      text += *settings.slots[i];
    }
    if (buffer_chars < 201 || static_cast<std::ptrdiff_t>(text.size()) < buffer_chars - 1) {
      result = text;
    }
  }
  return result;
}

bool IsTrueSetting(const std::optional<VString>& value) {
  return value && VString::EqualsFolded(*value, u"true");
}

}  // namespace kestrion
