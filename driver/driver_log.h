// The driver log: a text file for support cases, off unless a connection
// names one (LogFile, LogLevel) or the process environment does
// (KESTRION_ODBC_LOG=LEVEL:PATH). A connection without a log holds an empty
// target, and every hook tests it before it formats anything or reads a clock.
//
// A line: UTC timestamp, process id, thread id, connection number, text.
// The file is opened for appending, shared by the connections that name the
// same path, and reopened when it has been rotated away (renamed or deleted).
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace kestrion {

// Off writes nothing; error: failed requests and connects; info: one line per
// request/reply and per connect; debug: also one line per ODBC call.
enum class LogLevel : int { Off = 0, Error = 1, Info = 2, Debug = 3 };

// "off", "error", "info" or "debug", ignoring case; nothing otherwise.
std::optional<LogLevel> ParseLogLevel(std::string_view text);
std::string_view LogLevelName(LogLevel level);

// One open log file.
class DriverLog {
 public:
  // The log for `path`, shared with every other user of the same path; null
  // (after one message on standard error) when the file cannot be opened.
  static std::shared_ptr<DriverLog> ForPath(const std::string& path);

  ~DriverLog();
  DriverLog(const DriverLog&) = delete;
  DriverLog& operator=(const DriverLog&) = delete;

  // Appends one line; `connection` below 0 is written as "-".
  void Write(std::int32_t connection, std::string_view text);
  const std::string& path() const { return path_; }

 private:
  explicit DriverLog(std::string path) : path_(std::move(path)) {}
  // Opens the file when it is not open or was rotated away. Under mutex_.
  bool EnsureOpen();

  const std::string path_;
  std::mutex mutex_;
  int fd_ = -1;
};

// Where one connection's lines go, and from which level on.
struct LogTarget {
  std::shared_ptr<DriverLog> file;
  LogLevel level = LogLevel::Off;

  bool Enabled(LogLevel at) const { return file && level >= at; }
  // Writes when the target takes lines of level `at`.
  void Write(LogLevel at, std::int32_t connection, std::string_view text) const {
    if (Enabled(at)) file->Write(connection, text);
  }
};

// The target named by KESTRION_ODBC_LOG=LEVEL:PATH, read once per process;
// an empty target when the variable is unset or malformed.
const LogTarget& ProcessLogTarget();
// The target a value of KESTRION_ODBC_LOG names.
LogTarget LogTargetFromEnvironment(const char* value);

// Set once any target at debug level exists; the entry guard writes call
// lines only after that.
extern std::atomic<bool> g_call_logging;
void NoteLogTarget(const LogTarget& target);

}  // namespace kestrion
