// The connection's byte stream: reads come from a receive buffer refilled
// from the link, writes go straight to the link. Body encoders and decoders
// use it through the toolbox stream interface.
#pragma once

#include <cstddef>

#include "protocol/receive_buffer.h"
#include "protocol/session.h"
#include "toolbox/stream.h"

namespace kestrion {

class CHConnection;

// Opens the connection's stream for reading or writing. Switching direction
// first probes the link; a dead one posts HY010 "No database connection.".
bool OpenStream(CHConnection& connection, StreamMode mode);
void CloseStream(CHConnection& connection);

// Reads exactly `n` bytes through `buffer` (which becomes the current one).
// While a read time-out applies, more silence than it allows posts 08001
// "Timeout on network byte-reading." and fails the read.
bool StreamRead(CHConnection& connection, ReceiveBuffer& buffer, void* dst, std::size_t n);
// Writes all `n` bytes to the link.
bool StreamWrite(CHConnection& connection, const void* src, std::size_t n);

class ConnectionStream : public corvane::VStream {
 public:
  // Reads go through `buffer`; typically the one the reply header was read
  // with, so that the body starts with the first byte after the header.
  ConnectionStream(CHConnection& connection, ReceiveBuffer& buffer)
      : connection_(connection), buffer_(buffer) {}

 protected:
  bool ReadBytes(void* dst, std::size_t n) override;
  bool WriteBytes(const void* src, std::size_t n) override;

 private:
  CHConnection& connection_;
  ReceiveBuffer& buffer_;
};

}  // namespace kestrion
