// The listening server: accepts clients and runs each on its own thread with
// its own session and SQLite connection.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "server/cancel_registry.h"
#include "server/options.h"
#include "server/tls_context.h"

namespace kestrion::server {

class ClientLink;

class Server {
 public:
  explicit Server(ServerOptions options);
  ~Server();

  // Opens the database (and loads the sample), sets up TLS and listens.
  bool Start(std::string& error);
  int port() const { return port_; }
  // Accepts clients until Stop(); then waits for every client thread.
  void Run();
  // From any thread or a signal-handling thread.
  void Stop();

 private:
  void Serve(int fd, int number);

  ServerOptions options_;
  std::string database_path_;
  bool temporary_database_ = false;
  TlsContext tls_;
  CancelRegistry cancels_;
  int listen_fd_ = -1;
  int wake_pipe_[2] = {-1, -1};
  int port_ = 0;
  std::atomic<bool> stopping_{false};

  std::mutex mutex_;
  std::condition_variable idle_;
  std::set<ClientLink*> clients_;
  int active_ = 0;
};

}  // namespace kestrion::server
