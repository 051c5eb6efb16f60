#include "server/client_link.h"

#include <openssl/err.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace kestrion::server {

namespace {
constexpr std::size_t kBufferSize = 64 * 1024;
// Replies held at most before they are sent anyway.
constexpr std::size_t kHeldReplyBytes = 256 * 1024;

// Waits until fd is readable (or writable); 1 ready, 0 time-out, -1 error.
int WaitFd(int fd, bool for_write, int timeout_ms) {
  pollfd p{fd, static_cast<short>(for_write ? POLLOUT : POLLIN), 0};
  for (;;) {
    int r = ::poll(&p, 1, timeout_ms > 0 ? timeout_ms : -1);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return -1;
    return r > 0 ? 1 : 0;
  }
}
}  // namespace

ClientLink::ClientLink(int fd) : fd_(fd), buf_(kBufferSize) {}

ClientLink::~ClientLink() {
  if (ssl_) {
    if (!shut_) SSL_shutdown(ssl_);
    SSL_free(ssl_);
  }
  ::close(fd_);
}

void ClientLink::Shutdown() {
  shut_ = true;
  ::shutdown(fd_, SHUT_RDWR);
}

bool ClientLink::PeerClosed() const {
  pollfd p{fd_, POLLRDHUP, 0};
  return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
}

bool ClientLink::AcceptTls(SSL_CTX* ctx, int timeout_ms, std::string& error) {
  ssl_ = SSL_new(ctx);
  if (!ssl_ || SSL_set_fd(ssl_, fd_) != 1) {
    error = "cannot create a TLS channel";
    return false;
  }
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    ERR_clear_error();
    int r = SSL_accept(ssl_);
    if (r == 1) return true;
    int e = SSL_get_error(ssl_, r);
    int left = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count());
    if ((e == SSL_ERROR_WANT_READ || e == SSL_ERROR_WANT_WRITE) && left > 0 &&
        WaitFd(fd_, e == SSL_ERROR_WANT_WRITE, left) == 1)
      continue;
    char buf[200];
    unsigned long code = ERR_get_error();
    ERR_clear_error();
    if (code) {
      ERR_error_string_n(code, buf, sizeof buf);
      error = std::string("TLS handshake failed: ") + buf;
    } else {
      error = "TLS handshake failed";
    }
    return false;
  }
}

bool ClientLink::Fill(int timeout_ms, bool& timed_out) {
  timed_out = false;
  if (shut_) return false;
  // Nothing is held back while the server waits for the client.
  if (!held_.empty() && !Flush()) return false;
  if (begin_ == end_) begin_ = end_ = 0;
  if (end_ == buf_.size()) {
    if (begin_ > 0) {
      std::memmove(buf_.data(), buf_.data() + begin_, end_ - begin_);
      end_ -= begin_;
      begin_ = 0;
    } else {
      buf_.resize(buf_.size() * 2);
    }
  }
  // A plain socket keeps the first time-out it waits with (the idle wait for
  // the next request, which is most waits) as its receive time-out, so that
  // such a wait is one blocking recv instead of poll and recv.
  if (!ssl_ && socket_timeout_ms_ < 0 && timeout_ms >= 0) {
    timeval tv{timeout_ms / 1000, (timeout_ms % 1000) * 1000};
    if (::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) == 0) socket_timeout_ms_ = timeout_ms;
  }
  const bool blocking_recv = !ssl_ && timeout_ms == socket_timeout_ms_;
  for (;;) {
    if (!blocking_recv && !(ssl_ && SSL_pending(ssl_) > 0)) {
      int w = WaitFd(fd_, false, timeout_ms);
      if (w == 0) {
        timed_out = true;
        return false;
      }
      if (w < 0) return false;
    }
    if (ssl_) {
      ERR_clear_error();
      int r = SSL_read(ssl_, buf_.data() + end_, static_cast<int>(buf_.size() - end_));
      if (r > 0) {
        end_ += static_cast<std::size_t>(r);
        return true;
      }
      int e = SSL_get_error(ssl_, r);
      if (e == SSL_ERROR_WANT_READ || e == SSL_ERROR_WANT_WRITE) continue;
      return false;
    }
    ssize_t r = ::recv(fd_, buf_.data() + end_, buf_.size() - end_, 0);
    if (r > 0) {
      end_ += static_cast<std::size_t>(r);
      return true;
    }
    if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && blocking_recv) {
      timed_out = true;  // the socket's receive time-out ran out
      return false;
    }
    if (r < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    return false;
  }
}

ClientLink::HeaderStatus ClientLink::ReadHeader(std::string& header, std::size_t max_bytes, int idle_ms,
                                                int body_ms) {
  header.clear();
  bool timed_out = false;
  // Skip what separates requests: zero bytes and stray line ends.
  for (;;) {
    while (begin_ < end_ && (buf_[begin_] == 0 || buf_[begin_] == '\r' || buf_[begin_] == '\n')) ++begin_;
    if (begin_ < end_) break;
    if (!Fill(idle_ms, timed_out)) return timed_out ? HeaderStatus::kTimeout : HeaderStatus::kClosed;
  }
  std::size_t scanned = 0;  // bytes of header already searched
  for (;;) {
    const char* data = reinterpret_cast<const char*>(buf_.data() + begin_);
    std::size_t avail = end_ - begin_;
    std::size_t from = scanned >= 3 ? scanned - 3 : 0;
    std::string_view view(data, avail);
    std::size_t pos = view.find("\r\n\r\n", from);
    if (pos != std::string_view::npos && pos + 4 > max_bytes) pos = std::string_view::npos;
    if (pos == std::string_view::npos && avail > max_bytes) {
      header.assign(data, std::min<std::size_t>(avail, 4096));  // enough for the first line
      return HeaderStatus::kTooLarge;
    }
    if (pos != std::string_view::npos) {
      header.assign(data, pos + 4);
      begin_ += pos + 4;
      return HeaderStatus::kOk;
    }
    scanned = avail;
    if (!Fill(body_ms, timed_out)) return timed_out ? HeaderStatus::kTimeout : HeaderStatus::kFailed;
  }
}

bool ClientLink::SkipHeader(int body_ms, bool& parameters) {
  static constexpr std::string_view kEnd = "\r\n\r\n";
  static constexpr std::string_view kParameters = "\nPARAMETER-TYPES";
  parameters = false;
  for (;;) {
    std::string_view view(reinterpret_cast<const char*>(buf_.data() + begin_), end_ - begin_);
    const std::size_t end = view.find(kEnd);
    const std::string_view header = view.substr(0, end == std::string_view::npos ? view.size() : end + 2);
    // Base64 has no '-', so the field name cannot be part of a value.
    for (std::size_t at = header.find('\n'); at != std::string_view::npos; at = header.find('\n', at + 1)) {
      if (header.size() - at >= kParameters.size() &&
          strncasecmp(header.data() + at, kParameters.data(), kParameters.size()) == 0)
        parameters = true;
    }
    if (end != std::string_view::npos) {
      begin_ += end + kEnd.size();
      if (begin_ == end_ && buf_.size() > kBufferSize) {
        // Give back what the long header made the buffer grow to.
        buf_.assign(kBufferSize, 0);
        begin_ = end_ = 0;
      }
      return true;
    }
    // Keep the last bytes, which may begin the end mark or the field name.
    const std::size_t keep = std::min(view.size(), kParameters.size());
    begin_ = end_ - keep;
    bool timed_out = false;
    if (!Fill(body_ms, timed_out)) return false;
  }
}

bool ClientLink::ReadBytes(void* dst, std::size_t n) {
  auto* out = static_cast<std::uint8_t*>(dst);
  while (n > 0) {
    if (begin_ == end_) {
      bool timed_out;
      if (!Fill(body_timeout_ms_, timed_out)) return false;
    }
    std::size_t take = std::min(n, end_ - begin_);
    std::memcpy(out, buf_.data() + begin_, take);
    begin_ += take;
    out += take;
    n -= take;
  }
  // Give back memory a large body made the buffer grow for.
  if (begin_ == end_ && buf_.size() > 4 * kBufferSize) {
    buf_.assign(kBufferSize, 0);
    begin_ = end_ = 0;
  }
  return true;
}

void ClientLink::DiscardInput(int quiet_ms) {
  auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (std::chrono::steady_clock::now() < limit) {
    begin_ = end_ = 0;
    bool timed_out;
    if (!Fill(quiet_ms, timed_out)) return;
  }
}

void ClientLink::CloseGracefully() {
  Flush();
  // Unread input would make the close a reset that can destroy the reply
  // still on its way; end sending first, then drop what the client still sends.
  if (!ssl_) ::shutdown(fd_, SHUT_WR);
  DiscardInput(200);
}

bool ClientLink::WriteBytes(const void* src, std::size_t n) { return SendAll(src, n); }

bool ClientLink::SendReply(const void* data, std::size_t n) {
  if (begin_ < end_ && held_.size() + n <= kHeldReplyBytes) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    held_.insert(held_.end(), p, p + n);
    return true;
  }
  return SendAll(data, n);
}

bool ClientLink::Flush() {
  if (held_.empty()) return true;
  const bool sent = SendNow(held_.data(), held_.size());
  held_.clear();
  if (held_.capacity() > kHeldReplyBytes) std::vector<std::uint8_t>().swap(held_);
  return sent;
}

bool ClientLink::SendAll(const void* data, std::size_t n) {
  if (!held_.empty()) {
    // The held replies and this one leave in one send.
    const auto* p = static_cast<const std::uint8_t*>(data);
    held_.insert(held_.end(), p, p + n);
    return Flush();
  }
  return SendNow(data, n);
}

bool ClientLink::SendNow(const void* data, std::size_t n) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  while (n > 0) {
    if (shut_) return false;
    if (ssl_) {
      ERR_clear_error();
      int chunk = static_cast<int>(std::min<std::size_t>(n, 1 << 30));
      int r = SSL_write(ssl_, p, chunk);
      if (r > 0) {
        p += r;
        n -= static_cast<std::size_t>(r);
        continue;
      }
      int e = SSL_get_error(ssl_, r);
      if ((e == SSL_ERROR_WANT_WRITE || e == SSL_ERROR_WANT_READ) && WaitFd(fd_, e == SSL_ERROR_WANT_WRITE, 60000) == 1)
        continue;
      return false;
    }
    ssize_t r = ::send(fd_, p, n, MSG_NOSIGNAL);
    if (r > 0) {
      p += r;
      n -= static_cast<std::size_t>(r);
      continue;
    }
    if (r < 0 && errno == EINTR) continue;
    if (r < 0 && errno == EAGAIN && WaitFd(fd_, true, 60000) == 1) continue;
    return false;
  }
  return true;
}

}  // namespace kestrion::server
