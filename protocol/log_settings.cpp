#include "protocol/log_settings.h"

#include <optional>

namespace kestrion {

using corvane::VString;

namespace {

constexpr std::u16string_view kLogFileKey = u"LogFile";
constexpr std::u16string_view kLogLevelKey = u"LogLevel";

std::u16string_view Trimmed(std::u16string_view text) {
  while (!text.empty() && (text.front() == u' ' || text.front() == u'\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == u' ' || text.back() == u'\t')) text.remove_suffix(1);
  return text;
}

// A key the driver or the Driver Manager reads from a connection string.
bool IsKnownKey(std::u16string_view key) {
  for (const SettingKey& k : SettingKeys()) {
    if (VString::EqualsFolded(key, k.name)) return true;
  }
  for (std::u16string_view other : {u"DRIVER", u"FILEDSN", u"SAVEFILE", u"LogFile", u"LogLevel"}) {
    if (VString::EqualsFolded(key, other)) return true;
  }
  return false;
}

}  // namespace

LogTarget ChooseLogTarget(std::u16string_view connection_string, const DataSourceReader& read_dsn) {
  const std::optional<VString> dsn = ConnectionStringValue(u"DSN", connection_string);
  const bool has_dsn = dsn && !dsn->empty() && *dsn != u"*";
  auto pick = [&](std::u16string_view key) -> std::optional<VString> {
    std::optional<VString> value = ConnectionStringValue(key, connection_string);
    if (value && !value->empty() && *value != u"*") return value;
    if (has_dsn && read_dsn) return read_dsn(*dsn, key, u"");
    return std::nullopt;
  };
  const std::optional<VString> path = pick(kLogFileKey);
  const std::optional<VString> level_text = pick(kLogLevelKey);
  const LogTarget& process = ProcessLogTarget();
  if (!path && !level_text) return process;

  LogTarget target;
  if (level_text) {
    target.level = ParseLogLevel(level_text->ToUtf8()).value_or(LogLevel::Info);
  } else {
    target.level = LogLevel::Info;
  }
  if (target.level == LogLevel::Off) return target;
  if (path) {
    target.file = DriverLog::ForPath(path->ToUtf8());
  } else {
    // A level alone changes the level of the process's log.
    target.file = process.file;
  }
  NoteLogTarget(target);
  return target;
}

std::string MaskedConnectionString(std::u16string_view connection_string) {
  VString out;
  bool in_password = false;
  std::size_t start = 0;
  while (start <= connection_string.size()) {
    std::size_t end = connection_string.find(u';', start);
    if (end == std::u16string_view::npos) end = connection_string.size();
    const std::u16string_view item = connection_string.substr(start, end - start);
    const std::size_t equals = item.find(u'=');
    const std::u16string_view key =
        Trimmed(equals == std::u16string_view::npos ? std::u16string_view() : item.substr(0, equals));
    if (!key.empty() && VString::EqualsFolded(key, u"PWD")) {
      if (!in_password) {
        if (start > 0) out += u';';
        out += item.substr(0, equals + 1);
        out += u"***";
      }
      in_password = true;
    } else if (in_password && !(equals != std::u16string_view::npos && IsKnownKey(key))) {
      // Still the password: a ";" inside it cut it here.
    } else {
      in_password = false;
      if (start > 0) out += u';';
      out += item;
    }
    start = end + 1;
  }
  return out.ToUtf8();
}

}  // namespace kestrion
