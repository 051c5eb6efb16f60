#include "protocol/connection_stream.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "driver/connection.h"

namespace kestrion {

namespace {

using Clock = std::chrono::steady_clock;

// Longest single wait on the link while a time-out runs, so that a TLS record
// that arrives in pieces cannot stretch the wait.
constexpr std::int64_t kSliceMs = 250;

std::int64_t ElapsedMs(Clock::time_point since) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count();
}

// Milliseconds of silence allowed; negative for none. A time-out of 0 still
// allows one second, as the time-out counts whole seconds.
std::int64_t SilenceLimitMs(const Session& s) {
  if (s.resynchronising) return 1000;
  if (s.read_timeout_seconds < 0) return -1;
  return std::max<std::int64_t>(s.read_timeout_seconds, 1) * 1000;
}

}  // namespace

bool OpenStream(CHConnection& connection, StreamMode mode) {
  Session& s = connection.session;
  if (s.mode == mode && s.link) return true;
  if (!s.LinkAlive()) {
    s.mode = StreamMode::Closed;
    connection.Post(SqlState::HY010, u"No database connection.");
    return false;
  }
  s.mode = mode;
  return true;
}

void CloseStream(CHConnection& connection) { connection.session.mode = StreamMode::Closed; }

bool StreamRead(CHConnection& connection, ReceiveBuffer& buffer, void* dst, std::size_t n) {
  Session& s = connection.session;
  if (!s.link) return false;
  if (!OpenStream(connection, StreamMode::Reading)) return false;
  s.current = &buffer;

  auto* out = static_cast<std::uint8_t*>(dst);
  auto take_buffered = [&] {
    const std::size_t k = std::min<std::size_t>(n, static_cast<std::size_t>(buffer.count));
    if (k == 0) return;
    std::memcpy(out, buffer.unconsumed(), k);
    buffer.Consume(static_cast<std::int32_t>(k));
    out += k;
    n -= k;
  };
  take_buffered();

  const std::int64_t limit = SilenceLimitMs(s);
  auto last_arrival = Clock::now();
  while (n > 0) {
    if (buffer.capacity <= 0 || !buffer.data) return false;
    // A read at least as large as the buffer goes straight to the caller.
    const bool direct = n >= static_cast<std::size_t>(buffer.capacity);
    std::uint8_t* into = direct ? out : buffer.data.get();
    const std::size_t room = direct ? n : static_cast<std::size_t>(buffer.capacity);

    int wait_ms = -1;
    if (limit >= 0) {
      const std::int64_t left = limit - ElapsedMs(last_arrival);
      wait_ms = static_cast<int>(std::clamp<std::int64_t>(left, 0, kSliceMs));
    }
    std::size_t got = 0;
    const LinkStatus status = s.link->Read(into, room, got, wait_ms);
    if (status == LinkStatus::Done && got > 0) {
      last_arrival = Clock::now();
      if (direct) {
        out += got;
        n -= got;
      } else {
        buffer.offset = 0;
        buffer.count = static_cast<std::int32_t>(got);
        take_buffered();
      }
      continue;
    }
    if (status != LinkStatus::WouldBlock && status != LinkStatus::Done) return false;
    if (limit >= 0 && ElapsedMs(last_arrival) >= limit) {
      s.out_of_step = true;
      connection.Post(SqlState::S08001, u"Timeout on network byte-reading.");
      return false;
    }
  }
  return true;
}

bool StreamWrite(CHConnection& connection, const void* src, std::size_t n) {
  Session& s = connection.session;
  if (!s.link) return false;
  if (!OpenStream(connection, StreamMode::Writing)) return false;
  return s.link->WriteAll(src, n, SilenceLimitMs(s));
}

bool ConnectionStream::ReadBytes(void* dst, std::size_t n) {
  // A body is decoded a few bytes at a time: bytes already received through
  // the current buffer are copied without going to the link or the clock.
  const Session& s = connection_.session;
  if (s.mode == StreamMode::Reading && s.current == &buffer_ && s.link &&
      n <= static_cast<std::size_t>(buffer_.count)) {
    std::memcpy(dst, buffer_.unconsumed(), n);
    buffer_.Consume(static_cast<std::int32_t>(n));
    return true;
  }
  return StreamRead(connection_, buffer_, dst, n);
}

bool ConnectionStream::WriteBytes(const void* src, std::size_t n) {
  return StreamWrite(connection_, src, n);
}

}  // namespace kestrion
