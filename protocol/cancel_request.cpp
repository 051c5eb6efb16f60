#include "protocol/cancel_request.h"

#include <chrono>

#include "protocol/link.h"
#include "protocol/reply_field.h"

namespace kestrion {

namespace {

using Clock = std::chrono::steady_clock;

// A token of letters, digits and '-' only, at most 64 characters.
std::string PlainToken(std::u16string_view name, std::u16string_view reply) {
  const std::optional<TokenList> tokens = GetReplyField(name, reply);
  if (!tokens || tokens->size() != 1) return {};
  const std::string value = tokens->front().ToUtf8();
  if (value.empty() || value.size() > 64) return {};
  for (const char c : value) {
    const bool ok = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-';
    if (!ok) return {};
  }
  return value;
}

}  // namespace

void ReadCancelFields(std::u16string_view reply, CancelTarget& target) {
  target.session_id = PlainToken(u"Session-ID", reply);
  target.key = PlainToken(u"Cancel-Key", reply);
  if (target.session_id.empty() || target.key.empty()) {
    target.session_id.clear();
    target.key.clear();
  }
}

std::string CancelHeader(const CancelTarget& target, std::string_view request_id) {
  std::string header = "CANCEL\r\nSESSION-ID: ";
  header += target.session_id;
  header += "\r\nCANCEL-KEY: ";
  header += target.key;
  header += "\r\nREQUEST-ID: ";
  header += request_id;
  return header;
}

bool SendCancelRequest(const CancelTarget& target, std::string_view request_id,
                       std::int64_t timeout_ms) {
  if (!target.usable() || request_id.empty()) return false;
  const auto until = Clock::now() + std::chrono::milliseconds(timeout_ms);
  auto left = [&] {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
    return ms > 0 ? ms : 0;
  };
  std::unique_ptr<Link> link = Link::Open(target.host, target.port, timeout_ms);
  if (!link) return false;
  if (target.tls) {
    // The key goes only to a server that passes the same checks as at login.
    std::string why;
    if (!link->StartTls(left()) ||
        !VerifyServerCertificate(link->tls_channel(), target.verify, target.host, target.ca_file, why)) {
      return false;
    }
  }
  std::string request = "cancel ";
  request += CancelHeader(target, request_id);
  request += "\r\n\r\n";
  if (!link->WriteAll(request.data(), request.size(), left())) return false;

  // The answer is one short header; it is read up to its blank line.
  std::string answer;
  char block[512];
  while (answer.find("\r\n\r\n") == std::string::npos && answer.size() < 4096) {
    const std::int64_t wait = left();
    if (wait <= 0) return false;
    std::size_t got = 0;
    const LinkStatus status = link->Read(block, sizeof block, got, static_cast<int>(wait));
    if (status == LinkStatus::Done && got > 0) {
      answer.append(block, got);
    } else if (status != LinkStatus::WouldBlock && status != LinkStatus::Done) {
      return false;
    }
  }
  return answer.rfind("cancel OK\r\n", 0) == 0;
}

}  // namespace kestrion
