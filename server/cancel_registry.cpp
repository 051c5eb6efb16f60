#include "server/cancel_registry.h"

#include <random>

#include "server/session_interrupt.h"

namespace kestrion::server {

std::string CancelRegistry::NewKey() {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::random_device random;
  std::string key;
  for (int i = 0; i < 4; ++i) {
    std::uint32_t bits = random();
    for (int k = 0; k < 8; ++k, bits >>= 4) key.push_back(kDigits[bits & 0xF]);
  }
  return key;
}

void CancelRegistry::Add(int session, std::string key, SessionInterrupt* target) {
  std::lock_guard lock(mutex_);
  sessions_[session] = Entry{std::move(key), target};
}

void CancelRegistry::Remove(int session) {
  std::lock_guard lock(mutex_);
  sessions_.erase(session);
}

bool CancelRegistry::Cancel(int session, std::string_view key, std::string_view request) {
  std::lock_guard lock(mutex_);
  auto it = sessions_.find(session);
  if (it == sessions_.end() || key.size() != it->second.key.size()) return false;
  // Compared in full whatever differs, so the time taken tells nothing.
  unsigned char diff = 0;
  for (std::size_t i = 0; i < key.size(); ++i)
    diff |= static_cast<unsigned char>(key[i] ^ it->second.key[i]);
  if (diff != 0) return false;
  // Under the registry's lock, so the session cannot end meanwhile.
  it->second.target->Cancel(request);
  return true;
}

}  // namespace kestrion::server
