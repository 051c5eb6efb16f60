// The info lines of the driver log: one per request/reply, with the request's
// identifier and command, the statement id, the bytes sent and received, the
// time the exchange took and its result. Failed exchanges are also written at
// error level. Header contents are never written, so neither is the login's
// password (nor its Base64).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "toolbox/vstring.h"

namespace kestrion {

class CHConnection;

class ExchangeLog {
 public:
  // Starts the clock when the connection's log takes error lines or more.
  explicit ExchangeLog(const CHConnection& connection);
  bool active() const { return active_; }
  // Writes the line; `reply` is the reply header read (empty when none was).
  void Finish(const CHConnection& connection, std::string_view request_header,
              std::size_t body_bytes, const corvane::VString& reply) const;

 private:
  bool active_ = false;
  std::int32_t request_number_ = 0;
  std::size_t diagnostics_before_ = 0;
  std::chrono::steady_clock::time_point start_;
};

// The line's text, for a request `header` (its command on the first line),
// a reply header and the elapsed time; `failure` says why there is no reply
// when `reply` is empty. `ok` is set for a reply that opens with "OK".
std::string ExchangeLine(std::string_view request_id, std::string_view request_header,
                         std::size_t body_bytes, const corvane::VString& reply,
                         std::chrono::microseconds elapsed, std::string_view failure, bool& ok);

}  // namespace kestrion
