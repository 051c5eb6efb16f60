// The sessions that can be cancelled from another client connection: each
// logged-in session is listed under its number with a random cancel key,
// which its LOGIN reply gives to its own client only. A CANCEL request must
// name both, so no client can cancel another's statements.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <string_view>

namespace kestrion::server {

class SessionInterrupt;

class CancelRegistry {
 public:
  // A new random key: 32 hexadecimal digits.
  static std::string NewKey();

  // Lists a session; `target` must stay alive until Remove.
  void Add(int session, std::string key, SessionInterrupt* target);
  void Remove(int session);
  // Cancels request `request` of `session` when `key` is the session's key;
  // anything else is ignored. Answers whether the key matched (for logs).
  bool Cancel(int session, std::string_view key, std::string_view request);

 private:
  struct Entry {
    std::string key;
    SessionInterrupt* target;
  };
  std::mutex mutex_;
  std::map<int, Entry> sessions_;
};

}  // namespace kestrion::server
