// Starts the development server (kestrion-server) for a test on a free
// loopback port and stops it again. The binary is KESTRION_SERVER_PATH, or
// the environment variable of the same name when set.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace kestrion_test {

class DevServer {
 public:
  // Runs kestrion-server --listen 127.0.0.1:0 --port-file <tmp> plus `extra`
  // (for example {"--sample"}, {"--user", "ann:secret"}, {"--tls-self-signed"})
  // and waits until it listens. Check ok() afterwards.
  explicit DevServer(std::vector<std::string> extra = {});
  // Stops the server (SIGTERM, then SIGKILL after 10 s), reaps it and removes
  // its temporary files.
  ~DevServer();
  DevServer(const DevServer&) = delete;
  DevServer& operator=(const DevServer&) = delete;

  bool ok() const { return port_ > 0; }
  int port() const { return port_; }
  pid_t pid() const { return pid_; }
  // Why the start failed, with the server's own output when there is some.
  const std::string& error() const { return error_; }
  // The server's standard error (log lines).
  std::string Log() const;

  // Sends SIGTERM and waits for the exit; returns the exit status as
  // waitpid gives it, or -1 when it did not stop within `timeout_ms`.
  int Stop(int timeout_ms = 10000);
  // Kills the server at once (SIGKILL), as a crash or a power cut would.
  void Kill();

 private:
  std::string dir_;
  std::string log_path_;
  pid_t pid_ = -1;
  int port_ = 0;
  std::string error_;
};

}  // namespace kestrion_test
