// The link to the server: one TCP connection, optionally inside TLS. The
// socket stays non-blocking; reads and writes wait with poll for at most the
// time their caller gives, so every time-out above them can be honoured.
#pragma once

#include <openssl/ssl.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace kestrion {

enum class LinkStatus {
  Done,          // some bytes moved
  WouldBlock,    // nothing moved within the wait
  ClosedByPeer,  // the server closed the link
  Reset,         // the link was reset or the socket is gone
  Failed,        // any other failure
};

class Link {
 public:
  // Resolves `host` and connects to the first address that accepts within
  // `timeout_ms` (each address gets the full time). Null when none does.
  static std::unique_ptr<Link> Open(const std::string& host, std::uint16_t port,
                                    std::int64_t timeout_ms);
  ~Link();
  Link(const Link&) = delete;
  Link& operator=(const Link&) = delete;

  // Creates the TLS channel over the connected socket and completes the
  // handshake within `timeout_ms` (a negative value waits without limit). The
  // host name (not a numeric address) goes out as the server name (SNI).
  // False when the channel cannot be created or negotiated; the link is then
  // unusable and must be destroyed.
  bool StartTls(std::int64_t timeout_ms);
  bool tls() const { return ssl_ != nullptr; }
  // The TLS channel after StartTls (null before), for checking the server's
  // certificate.
  SSL* tls_channel() const { return ssl_; }

  // Reads up to `n` bytes, waiting at most `wait_ms` for the first (negative:
  // without limit). `got` is set to the count read.
  LinkStatus Read(void* dst, std::size_t n, std::size_t& got, int wait_ms);
  // Writes up to `n` bytes, waiting at most `wait_ms` for room. The caller
  // repeats until everything is written. Never raises SIGPIPE.
  LinkStatus Write(const void* src, std::size_t n, std::size_t& written, int wait_ms);
  // Writes all `n` bytes; fails when the link fails or when no byte can be
  // written for `stall_ms` (negative: without limit). `total` receives the
  // count written.
  bool WriteAll(const void* src, std::size_t n, std::int64_t stall_ms = -1,
                std::size_t* total = nullptr);

  // Waits at most `wait_ms` (negative: without limit) until the socket is
  // readable or `wake_fd` (when not negative) is. Answers nothing: the
  // caller reads again and looks at what woke it.
  void WaitReadable(int wake_fd, int wait_ms);

  // The liveness probe: a peek at the socket (under TLS too) that finds
  // end-of-stream when the server closed the link, or the error of a reset
  // or failed socket; one system call.
  bool IsAlive();

  int fd() const { return fd_; }
  std::uint16_t port() const { return port_; }
  // The host name as given, when it is not a numeric address.
  const std::string& host() const { return host_; }

 private:
  Link(int fd, std::uint16_t port, std::string host) : fd_(fd), port_(port), host_(std::move(host)) {}
  // Waits for the socket to become readable or writable; false on time-out.
  bool WaitFor(short events, int wait_ms);
  LinkStatus TlsStatus(int result, std::size_t& moved, int wait_ms, bool& retry);

  int fd_ = -1;
  std::uint16_t port_ = 0;
  std::string host_;
  SSL* ssl_ = nullptr;
};

}  // namespace kestrion
