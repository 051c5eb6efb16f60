// A scripted loopback server for protocol tests. It accepts one connection
// on 127.0.0.1, then plays its steps in order: each step waits for exact
// request bytes and answers canned bytes, optionally one byte per segment,
// or stays silent, or closes the link. Anything unexpected is recorded and
// ends the script.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kestrion_test {

class ScriptedServer {
 public:
  struct Step {
    std::string expect;          // bytes the client must send (empty: none)
    std::string reply;           // bytes sent back
    bool one_byte_segments = false;
    bool close_after = false;    // close the link after the reply
    bool silent = false;         // after `expect` (and `reply`), send nothing more and keep
                                 // the link open
  };

  // Listens on a free loopback port; the script starts when a client connects.
  ScriptedServer();
  ~ScriptedServer();
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  // Adds a step; call before the client connects.
  ScriptedServer& Then(Step step);
  ScriptedServer& Expect(std::string request, std::string reply) {
    return Then(Step{std::move(request), std::move(reply)});
  }

  std::uint16_t port() const { return port_; }
  // Waits (at most `timeout_ms`) until the script has run and the client
  // closed the link or went silent for the rest; answers the first mismatch
  // ("" when every step matched).
  std::string Finish(int timeout_ms = 5000);
  // Every byte received so far.
  std::string received() const;
  bool connected() const { return accepted_.load(); }

 private:
  void Run();
  bool ReadExact(int fd, std::size_t n, std::string& out);
  void Record(const std::string& failure);

  int listener_ = -1;
  std::uint16_t port_ = 0;
  std::vector<Step> steps_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> done_{false};
  std::atomic<bool> accepted_{false};
  mutable std::mutex mutex_;
  std::string received_;
  std::string failure_;
  bool started_ = false;
};

// A reply header: "<id> OK" CR LF, the given field lines, the blank line.
std::string OkReply(const std::string& id, const std::string& fields = "");

}  // namespace kestrion_test
