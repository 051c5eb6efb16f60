// Connection strings and data source values: gathering the settings record
// from a data source (whose odbc.ini values come from the input) and a
// connection string, then composing the completed connection string for
// buffers of several sizes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "fuzz/support/fuzz_input.h"
#include "protocol/settings.h"
#include "toolbox/vstring.h"

using corvane::VString;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kestrion_fuzz::FuzzInput input(data, size);
  // Input: the connection string, a zero byte, then one value per key of the
  // data source, separated by line feeds (as odbc.ini would give them).
  const VString connection_string = VString::FromUtf8(input.Until('\0'));
  std::vector<VString> values;
  while (input.remaining() > 0) values.push_back(VString::FromUtf8(input.Until('\n')));

  auto reader = [&](std::u16string_view, std::u16string_view key,
                    std::u16string_view default_value) -> std::optional<VString> {
    const auto& keys = kestrion::SettingKeys();
    for (std::size_t i = 0; i < keys.size(); ++i) {
      if (keys[i].name != key) continue;
      if (i < values.size() && !values[i].empty()) return values[i];
      if (default_value.empty()) return std::nullopt;
      return VString(default_value);
    }
    return std::nullopt;
  };
  kestrion::Settings settings = kestrion::GatherSettings(connection_string, reader);
  for (std::ptrdiff_t chars : {0, 1, 50, 200, 201, 1000, 40000}) {
    VString out = kestrion::ComposeConnectionString(settings, chars);
    if (chars > 200 && out.size() >= static_cast<std::size_t>(chars)) std::abort();
  }
  kestrion::IsTrueSetting(settings[kestrion::Setting::SSL]);
  for (const auto& key : kestrion::SettingKeys())
    kestrion::ConnectionStringValue(key.name, connection_string);
  return 0;
}
