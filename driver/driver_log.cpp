#include "driver/driver_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <set>

namespace kestrion {

std::atomic<bool> g_call_logging{false};

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

int OpenForAppend(const std::string& path) {
  return ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
}

// "2026-01-31T23:59:59.123456Z"
void AppendTimestamp(std::string& out) {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm utc{};
  gmtime_r(&now.tv_sec, &utc);
  char text[40];
  const int n = std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%06ldZ",
                              utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour,
                              utc.tm_min, utc.tm_sec, now.tv_nsec / 1000);
  if (n > 0) out.append(text, static_cast<std::size_t>(n));
}

std::mutex g_logs_mutex;

}  // namespace

std::optional<LogLevel> ParseLogLevel(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  for (LogLevel level : {LogLevel::Off, LogLevel::Error, LogLevel::Info, LogLevel::Debug}) {
    if (EqualsIgnoringCase(text, LogLevelName(level))) return level;
  }
  return std::nullopt;
}

std::string_view LogLevelName(LogLevel level) {
  switch (level) {
    case LogLevel::Off: return "off";
    case LogLevel::Error: return "error";
    case LogLevel::Info: return "info";
    case LogLevel::Debug: return "debug";
  }
  return "off";
}

std::shared_ptr<DriverLog> DriverLog::ForPath(const std::string& path) {
  static std::map<std::string, std::weak_ptr<DriverLog>> open_logs;
  static std::set<std::string> reported;
  std::lock_guard lock(g_logs_mutex);
  if (auto it = open_logs.find(path); it != open_logs.end()) {
    if (auto log = it->second.lock()) return log;
  }
  const int fd = OpenForAppend(path);
  if (fd < 0) {
    // Said once per path: a log that cannot be written must not stop a connect.
    if (reported.insert(path).second) {
      std::fprintf(stderr, "Kestrion ODBC driver: can't open the log file %s: %s\n", path.c_str(),
                   std::strerror(errno));
    }
    return nullptr;
  }
  std::shared_ptr<DriverLog> log(new DriverLog(path));
  log->fd_ = fd;
  open_logs[path] = log;
  return log;
}

DriverLog::~DriverLog() {
  if (fd_ >= 0) ::close(fd_);
}

bool DriverLog::EnsureOpen() {
  if (fd_ >= 0) {
    // Still the file the path names? A rotation renames or deletes it.
    struct stat by_path {};
    struct stat by_fd {};
    if (::stat(path_.c_str(), &by_path) == 0 && ::fstat(fd_, &by_fd) == 0 &&
        by_path.st_dev == by_fd.st_dev && by_path.st_ino == by_fd.st_ino) {
      return true;
    }
    ::close(fd_);
    fd_ = -1;
  }
  fd_ = OpenForAppend(path_);
  return fd_ >= 0;
}

void DriverLog::Write(std::int32_t connection, std::string_view text) {
  std::string line;
  line.reserve(text.size() + 80);
  AppendTimestamp(line);
  line += " pid ";
  line += std::to_string(::getpid());
  line += " tid ";
  line += std::to_string(::gettid());
  line += " conn ";
  line += connection < 0 ? std::string("-") : std::to_string(connection);
  line += ' ';
  line += text;
  line += '\n';

  std::lock_guard lock(mutex_);
  if (!EnsureOpen()) return;
  // One write per line: with O_APPEND, lines of several processes never mix.
  std::size_t done = 0;
  while (done < line.size()) {
    const ssize_t n = ::write(fd_, line.data() + done, line.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

void NoteLogTarget(const LogTarget& target) {
  if (target.Enabled(LogLevel::Debug)) g_call_logging.store(true, std::memory_order_relaxed);
}

LogTarget LogTargetFromEnvironment(const char* value) {
  LogTarget t;
  if (value == nullptr || *value == '\0') return t;
  const std::string_view text(value);
  const std::size_t colon = text.find(':');
  const auto level =
      colon == std::string_view::npos ? std::nullopt : ParseLogLevel(text.substr(0, colon));
  if (!level || colon + 1 >= text.size()) {
    std::fprintf(stderr,
                 "Kestrion ODBC driver: KESTRION_ODBC_LOG must be LEVEL:PATH with LEVEL one of "
                 "error, info, debug; ignored.\n");
    return t;
  }
  t.level = *level;
  if (t.level != LogLevel::Off) t.file = DriverLog::ForPath(std::string(text.substr(colon + 1)));
  NoteLogTarget(t);
  return t;
}

const LogTarget& ProcessLogTarget() {
  static const LogTarget target = LogTargetFromEnvironment(std::getenv("KESTRION_ODBC_LOG"));
  return target;
}

}  // namespace kestrion
