#include "tests/support/scripted_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace kestrion_test {

namespace {

using Clock = std::chrono::steady_clock;

// How long the server waits for request bytes before calling it a mismatch.
constexpr int kReadLimitMs = 10000;

std::string Printable(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else if (c < 32 || c > 126) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    } else out += static_cast<char>(c);
  }
  return out;
}

bool SendAll(int fd, const char* p, std::size_t n) {
  while (n > 0) {
    ssize_t r = ::send(fd, p, n, MSG_NOSIGNAL);
    if (r <= 0) return false;
    p += r;
    n -= static_cast<std::size_t>(r);
  }
  return true;
}

}  // namespace

std::string OkReply(const std::string& id, const std::string& fields) {
  return id + " OK\r\n" + fields + "\r\n";
}

ScriptedServer::ScriptedServer() {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener_ < 0) throw std::runtime_error("socket failed");
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = 0;
  if (::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      ::listen(listener_, 4) != 0) {
    throw std::runtime_error("bind/listen failed");
  }
  socklen_t len = sizeof a;
  ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len);
  port_ = ntohs(a.sin_port);
}

ScriptedServer::~ScriptedServer() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (listener_ >= 0) ::close(listener_);
}

ScriptedServer& ScriptedServer::Then(Step step) {
  steps_.push_back(std::move(step));
  if (!started_) {
    started_ = true;
    thread_ = std::thread([this] { Run(); });
  }
  return *this;
}

void ScriptedServer::Record(const std::string& failure) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (failure_.empty()) failure_ = failure;
}

std::string ScriptedServer::received() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return received_;
}

bool ScriptedServer::ReadExact(int fd, std::size_t n, std::string& out) {
  out.clear();
  const auto start = Clock::now();
  while (out.size() < n && !stop_) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 50) <= 0) {
      if (Clock::now() - start > std::chrono::milliseconds(kReadLimitMs)) return false;
      continue;
    }
    char buf[4096];
    ssize_t r = ::recv(fd, buf, std::min(sizeof buf, n - out.size()), 0);
    if (r <= 0) return false;
    out.append(buf, static_cast<std::size_t>(r));
    std::lock_guard<std::mutex> lock(mutex_);
    received_.append(buf, static_cast<std::size_t>(r));
  }
  return out.size() == n;
}

void ScriptedServer::Run() {
  int fd = -1;
  while (!stop_ && fd < 0) {
    pollfd p{listener_, POLLIN, 0};
    if (::poll(&p, 1, 50) > 0) fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
  }
  if (fd < 0) {
    done_ = true;
    return;
  }
  accepted_ = true;
  const int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);

  for (std::size_t i = 0; !stop_; ++i) {
    Step step;
    bool have = false;
    // The test may add steps after the client connected, always before it
    // sends the request they answer: wait for either.
    while (!stop_) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (i < steps_.size()) {
          step = steps_[i];
          have = true;
        }
      }
      if (have) break;
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 20) > 0) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (i < steps_.size()) continue;
        break;
      }
    }
    if (!have) break;
    std::string got;
    if (!ReadExact(fd, step.expect.size(), got) || got != step.expect) {
      Record("step " + std::to_string(i) + ": expected \"" + Printable(step.expect) + "\", got \"" +
             Printable(got) + "\"");
      break;
    }
    if (step.silent) {
      // A reply given with a silent step goes out first.
      if (!step.reply.empty()) SendAll(fd, step.reply.data(), step.reply.size());
      while (!stop_) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) > 0) {
          char buf[4096];
          ssize_t r = ::recv(fd, buf, sizeof buf, 0);
          if (r <= 0) break;
          std::lock_guard<std::mutex> lock(mutex_);
          received_.append(buf, static_cast<std::size_t>(r));
        }
      }
      break;
    }
    bool sent = true;
    if (step.one_byte_segments) {
      for (std::size_t k = 0; k < step.reply.size() && sent; ++k) {
        sent = SendAll(fd, &step.reply[k], 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
    } else {
      sent = SendAll(fd, step.reply.data(), step.reply.size());
    }
    if (!sent) {
      Record("step " + std::to_string(i) + ": the reply could not be sent");
      break;
    }
    if (step.close_after) {
      ::close(fd);
      fd = -1;
      break;
    }
  }
  // Drain whatever else the client sends until it closes the link.
  while (fd >= 0 && !stop_) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 50) <= 0) continue;
    char buf[4096];
    ssize_t r = ::recv(fd, buf, sizeof buf, 0);
    if (r <= 0) break;
    std::lock_guard<std::mutex> lock(mutex_);
    received_.append(buf, static_cast<std::size_t>(r));
  }
  if (fd >= 0) ::close(fd);
  done_ = true;
}

std::string ScriptedServer::Finish(int timeout_ms) {
  const auto start = Clock::now();
  while (!done_ && Clock::now() - start < std::chrono::milliseconds(timeout_ms)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::lock_guard<std::mutex> lock(mutex_);
  return failure_;
}

}  // namespace kestrion_test
