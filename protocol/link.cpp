#include "protocol/link.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <mutex>

#include "protocol/tls_context.h"

namespace kestrion {

namespace {

using Clock = std::chrono::steady_clock;

std::int64_t ElapsedMs(Clock::time_point since) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count();
}

bool WouldBlockErrno(int e) { return e == EAGAIN || e == EWOULDBLOCK || e == EINTR; }

LinkStatus StatusOfErrno(int e) {
  if (WouldBlockErrno(e)) return LinkStatus::WouldBlock;
  if (e == EBADF || e == ENOTSOCK || e == ECONNRESET || e == EPIPE) return LinkStatus::Reset;
  return LinkStatus::Failed;
}

bool IsNumericAddress(const std::string& host) {
  unsigned char buf[sizeof(in6_addr)];
  return inet_pton(AF_INET, host.c_str(), buf) == 1 || inet_pton(AF_INET6, host.c_str(), buf) == 1;
}

// Waits until a non-blocking connect completes, at most timeout_ms.
bool FinishConnect(int fd, std::int64_t timeout_ms) {
  const auto start = Clock::now();
  for (;;) {
    const std::int64_t left = timeout_ms - ElapsedMs(start);
    pollfd p{fd, POLLOUT, 0};
    int r = ::poll(&p, 1, static_cast<int>(left > 0 ? std::min<std::int64_t>(left, 1 << 30) : 0));
    if (r < 0 && errno == EINTR) {
      if (left <= 0) return false;
      continue;
    }
    if (r <= 0) return false;
    int error = 0;
    socklen_t len = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) != 0) return false;
    return error == 0 || error == EISCONN;
  }
}

// The TLS channel writes and reads the socket itself, so that every send
// carries MSG_NOSIGNAL: a server closing the link never raises SIGPIPE.
int BioWrite(BIO* bio, const char* data, int length) {
  const int fd = static_cast<int>(reinterpret_cast<std::intptr_t>(BIO_get_data(bio)));
  BIO_clear_retry_flags(bio);
  ssize_t r = ::send(fd, data, static_cast<std::size_t>(length), MSG_NOSIGNAL | MSG_DONTWAIT);
  if (r < 0 && WouldBlockErrno(errno)) BIO_set_retry_write(bio);
  return static_cast<int>(r);
}

int BioRead(BIO* bio, char* data, int length) {
  const int fd = static_cast<int>(reinterpret_cast<std::intptr_t>(BIO_get_data(bio)));
  BIO_clear_retry_flags(bio);
  ssize_t r = ::recv(fd, data, static_cast<std::size_t>(length), MSG_DONTWAIT);
  if (r < 0 && WouldBlockErrno(errno)) BIO_set_retry_read(bio);
  return static_cast<int>(r);
}

int BioPuts(BIO* bio, const char* text) {
  return BioWrite(bio, text, static_cast<int>(std::char_traits<char>::length(text)));
}

long BioCtrl(BIO*, int command, long, void*) {
  return command == BIO_CTRL_FLUSH ? 1 : 0;
}

int BioCreate(BIO* bio) {
  BIO_set_init(bio, 1);
  return 1;
}

BIO_METHOD* SocketBioMethod() {
  static std::once_flag once;
  static BIO_METHOD* method = nullptr;
  std::call_once(once, [] {
    BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "kestrion socket");
    if (!m) return;
    BIO_meth_set_write(m, BioWrite);
    BIO_meth_set_read(m, BioRead);
    BIO_meth_set_puts(m, BioPuts);
    BIO_meth_set_ctrl(m, BioCtrl);
    BIO_meth_set_create(m, BioCreate);
    method = m;
  });
  return method;
}

}  // namespace

std::unique_ptr<Link> Link::Open(const std::string& host, std::uint16_t port,
                                 std::int64_t timeout_ms) {
  addrinfo hints{};
  hints.ai_flags = AI_NUMERICSERV;
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo* addresses = nullptr;
  const std::string service = std::to_string(port);
  if (::getaddrinfo(host.c_str(), service.c_str(), &hints, &addresses) != 0) return nullptr;

  int connected = -1;
  for (addrinfo* a = addresses; a != nullptr; a = a->ai_next) {
    int fd = ::socket(a->ai_family, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) continue;
    const int one = 1;
    if (::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one) != 0 ||
        ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &one, sizeof one) != 0) {
      ::close(fd);
      break;  // a socket that refuses its options gives up the whole open
    }
    const int flags = ::fcntl(fd, F_GETFL, 0);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) {
      ::close(fd);
      continue;
    }
    bool ok = ::connect(fd, a->ai_addr, a->ai_addrlen) == 0;
    if (!ok && (errno == EINPROGRESS || errno == EALREADY || errno == EAGAIN || errno == EINTR)) {
      ok = FinishConnect(fd, timeout_ms);
    }
    if (ok) {
      connected = fd;
      break;
    }
    ::close(fd);
  }
  ::freeaddrinfo(addresses);
  if (connected < 0) return nullptr;
  return std::unique_ptr<Link>(new Link(connected, port, IsNumericAddress(host) ? std::string() : host));
}

Link::~Link() {
  if (ssl_) SSL_free(ssl_);
  ssl_ = nullptr;
  if (fd_ >= 0) {
    const int fd = fd_;
    fd_ = -1;
    ::shutdown(fd, SHUT_WR);
    ::close(fd);
  }
}

bool Link::WaitFor(short events, int wait_ms) {
  pollfd p{fd_, events, 0};
  int r = ::poll(&p, 1, wait_ms < 0 ? -1 : wait_ms);
  return r > 0;
}

void Link::WaitReadable(int wake_fd, int wait_ms) {
  // Bytes the TLS channel decrypted already are readable now.
  if (ssl_ && SSL_pending(ssl_) > 0) return;
  pollfd p[2] = {{fd_, POLLIN, 0}, {wake_fd, POLLIN, 0}};
  ::poll(p, wake_fd >= 0 ? 2 : 1, wait_ms < 0 ? -1 : wait_ms);
}

bool Link::StartTls(std::int64_t timeout_ms) {
  SSL_CTX* context = ClientTlsContext();
  BIO_METHOD* method = SocketBioMethod();
  if (!context || !method || fd_ < 0 || ssl_) return false;
  ERR_clear_error();
  SSL* ssl = SSL_new(context);
  BIO* bio = ssl ? BIO_new(method) : nullptr;
  if (!bio) {
    if (ssl) SSL_free(ssl);
    DrainTlsErrors();
    return false;
  }
  BIO_set_data(bio, reinterpret_cast<void*>(static_cast<std::intptr_t>(fd_)));
  SSL_set_bio(ssl, bio, bio);
  SSL_set_mode(ssl, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
  SSL_set_connect_state(ssl);
  if (!host_.empty()) SSL_set_tlsext_host_name(ssl, host_.c_str());

  const auto start = Clock::now();
  for (;;) {
    ERR_clear_error();
    int r = SSL_do_handshake(ssl);
    if (r == 1) break;
    int error = SSL_get_error(ssl, r);
    short events = error == SSL_ERROR_WANT_READ ? POLLIN : error == SSL_ERROR_WANT_WRITE ? POLLOUT : 0;
    std::int64_t left = timeout_ms < 0 ? 1000 : timeout_ms - ElapsedMs(start);
    if (events == 0 || left <= 0) {
      DrainTlsErrors();
      SSL_free(ssl);
      return false;
    }
    pollfd p{fd_, events, 0};
    ::poll(&p, 1, static_cast<int>(std::min<std::int64_t>(left, 1000)));
  }
  ssl_ = ssl;
  return true;
}

LinkStatus Link::TlsStatus(int result, std::size_t& moved, int wait_ms, bool& retry) {
  retry = false;
  if (result > 0) {
    moved = static_cast<std::size_t>(result);
    return LinkStatus::Done;
  }
  const int error = SSL_get_error(ssl_, result);
  switch (error) {
    case SSL_ERROR_WANT_READ:
    case SSL_ERROR_WANT_WRITE:
    case SSL_ERROR_WANT_CONNECT:
      retry = WaitFor(error == SSL_ERROR_WANT_WRITE ? POLLOUT : POLLIN, wait_ms);
      return LinkStatus::WouldBlock;
    case SSL_ERROR_ZERO_RETURN:
      return LinkStatus::ClosedByPeer;
    case SSL_ERROR_SYSCALL:
      if (result == 0 || errno == 0) {
        DrainTlsErrors();
        return LinkStatus::ClosedByPeer;
      }
      DrainTlsErrors();
      return StatusOfErrno(errno) == LinkStatus::WouldBlock ? LinkStatus::Failed
                                                              : StatusOfErrno(errno);
    default:
      DrainTlsErrors();
      return LinkStatus::Failed;
  }
}

LinkStatus Link::Read(void* dst, std::size_t n, std::size_t& got, int wait_ms) {
  got = 0;
  if (fd_ < 0) return LinkStatus::Reset;
  if (n == 0) return LinkStatus::Done;
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (ssl_) {
      ERR_clear_error();
      errno = 0;
      const int r = SSL_read(ssl_, dst, static_cast<int>(std::min<std::size_t>(n, 1 << 30)));
      bool retry = false;
      LinkStatus s = TlsStatus(r, got, attempt == 0 ? wait_ms : 0, retry);
      if (s != LinkStatus::WouldBlock || !retry) return s;
      continue;
    }
    const ssize_t r = ::recv(fd_, dst, n, MSG_DONTWAIT);
    if (r > 0) {
      got = static_cast<std::size_t>(r);
      return LinkStatus::Done;
    }
    if (r == 0) return LinkStatus::ClosedByPeer;
    const LinkStatus s = StatusOfErrno(errno);
    if (s != LinkStatus::WouldBlock) return s;
    if (attempt > 0 || wait_ms == 0 || !WaitFor(POLLIN, wait_ms)) return LinkStatus::WouldBlock;
  }
  return LinkStatus::WouldBlock;
}

LinkStatus Link::Write(const void* src, std::size_t n, std::size_t& written, int wait_ms) {
  written = 0;
  if (fd_ < 0) return LinkStatus::Reset;
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (ssl_) {
      if (n == 0) return LinkStatus::Done;
      ERR_clear_error();
      errno = 0;
      const int r = SSL_write(ssl_, src, static_cast<int>(std::min<std::size_t>(n, 1 << 30)));
      if (r == 0) {
        DrainTlsErrors();
        return LinkStatus::Failed;
      }
      bool retry = false;
      LinkStatus s = TlsStatus(r, written, attempt == 0 ? wait_ms : 0, retry);
      if (s != LinkStatus::WouldBlock || !retry) return s;
      continue;
    }
    const ssize_t r = ::send(fd_, src, n, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (r >= 0) {
      written = static_cast<std::size_t>(r);
      return LinkStatus::Done;
    }
    const LinkStatus s = StatusOfErrno(errno);
    if (s != LinkStatus::WouldBlock) return s;
    if (attempt > 0 || !WaitFor(POLLOUT, wait_ms)) return LinkStatus::WouldBlock;
  }
  return LinkStatus::WouldBlock;
}

bool Link::WriteAll(const void* src, std::size_t n, std::int64_t stall_ms, std::size_t* total) {
  const auto* p = static_cast<const std::uint8_t*>(src);
  if (total) *total = 0;
  auto last_progress = Clock::now();
  while (n > 0) {
    std::size_t written = 0;
    const LinkStatus s = Write(p, n, written, 200);
    if (s == LinkStatus::Done && written > 0) {
      p += written;
      n -= written;
      if (total) *total += written;
      last_progress = Clock::now();
      continue;
    }
    if (s != LinkStatus::WouldBlock && !(s == LinkStatus::Done && written == 0)) return false;
    if (stall_ms >= 0 && ElapsedMs(last_progress) > stall_ms) return false;
  }
  return true;
}

bool Link::IsAlive() {
  if (fd_ < 0) return false;
  // One look at the socket without taking anything: end-of-stream means the
  // server closed it, an error other than "nothing yet" (a reset, a failed
  // socket) that it is gone. This also finds what a zero-byte send would.
  char byte;
  const ssize_t r = ::recv(fd_, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
  if (r == 0) return false;
  return r > 0 || WouldBlockErrno(errno);
}

}  // namespace kestrion
