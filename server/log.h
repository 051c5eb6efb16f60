// Server log: one line per event on standard error, filtered by level.
#pragma once

#include <string_view>

namespace kestrion::server {

enum class LogLevel { kError = 0, kWarning = 1, kInfo = 2, kDebug = 3 };

void SetLogLevel(LogLevel level);
bool LogEnabled(LogLevel level);
// Parses "error", "warning" (or "warn"), "info", "debug".
bool ParseLogLevel(std::string_view text, LogLevel& out);
void Log(LogLevel level, std::string_view message);

}  // namespace kestrion::server
