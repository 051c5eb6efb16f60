#include "fuzz/support/fuzz_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

namespace kestrion_fuzz {

namespace {
void WriteAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

// Reads until the peer closes or stays silent for 5 s.
void Drain(int fd) {
  char buffer[4096];
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 5000) <= 0) return;
    if (::recv(fd, buffer, sizeof buffer, 0) <= 0) return;
  }
}
}  // namespace

FuzzServer::FuzzServer() {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      ::listen(listener_, 16) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
    std::abort();
  port_ = ntohs(a.sin_port);
  thread_ = std::thread([this] { Run(); });
}

FuzzServer::~FuzzServer() {
  ::shutdown(listener_, SHUT_RDWR);
  thread_.join();
  ::close(listener_);
}

void FuzzServer::Serve(std::int32_t connection, std::string_view replies) {
  const std::string prefix = std::to_string(connection) + ".";
  std::string bytes = prefix + "0 OK\r\n\r\n";
  int request = 1;
  for (std::size_t i = 0; i < replies.size(); ++i) {
    if (replies[i] == '@' && i + 1 < replies.size() && replies[i + 1] == '@') {
      bytes += prefix + std::to_string(request++);
      ++i;
    } else {
      bytes.push_back(replies[i]);
    }
  }
  std::lock_guard<std::mutex> lock(mutex_);
  next_ = std::move(bytes);
}

void FuzzServer::Run() {
  for (;;) {
    int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return;
    std::string bytes;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      bytes.swap(next_);
    }
    WriteAll(fd, bytes);
    ::shutdown(fd, SHUT_WR);
    Drain(fd);
    ::close(fd);
  }
}

}  // namespace kestrion_fuzz
