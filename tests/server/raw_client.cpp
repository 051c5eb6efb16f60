#include "tests/server/raw_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "toolbox/base64.h"
#include "toolbox/value_codec.h"

namespace kestrion_test {

std::string B64(const std::string& text) { return corvane::Base64Encode(std::string_view(text)); }

std::string RawReply::Field(const std::string& name) const {
  std::string key = "\r\n" + name + ":";
  std::size_t p = header.find(key);
  if (p == std::string::npos) return "";
  p += key.size();
  while (p < header.size() && header[p] == ' ') ++p;
  return header.substr(p, header.find("\r\n", p) - p);
}

std::vector<std::string> RawReply::List(const std::string& name) const {
  std::vector<std::string> out;
  std::string v = Field(name);
  std::size_t i = 0;
  while (i < v.size()) {
    if (v[i] == ' ') {
      ++i;
      continue;
    }
    char open = v[i];
    std::size_t end;
    if (open == '"' || open == '\'' || open == '[') {
      end = v.find(open == '[' ? ']' : open, i + 1);
      end = end == std::string::npos ? v.size() : end + 1;
    } else {
      end = v.find(' ', i);
      if (end == std::string::npos) end = v.size();
    }
    out.push_back(v.substr(i, end - i));
    i = end;
  }
  return out;
}

std::vector<corvane::VKind> KindsOf(const RawReply& reply) {
  std::vector<corvane::VKind> kinds;
  for (const auto& n : reply.List("Column-Types")) kinds.push_back(corvane::KindFromName(n));
  return kinds;
}

RawClient::RawClient(int port, bool tls) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::close(fd);
    return;
  }
  int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  fd_ = fd;
  if (tls) {
    // Like the driver: TLS 1.2 only, no certificate verification.
    ctx_ = SSL_CTX_new(TLS_client_method());
    SSL_CTX_set_min_proto_version(ctx_, TLS1_2_VERSION);
    SSL_CTX_set_max_proto_version(ctx_, TLS1_2_VERSION);
    ssl_ = SSL_new(ctx_);
    SSL_set_fd(ssl_, fd_);
    SSL_set_connect_state(ssl_);
    if (SSL_connect(ssl_) != 1) {
      ::close(fd_);
      fd_ = -1;
    }
  }
}

RawClient::~RawClient() {
  if (ssl_) SSL_free(ssl_);
  if (ctx_) SSL_CTX_free(ctx_);
  if (fd_ >= 0) ::close(fd_);
}

bool RawClient::WriteBytes(const void* src, std::size_t n) {
  const char* p = static_cast<const char*>(src);
  while (n > 0) {
    int r = ssl_ ? SSL_write(ssl_, p, static_cast<int>(n)) : static_cast<int>(::send(fd_, p, n, MSG_NOSIGNAL));
    if (r <= 0) return false;
    p += r;
    n -= static_cast<std::size_t>(r);
  }
  return true;
}

void RawClient::SendRaw(const std::string& bytes) { WriteBytes(bytes.data(), bytes.size()); }

std::string RawClient::Send(const std::string& command, const std::vector<std::string>& fields,
                            const std::vector<std::uint8_t>& body) {
  std::string id = "0." + std::to_string(request_++);
  std::string text = id + " " + command + "\r\n";
  for (const auto& f : fields) text += f + "\r\n";
  text += "\r\n";
  std::vector<std::uint8_t> all(text.begin(), text.end());
  all.insert(all.end(), body.begin(), body.end());
  WriteBytes(all.data(), all.size());
  return id;
}

int RawClient::RecvSome(std::uint8_t* dst, std::size_t n, int timeout_ms) {
  if (!(ssl_ && SSL_pending(ssl_) > 0)) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, timeout_ms) <= 0) return -2;  // time-out
  }
  if (ssl_) return SSL_read(ssl_, dst, static_cast<int>(n));
  return static_cast<int>(::recv(fd_, dst, n, 0));
}

bool RawClient::ReadBytes(void* dst, std::size_t n) {
  auto* out = static_cast<std::uint8_t*>(dst);
  while (n > 0) {
    if (pending_pos_ == pending_.size()) {
      pending_.resize(65536);
      int r = RecvSome(pending_.data(), pending_.size(), 10000);
      if (r <= 0) {
        pending_.clear();
        pending_pos_ = 0;
        return false;
      }
      pending_.resize(static_cast<std::size_t>(r));
      pending_pos_ = 0;
    }
    std::size_t take = std::min(n, pending_.size() - pending_pos_);
    std::memcpy(out, pending_.data() + pending_pos_, take);
    pending_pos_ += take;
    out += take;
    n -= take;
  }
  return true;
}

RawReply RawClient::Read() {
  RawReply r;
  while (r.header.size() < 4 || r.header.compare(r.header.size() - 4, 4, "\r\n\r\n") != 0) {
    char c;
    if (!ReadBytes(&c, 1)) break;
    r.header.push_back(c);
  }
  std::string first = r.header.substr(0, r.header.find("\r\n"));
  r.ok = first.size() > 3 && first.compare(first.size() - 3, 3, " OK") == 0;
  return r;
}

RawReply RawClient::Login(const std::string& user, const std::string& password) {
  return Request("LOGIN", {"REPLY-WITH-BASE64-TEXT: Y", "USER-NAME-BASE64: " + B64(user),
                           "USER-PASSWORD-BASE64: " + B64(password), "PROTOCOL-VERSION: 0.1a"});
}

RawReply RawClient::Execute(const std::string& sql, int page, const std::string& parameter_types,
                            const std::vector<std::uint8_t>& body) {
  std::vector<std::string> fields = {"STATEMENT-BASE64: " + B64(sql), "OUTPUT-MODE: RELEASE",
                                     "FIRST-PAGE-SIZE: " + std::to_string(page)};
  if (!parameter_types.empty() || !body.empty()) fields.push_back("PARAMETER-TYPES:" + parameter_types);
  return Request("EXECUTE-STATEMENT", fields, body);
}

RawReply RawClient::Prepare(const std::string& sql, bool describe_parameters) {
  std::vector<std::string> fields;
  if (describe_parameters) fields.push_back("describe-parameters:Y");
  fields.push_back("STATEMENT-BASE64: " + B64(sql));
  return Request("PREPARE-STATEMENT", fields);
}

std::vector<std::uint8_t> RawClient::ReadBytesExact(std::size_t n) {
  std::vector<std::uint8_t> out(n);
  if (!Read(out.data(), n)) out.clear();
  return out;
}

std::vector<std::vector<corvane::VValue>> RawClient::ReadRows(std::size_t rows,
                                                              const std::vector<corvane::VKind>& kinds) {
  std::vector<std::vector<corvane::VValue>> out;
  for (std::size_t r = 0; r < rows && ok(); ++r) {
    std::vector<corvane::VValue> row;
    for (corvane::VKind k : kinds) {
      std::uint8_t status = 0;
      GetU8(status);
      corvane::VValue v = corvane::VValue::Null(k);
      if (status == '1') {
        corvane::ReadValue(*this, k, v);
      } else if (status == '2') {
        std::int32_t code;
        GetI32(code);
        v = corvane::VValue::Null(corvane::VKind::Unknown);
      }
      row.push_back(std::move(v));
    }
    out.push_back(std::move(row));
  }
  return out;
}

bool RawClient::WaitClosed() {
  std::uint8_t buf[4096];
  for (int i = 0; i < 100; ++i) {
    int r = RecvSome(buf, sizeof buf, 5000);
    if (r == -2) return false;
    if (r <= 0) return true;
  }
  return false;
}

void RawClient::ShutdownWrite() { ::shutdown(fd_, SHUT_WR); }

}  // namespace kestrion_test
