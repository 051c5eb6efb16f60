// The connection's byte stream: reads come from a receive buffer refilled
// from the link in blocks, writes go straight to the link. Body encoders and
// decoders use it through the toolbox stream interface.
//
// Reads and writes post nothing: a failure records its cause in the
// session (time-out, lost link, no link) and the caller posts it with
// PostLinkFailure. A time-out or a lost link closes the link and marks the
// connection dead, since a late reply would no longer match its request.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "protocol/receive_buffer.h"
#include "protocol/session.h"
#include "toolbox/stream.h"

namespace kestrion {

class CHConnection;

// Opens the connection's stream for reading or writing. Switching direction
// first probes the link; a dead one is closed (cause: lost link).
bool OpenStream(CHConnection& connection, StreamMode mode);
void CloseStream(CHConnection& connection);

// Reads at least one byte from the link into `buffer`, which must hold no
// unconsumed bytes, waiting no longer than the session's deadline.
bool FillBuffer(CHConnection& connection, ReceiveBuffer& buffer);

// Receives into `buffer` until it holds at least `n` unconsumed bytes,
// growing it when needed, within the session's deadline. False when the
// memory or the bytes cannot be had (a failed read is recorded as for any
// read).
bool ReceiveAtLeast(CHConnection& connection, ReceiveBuffer& buffer, std::int32_t n);

// Reads and drops exactly `n` bytes through `buffer` (which becomes the
// current one): the bytes it holds first, then blocks from the link.
bool StreamSkip(CHConnection& connection, ReceiveBuffer& buffer, std::int64_t n);

// Reads exactly `n` bytes through `buffer` (which becomes the current one).
bool StreamRead(CHConnection& connection, ReceiveBuffer& buffer, void* dst, std::size_t n);
// Writes all `n` bytes to the link.
bool StreamWrite(CHConnection& connection, const void* src, std::size_t n);

// One read of the link into `into` that brings at least one byte, waiting
// until `until` at the latest (none: without limit). The clock is read only
// when nothing has arrived yet. Records nothing in the session.
LinkFailure ReadLink(Session& session, void* into, std::size_t room, std::size_t& got,
                     const std::optional<DeadlineClock::time_point>& until);

// One read for the reply under way (header or body) that brings at least one
// byte, within the session's deadline, stopped by SQLCancel. When the
// deadline passes or a cancel comes, a server that can cancel gets a CANCEL
// for the request and the wait goes on for its answer; otherwise (or when
// no answer comes) the wait ends with kTimeout or kCanceled.
LinkFailure AwaitReply(Session& session, void* into, std::size_t room, std::size_t& got);

// Posts the recorded cause of the last failed read or write, first in the
// call's records: HYT00 for a time-out, HY008 for a cancel that cost the
// link, 08S01 for a lost link, HY010 when
// the connection was never connected. `what` says what was being done.
void PostLinkFailure(CHConnection& connection, std::u16string_view what);

class ConnectionStream : public corvane::VStream {
 public:
  // Reads go through `buffer`; typically the one the reply header was read
  // with, so that the body starts with the first byte after the header.
  ConnectionStream(CHConnection& connection, ReceiveBuffer& buffer)
      : connection_(connection), buffer_(buffer) {}

  // Bounds the reads to the `bytes` of a body whose size the reply
  // announced; none: unbounded. A read past the bound fails at once.
  void LimitBody(std::optional<std::int64_t> bytes) {
    body_left_ = bytes;
    overran_ = false;
  }
  // Bytes of the announced body not read yet; none when no size was given.
  std::optional<std::int64_t> body_left() const { return body_left_; }
  // Whether a read asked for more than the announced body holds.
  bool overran() const { return overran_; }

  // The rest of an announced body when all of it has been received, so that
  // a decoder may read it in place; empty otherwise.
  std::span<const std::uint8_t> BufferedBody() const;
  // Settles `consumed` bytes of BufferedBody() read in place, and the error
  // the in-place reading ended with (a read past its end is an overrun).
  void SettleBuffered(std::size_t consumed, corvane::VStreamError error);

 protected:
  bool ReadBytes(void* dst, std::size_t n) override;
  bool WriteBytes(const void* src, std::size_t n) override;

 private:
  CHConnection& connection_;
  ReceiveBuffer& buffer_;
  std::optional<std::int64_t> body_left_;
  bool overran_ = false;
};

}  // namespace kestrion
