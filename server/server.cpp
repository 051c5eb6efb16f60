#include "server/server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>

#include "server/client_link.h"
#include "server/database_setup.h"
#include "server/log.h"
#include "server/session.h"

namespace kestrion::server {

Server::Server(ServerOptions options) : options_(std::move(options)) {}

Server::~Server() {
  if (listen_fd_ >= 0) ::close(listen_fd_);
  for (int fd : wake_pipe_)
    if (fd >= 0) ::close(fd);
  if (temporary_database_) RemoveDatabaseFiles(database_path_);
}

bool Server::Start(std::string& error) {
  if (options_.database.empty()) {
    if (!CreateTemporaryDatabase(database_path_, error)) return false;
    temporary_database_ = true;
  } else {
    database_path_ = options_.database;
  }
  if (!InitialiseDatabase(database_path_, options_.sample, error)) {
    error = "database " + database_path_ + ": " + error;
    return false;
  }
  if (options_.tls_self_signed && !tls_.CreateSelfSigned(error)) return false;
  if (!options_.tls_cert.empty() && !tls_.LoadFiles(options_.tls_cert, options_.tls_key, error)) return false;

  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  std::string service = std::to_string(options_.listen_port);
  int rc = getaddrinfo(options_.listen_host.c_str(), service.c_str(), &hints, &found);
  if (rc != 0) {
    error = "cannot resolve " + options_.listen_host + ": " + gai_strerror(rc);
    return false;
  }
  for (addrinfo* a = found; a && listen_fd_ < 0; a = a->ai_next) {
    int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) continue;
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (::bind(fd, a->ai_addr, a->ai_addrlen) == 0 && ::listen(fd, 128) == 0) {
      listen_fd_ = fd;
    } else {
      error = std::string("cannot listen on ") + options_.listen_host + ":" + service + ": " + std::strerror(errno);
      ::close(fd);
    }
  }
  freeaddrinfo(found);
  if (listen_fd_ < 0) {
    if (error.empty()) error = "cannot listen on " + options_.listen_host;
    return false;
  }
  sockaddr_storage bound{};
  socklen_t len = sizeof bound;
  getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&bound), &len);
  port_ = ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                                            : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
  if (pipe2(wake_pipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
    error = "cannot create the wake-up pipe";
    return false;
  }
  if (!options_.port_file.empty()) {
    // Written whole under another name, then renamed, so a reader never sees half.
    std::string tmp = options_.port_file + ".tmp";
    {
      std::ofstream f(tmp, std::ios::trunc);
      f << port_ << "\n";
      if (!f) {
        error = "cannot write " + tmp;
        return false;
      }
    }
    if (std::rename(tmp.c_str(), options_.port_file.c_str()) != 0) {
      error = "cannot write " + options_.port_file;
      return false;
    }
  }
  Log(LogLevel::kInfo, "listening on " + options_.listen_host + ":" + std::to_string(port_) +
                           (options_.tls() ? " (TLS)" : "") + ", database " + database_path_);
  return true;
}

void Server::Stop() {
  stopping_ = true;
  if (wake_pipe_[1] >= 0) {
    char c = 1;
    [[maybe_unused]] auto n = ::write(wake_pipe_[1], &c, 1);
  }
}

void Server::Run() {
  int number = 0;
  while (!stopping_) {
    pollfd p[2] = {{listen_fd_, POLLIN, 0}, {wake_pipe_[0], POLLIN, 0}};
    int r = ::poll(p, 2, -1);
    if (r < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (stopping_ || (p[1].revents & POLLIN)) break;
    if (!(p[0].revents & POLLIN)) continue;
    int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
      // Out of descriptors or memory: wait a little instead of spinning.
      if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      continue;
    }
    {
      std::lock_guard lock(mutex_);
      if (active_ >= options_.max_connections) {
        Log(LogLevel::kWarning, "too many clients; connection refused");
        ::close(fd);
        continue;
      }
      ++active_;
    }
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    // A vanished client is found by keep-alive even without --idle-timeout.
    setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &one, sizeof one);
    timeval send_timeout{60, 0};
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &send_timeout, sizeof send_timeout);
    std::thread(&Server::Serve, this, fd, ++number).detach();
  }
  Log(LogLevel::kInfo, "stopping");
  std::unique_lock lock(mutex_);
  for (ClientLink* c : clients_) c->Shutdown();
  idle_.wait(lock, [this] { return active_ == 0; });
}

void Server::Serve(int fd, int number) {
  {
    ClientLink link(fd);
    {
      std::lock_guard lock(mutex_);
      clients_.insert(&link);
      if (stopping_) link.Shutdown();
    }
    Log(LogLevel::kDebug, "client " + std::to_string(number) + ": connected");
    std::string error;
    if (options_.tls() && !link.AcceptTls(tls_.get(), 30000, error)) {
      Log(LogLevel::kInfo, "client " + std::to_string(number) + ": " + error);
    } else {
      Session session(link, options_, database_path_, number, cancels_);
      session.Run();
    }
    Log(LogLevel::kDebug, "client " + std::to_string(number) + ": disconnected");
    std::lock_guard lock(mutex_);
    clients_.erase(&link);
  }
  std::lock_guard lock(mutex_);
  --active_;
  idle_.notify_all();
}

}  // namespace kestrion::server
