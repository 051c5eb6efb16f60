// A raw protocol client for the server tests: frames requests by hand, reads
// reply headers and body bytes, optionally inside TLS 1.2.
#pragma once

#include <openssl/ssl.h>

#include <cstdint>
#include <string>
#include <vector>

#include "toolbox/stream.h"
#include "toolbox/value.h"

namespace kestrion_test {

struct RawReply {
  std::string header;  // up to and including the blank line
  bool ok = false;     // first line is "<id> OK"
  // A field's value ("Row-Count: 3" -> "3"); empty when absent.
  std::string Field(const std::string& name) const;
  std::vector<std::string> List(const std::string& name) const;
};

class RawClient : public corvane::VStream {
 public:
  explicit RawClient(int port, bool tls = false);
  ~RawClient() override;
  bool connected() const { return fd_ >= 0; }

  // Sends "<n.m> <command>\r\n<fields...>\r\n\r\n" then `body`; returns the id used.
  std::string Send(const std::string& command, const std::vector<std::string>& fields,
                   const std::vector<std::uint8_t>& body = {});
  void SendRaw(const std::string& bytes);
  using corvane::VStream::Read;
  // Reads one reply header (up to 10 s).
  RawReply Read();
  RawReply Request(const std::string& command, const std::vector<std::string>& fields = {},
                   const std::vector<std::uint8_t>& body = {}) {
    Send(command, fields, body);
    return Read();
  }
  // LOGIN with the given user and password.
  RawReply Login(const std::string& user = "tester", const std::string& password = "pw");
  // EXECUTE-STATEMENT of `sql` with a first page size.
  RawReply Execute(const std::string& sql, int page = 100, const std::string& parameter_types = "",
                   const std::vector<std::uint8_t>& body = {});
  RawReply Prepare(const std::string& sql, bool describe_parameters = false);

  // Reads `n` body bytes.
  std::vector<std::uint8_t> ReadBytesExact(std::size_t n);
  // Decodes `rows` rows of the given kinds (status byte + value each); a
  // status '2' cell becomes a null value of kind Unknown.
  std::vector<std::vector<corvane::VValue>> ReadRows(std::size_t rows, const std::vector<corvane::VKind>& kinds);
  // True when the server closed the connection (reads end within 5 s).
  bool WaitClosed();
  void ShutdownWrite();

 protected:
  bool ReadBytes(void* dst, std::size_t n) override;
  bool WriteBytes(const void* src, std::size_t n) override;

 private:
  int RecvSome(std::uint8_t* dst, std::size_t n, int timeout_ms);
  int fd_ = -1;
  SSL_CTX* ctx_ = nullptr;
  SSL* ssl_ = nullptr;
  int request_ = 0;
  std::vector<std::uint8_t> pending_;  // received, not yet consumed from pending_pos_
  std::size_t pending_pos_ = 0;
};

std::string B64(const std::string& text);
std::vector<corvane::VKind> KindsOf(const RawReply& reply);

}  // namespace kestrion_test
