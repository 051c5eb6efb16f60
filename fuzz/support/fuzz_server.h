// A loopback server for driver-side fuzz targets. Each accepted connection
// receives, without waiting for any request, the bytes set with Serve(): a
// LOGIN answer and then the fuzz input, in which every "@@" is replaced by
// the identifier of the next request the driver will send (its connection
// number and a request number counted from 1). Then the server ends its side
// of the stream and discards what the driver sends until it closes, so that
// the driver never waits for a reply that will not come: it reads bytes or
// the end of the stream.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace kestrion_fuzz {

class FuzzServer {
 public:
  FuzzServer();
  ~FuzzServer();
  FuzzServer(const FuzzServer&) = delete;
  FuzzServer& operator=(const FuzzServer&) = delete;

  std::uint16_t port() const { return port_; }
  // The bytes for the next connection of connection number `connection`.
  void Serve(std::int32_t connection, std::string_view replies);

 private:
  void Run();

  int listener_ = -1;
  std::uint16_t port_ = 0;
  std::mutex mutex_;
  std::string next_;
  std::thread thread_;
};

}  // namespace kestrion_fuzz
