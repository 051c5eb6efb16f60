// ClientLink: one accepted client socket, optionally inside TLS, with a
// receive buffer. It reads request headers, serves body reads as a VStream
// and sends each reply in one write call sequence.
#pragma once

#include <openssl/ssl.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "toolbox/stream.h"

namespace kestrion::server {

class ClientLink : public corvane::VStream {
 public:
  // Takes ownership of the socket.
  explicit ClientLink(int fd);
  ~ClientLink() override;

  // Server-side TLS handshake; false on failure (the link is then unusable).
  bool AcceptTls(SSL_CTX* ctx, int timeout_ms, std::string& error);

  enum class HeaderStatus { kOk, kClosed, kTimeout, kTooLarge, kFailed };
  // Reads up to and including CR LF CR LF (leading zero bytes, CR and LF are
  // skipped). `idle_ms` bounds the silence before the first byte (0: none);
  // once a header has begun, the rest must come within `body_ms` of silence.
  HeaderStatus ReadHeader(std::string& header, std::size_t max_bytes, int idle_ms, int body_ms);

  // After kTooLarge: discards the rest of the header, up to and including
  // CR LF CR LF; `parameters` tells whether it had a PARAMETER-TYPES line
  // (a parameter body follows). False when the link failed or fell silent
  // for `body_ms`.
  bool SkipHeader(int body_ms, bool& parameters);

  // Sends all bytes (after any held replies); false when the peer is gone.
  bool SendAll(const void* data, std::size_t n);

  // Sends a reply, or holds it while the next request is already buffered:
  // the replies to requests that arrived together then leave together, in
  // one send, before the server next waits for input. False when the peer
  // is gone.
  bool SendReply(const void* data, std::size_t n);
  // Sends the held replies.
  bool Flush();

  // Silence allowed inside a request body before a read fails.
  void set_body_timeout_ms(int ms) { body_timeout_ms_ = ms; }

  // Discards buffered bytes and whatever arrives until `quiet_ms` pass silently.
  void DiscardInput(int quiet_ms);

  // Ends the connection after a reply that closes it (see the .cpp).
  void CloseGracefully();

  // Makes blocked reads and writes return (used when the server stops).
  void Shutdown();
  // Whether Shutdown was called (from any thread).
  bool shut() const { return shut_.load(); }
  // Whether the client closed its end of the link (it sends nothing more).
  bool PeerClosed() const;
  int fd() const { return fd_; }

 protected:
  bool ReadBytes(void* dst, std::size_t n) override;
  bool WriteBytes(const void* src, std::size_t n) override;

 private:
  // Fills the buffer with at least one more byte; false on close, error or
  // time-out (timeout_ms 0: wait without limit).
  bool Fill(int timeout_ms, bool& timed_out);

  int fd_;
  SSL* ssl_ = nullptr;
  bool SendNow(const void* data, std::size_t n);

  std::vector<std::uint8_t> buf_;
  std::vector<std::uint8_t> held_;  // replies not sent yet
  std::size_t begin_ = 0, end_ = 0;
  // The receive time-out set on a plain socket (-1: none set yet; 0: none).
  int socket_timeout_ms_ = -1;
  int body_timeout_ms_ = 60000;
  std::atomic<bool> shut_{false};
};

}  // namespace kestrion::server
