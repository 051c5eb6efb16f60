#include "tests/support/fault_proxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <random>

namespace kestrion_test {

namespace {

bool SendAll(int fd, const char* p, std::size_t n) {
  while (n > 0) {
    const ssize_t w = ::send(fd, p, n, MSG_NOSIGNAL);
    if (w <= 0) return false;
    p += w;
    n -= static_cast<std::size_t>(w);
  }
  return true;
}

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// The Body-Length a reply header announces; 0 when it has none.
std::size_t BodyLength(const std::string& header) {
  std::string lower(header);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  const std::size_t at = lower.find("\r\nbody-length:");
  if (at == std::string::npos) return 0;
  return static_cast<std::size_t>(std::strtoull(lower.c_str() + at + 14, nullptr, 10));
}

int ConnectLoopback(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::close(fd);
    return -1;
  }
  const int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return fd;
}

}  // namespace

FaultProxy::FaultProxy(int upstream) : upstream_(upstream) {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = 0;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      ::listen(listener_, 16) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
    return;
  }
  port_ = ntohs(a.sin_port);
  acceptor_ = std::thread([this] { Accept(); });
}

FaultProxy::~FaultProxy() {
  stop_ = true;
  if (listener_ >= 0) ::shutdown(listener_, SHUT_RDWR);
  if (acceptor_.joinable()) acceptor_.join();
  for (std::thread& t : pumps_) t.join();
  if (listener_ >= 0) ::close(listener_);
}

void FaultProxy::Plan(std::vector<Fault> faults) {
  std::lock_guard<std::mutex> lock(mutex_);
  plan_ = std::move(faults);
}

void FaultProxy::Accept() {
  while (!stop_) {
    pollfd p{listener_, POLLIN, 0};
    if (::poll(&p, 1, 100) <= 0) continue;
    const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    std::vector<Fault> faults;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      faults = plan_;
    }
    for (Fault& f : faults) f.seed += static_cast<std::uint32_t>(accepted_);
    ++accepted_;
    pumps_.emplace_back([this, client, faults]() mutable { Pump(client, std::move(faults)); });
  }
}

void FaultProxy::Pump(int client, std::vector<Fault> faults) {
  const int server = ConnectLoopback(upstream_);
  if (server < 0) {
    ::close(client);
    return;
  }
  std::mt19937 random(1);
  for (const Fault& f : faults) {
    if (f.kind == Fault::Kind::kMutate) random.seed(f.seed);
  }
  std::string pending;  // bytes of the server not yet cut into replies
  int index = 0;        // the next reply's number on this connection
  bool open = true;
  char chunk[65536];

  // Sends one reply with the faults planned for it; false once the links
  // are to be closed.
  auto deliver = [&](std::string reply) {
    const std::size_t header_end = reply.find("\r\n\r\n");
    bool close_after = false;
    std::size_t close_at = 0, stall_at = std::string::npos;
    int stall_ms = 0, trickle_ms = 0;
    std::string stray;
    for (const Fault& f : faults) {
      if (f.kind == Fault::Kind::kMutate && index >= f.reply) {
        std::uniform_real_distribution<double> chance(0.0, 1.0);
        std::string mutated;
        mutated.reserve(reply.size() + 16);
        for (char c : reply) {
          if (chance(random) >= f.rate) {
            mutated.push_back(c);
            continue;
          }
          switch (random() % 3) {
            case 0: mutated.push_back(static_cast<char>(c ^ (1 << (random() % 8)))); break;
            case 1: break;  // dropped
            default: mutated.push_back(c); mutated.push_back(static_cast<char>(random())); break;
          }
        }
        reply.swap(mutated);
        continue;
      }
      if (f.reply != index) continue;
      const std::size_t body_start = header_end == std::string::npos ? 0 : header_end + 4;
      Fault g = f;
      if (g.in_body) g.at += body_start;
      switch (g.kind) {
        case Fault::Kind::kCloseAt:
          close_after = true;
          close_at = std::min(g.at, reply.size());
          break;
        case Fault::Kind::kStallAt:
          stall_at = std::min(g.at, reply.size());
          stall_ms = g.stall_ms;
          break;
        case Fault::Kind::kTrickle:
          trickle_ms = g.stall_ms;
          break;
        case Fault::Kind::kFlipAt:
          if (g.at < reply.size()) reply[g.at] = static_cast<char>(~reply[g.at]);
          break;
        case Fault::Kind::kInsertAt:
          reply.insert(std::min(g.at, reply.size()), g.text);
          break;
        case Fault::Kind::kRewrite: {
          const std::size_t at = reply.find(g.from);
          const std::size_t line_end = at == std::string::npos ? at : reply.find("\r\n", at);
          if (at != std::string::npos && at < header_end) reply.replace(at, line_end - at, g.to);
          break;
        }
        case Fault::Kind::kStrayAfter:
          stray = g.text;
          break;
        case Fault::Kind::kMutate:
          break;
      }
    }
    ++index;
    replies_++;
    if (close_after) {
      SendAll(client, reply.data(), close_at);
      return false;
    }
    if (trickle_ms > 0) {
      for (char c : reply) {
        if (stop_ || !SendAll(client, &c, 1)) return false;
        Sleep(trickle_ms);
      }
    } else if (stall_at != std::string::npos) {
      if (!SendAll(client, reply.data(), stall_at)) return false;
      for (int waited = 0; waited < stall_ms && !stop_; waited += 50) Sleep(50);
      if (!SendAll(client, reply.data() + stall_at, reply.size() - stall_at)) return false;
    } else if (!SendAll(client, reply.data(), reply.size())) {
      return false;
    }
    return stray.empty() || SendAll(client, stray.data(), stray.size());
  };

  while (open && !stop_) {
    pollfd p[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
    if (::poll(p, 2, 100) <= 0) continue;
    if (p[0].revents & (POLLIN | POLLHUP | POLLERR)) {
      const ssize_t n = ::recv(client, chunk, sizeof chunk, 0);
      if (n <= 0 || !SendAll(server, chunk, static_cast<std::size_t>(n))) break;
    }
    if (p[1].revents & (POLLIN | POLLHUP | POLLERR)) {
      const ssize_t n = ::recv(server, chunk, sizeof chunk, 0);
      if (n <= 0) {
        SendAll(client, pending.data(), pending.size());
        break;
      }
      pending.append(chunk, static_cast<std::size_t>(n));
      for (;;) {
        const std::size_t end = pending.find("\r\n\r\n");
        if (end == std::string::npos) break;
        const std::size_t total = end + 4 + BodyLength(pending.substr(0, end + 4));
        if (pending.size() < total) break;
        std::string reply = pending.substr(0, total);
        pending.erase(0, total);
        if (!deliver(std::move(reply))) {
          open = false;
          break;
        }
      }
    }
  }
  ::shutdown(client, SHUT_RDWR);
  ::close(client);
  ::close(server);
}

}  // namespace kestrion_test
