// A loopback proxy between a client and a server for fault-injection tests.
// Requests pass unchanged; the server's replies are cut into whole replies
// (the header up to its blank line, then as many body bytes as its
// Body-Length announces) and each reply can be damaged on its way to the
// client: the link closed after byte N, a stall, bytes flipped or inserted,
// header text rewritten, a stray reply slipped in, or random mutation of
// every byte at a given rate.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kestrion_test {

class FaultProxy {
 public:
  struct Fault {
    enum class Kind {
      kCloseAt,      // forward `at` bytes of the reply, then close both links
      kStallAt,      // forward `at` bytes, wait `stall_ms`, then the rest
      kTrickle,      // one byte every `stall_ms` milliseconds
      kFlipAt,       // invert the bits of byte `at`
      kInsertAt,     // insert `text` before byte `at`
      kRewrite,      // replace the header line that holds `from`, from there
                     // to its end, with `to`
      kStrayAfter,   // send `text` right after the reply
      kMutate,       // from this reply on, each byte flipped, dropped or
                     // doubled with probability `rate`; seeded with `seed`
                     // plus the number of connections accepted before
    };
    Kind kind = Kind::kCloseAt;
    int reply = 0;  // the reply it applies to: 0 is the LOGIN reply
    std::size_t at = 0;
    bool in_body = false;  // `at` counts from the first body byte
    int stall_ms = 0;
    std::string text;
    std::string from, to;
    double rate = 0;
    std::uint32_t seed = 1;
  };

  // Listens on a free loopback port; each accepted client is connected to
  // 127.0.0.1:`upstream` and given the faults planned at that time.
  explicit FaultProxy(int upstream);
  ~FaultProxy();
  FaultProxy(const FaultProxy&) = delete;
  FaultProxy& operator=(const FaultProxy&) = delete;

  int port() const { return port_; }
  // Replaces the faults for the connections accepted from now on.
  void Plan(std::vector<Fault> faults);
  // Replies forwarded so far on all connections.
  int replies() const { return replies_.load(); }

 private:
  void Accept();
  void Pump(int client, std::vector<Fault> faults);

  int listener_ = -1;
  int port_ = 0;
  int upstream_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> replies_{0};
  int accepted_ = 0;
  std::mutex mutex_;
  std::vector<Fault> plan_;
  std::vector<std::thread> pumps_;
  std::thread acceptor_;
};

}  // namespace kestrion_test
