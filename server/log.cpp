#include "server/log.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <string>

namespace kestrion::server {

namespace {
std::atomic<int> g_level{static_cast<int>(LogLevel::kInfo)};
std::mutex g_mutex;
}  // namespace

void SetLogLevel(LogLevel level) { g_level = static_cast<int>(level); }

bool LogEnabled(LogLevel level) { return static_cast<int>(level) <= g_level.load(std::memory_order_relaxed); }

bool ParseLogLevel(std::string_view t, LogLevel& out) {
  if (t == "error") out = LogLevel::kError;
  else if (t == "warning" || t == "warn") out = LogLevel::kWarning;
  else if (t == "info") out = LogLevel::kInfo;
  else if (t == "debug") out = LogLevel::kDebug;
  else return false;
  return true;
}

void Log(LogLevel level, std::string_view message) {
  if (!LogEnabled(level)) return;
  static const char* const kNames[] = {"error", "warning", "info", "debug"};
  auto now = std::chrono::system_clock::now();
  std::time_t t = std::chrono::system_clock::to_time_t(now);
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm tm{};
  gmtime_r(&t, &tm);
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d.%03d", tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(ms));
  std::string line;
  line.reserve(message.size() + 32);
  line += stamp;
  line += ' ';
  line += kNames[static_cast<int>(level)];
  line += ": ";
  line += message;
  line += '\n';
  std::lock_guard lock(g_mutex);
  std::fwrite(line.data(), 1, line.size(), stderr);
}

}  // namespace kestrion::server
