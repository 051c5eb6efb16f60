// CANCEL: asks a server that announced the "cancel" capability to interrupt
// a request of a session, over a short second connection. The session is
// named by the "Session-ID" and "Cancel-Key" fields of its LOGIN reply; a
// server ignores a key that does not match.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "protocol/tls_verification.h"

namespace kestrion {

class ServerCapabilities;

// Where and how to reach the session again, kept at login.
struct CancelTarget {
  std::string host;
  std::uint16_t port = 0;
  bool tls = false;
  TlsVerifyMode verify = TlsVerifyMode::None;
  std::string ca_file;
  std::string session_id;
  std::string key;

  // Whether the server can cancel and named the session.
  bool usable() const { return !session_id.empty() && !key.empty(); }
  void Clear() { *this = CancelTarget(); }
};

// The session's id and key from a LOGIN reply header; empty when either is
// missing or not a plain token (so that nothing odd goes into a request).
void ReadCancelFields(std::u16string_view reply, CancelTarget& target);

// The CANCEL request's header, without its identifier.
std::string CancelHeader(const CancelTarget& target, std::string_view request_id);

// Connects, sends CANCEL for `request_id` and waits for the answer, in at
// most `timeout_ms` in all. True when the server answered; the request
// itself may have finished already, which the caller learns from its reply.
bool SendCancelRequest(const CancelTarget& target, std::string_view request_id,
                       std::int64_t timeout_ms);

}  // namespace kestrion
