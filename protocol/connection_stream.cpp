#include "protocol/connection_stream.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>

#include "driver/connection.h"

namespace kestrion {

namespace {

// Records a failure; a time-out, a cancel or a lost link leaves the link
// unusable.
bool Fail(Session& s, LinkFailure failure) {
  s.failure = failure;
  if (failure != LinkFailure::kNone && failure != LinkFailure::kNoLink) s.MarkDead();
  return false;
}

// How long the answer of an interrupted request is awaited from the moment
// the driver decides to cancel, the CANCEL exchange included; the server
// answers within milliseconds, so this bounds what a time-out may add.
constexpr auto kCancelAnswerTime = std::chrono::milliseconds(1500);
// The part of it the CANCEL connection itself may take.
constexpr std::int64_t kCancelRequestMs = 1000;
// Without a wake-up descriptor, how often a wait looks for a cancel.
constexpr int kCancelPollMs = 50;

// The identifier of the request whose reply `s` awaits ("3.17").
std::string AwaitedRequest(const Session& s) {
  if (s.current == nullptr) return {};
  std::string id = s.current->expected_prefix.ToUtf8();
  if (!id.empty() && id.back() == ' ') id.pop_back();
  return id;
}

// Interrupts the request under way for `cause`: through CANCEL when the
// server can cancel (the wait then goes on for its answer), else nothing
// can be done but give up the link. False when the wait must end.
bool Interrupt(Session& s, InterruptCause cause) {
  s.interruption.cause = cause;
  s.interruption.answer_by = DeadlineClock::now() + kCancelAnswerTime;
  if (!s.capabilities.cancel() || !s.cancel_target.usable()) return false;
  return SendCancelRequest(s.cancel_target, AwaitedRequest(s), kCancelRequestMs);
}

}  // namespace

LinkFailure AwaitReply(Session& s, void* into, std::size_t room, std::size_t& got) {
  got = 0;
  if (!s.link) return LinkFailure::kNoLink;
  bool try_first = !s.reply_pending;
  s.reply_pending = false;
  for (;; try_first = true) {
    // Whatever has arrived is taken without waiting and without the clock.
    if (try_first) {
      const LinkStatus status = s.link->Read(into, room, got, 0);
      if (status == LinkStatus::Done && got > 0) return LinkFailure::kNone;
      if (status != LinkStatus::WouldBlock && status != LinkStatus::Done) return LinkFailure::kLost;
    }

    const auto now = DeadlineClock::now();
    std::optional<DeadlineClock::time_point> until = s.deadline;
    int wake_fd = -1;
    if (s.interruption.cause == InterruptCause::kNone) {
      InterruptCause cause = InterruptCause::kNone;
      if (s.cancel_signal.requested()) {
        cause = InterruptCause::kCancel;
      } else if (s.deadline && now >= *s.deadline) {
        cause = InterruptCause::kTimeout;
      }
      if (cause != InterruptCause::kNone) {
        if (Interrupt(s, cause)) continue;
        return cause == InterruptCause::kTimeout ? LinkFailure::kTimeout : LinkFailure::kCanceled;
      }
      wake_fd = s.cancel_signal.wake_fd();
    } else {
      // CANCEL went out: the answer (an error, or the result when the request
      // finished first) keeps the link in step; only its absence costs it.
      if (now >= s.interruption.answer_by) {
        return s.interruption.cause == InterruptCause::kTimeout ? LinkFailure::kTimeout
                                                                : LinkFailure::kCanceled;
      }
      until = s.interruption.answer_by;
    }
    int wait_ms = -1;
    if (until) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*until - now).count();
      wait_ms = static_cast<int>(std::clamp<std::int64_t>(left, 0, INT_MAX));
    }
    if (s.interruption.cause == InterruptCause::kNone && wake_fd < 0) {
      wait_ms = wait_ms < 0 ? kCancelPollMs : std::min(wait_ms, kCancelPollMs);
    }
    s.link->WaitReadable(wake_fd, wait_ms);
  }
}

LinkFailure ReadLink(Session& s, void* into, std::size_t room, std::size_t& got,
                     const std::optional<DeadlineClock::time_point>& until) {
  got = 0;
  if (!s.link) return LinkFailure::kNoLink;
  for (;;) {
    // Whatever has arrived is taken without waiting and without the clock.
    LinkStatus status = s.link->Read(into, room, got, 0);
    if (status == LinkStatus::Done && got > 0) return LinkFailure::kNone;
    if (status != LinkStatus::WouldBlock && status != LinkStatus::Done) return LinkFailure::kLost;
    int wait_ms = -1;
    if (until) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(*until - DeadlineClock::now())
              .count();
      if (left <= 0) return LinkFailure::kTimeout;
      wait_ms = static_cast<int>(std::min<std::int64_t>(left, INT_MAX));
    }
    status = s.link->Read(into, room, got, wait_ms);
    if (status == LinkStatus::Done && got > 0) return LinkFailure::kNone;
    if (status != LinkStatus::WouldBlock && status != LinkStatus::Done) return LinkFailure::kLost;
  }
}

bool OpenStream(CHConnection& connection, StreamMode mode) {
  Session& s = connection.session;
  if (s.mode == mode && s.link) return true;
  if (!s.link) {
    s.failure = LinkFailure::kNoLink;
    return false;
  }
  // Before writing, a link the server closed is found without sending into
  // it. A read needs no probe: a closed link answers the read itself, after
  // any bytes the server sent before closing.
  if (mode == StreamMode::Writing) {
    if (s.alive_before_request == s.request_number) {
      // Probed by this call just before the request was framed.
      s.alive_before_request = -1;
    } else if (!s.LinkAlive()) {
      return Fail(s, LinkFailure::kLost);
    }
  }
  s.mode = mode;
  return true;
}

void CloseStream(CHConnection& connection) { connection.session.mode = StreamMode::Closed; }

bool FillBuffer(CHConnection& connection, ReceiveBuffer& buffer) {
  Session& s = connection.session;
  if (!OpenStream(connection, StreamMode::Reading)) return false;
  s.current = &buffer;
  if (buffer.capacity <= 0 || !buffer.data || buffer.count > 0) return Fail(s, LinkFailure::kLost);
  std::size_t got = 0;
  const LinkFailure failure =
      AwaitReply(s, buffer.data.get(), static_cast<std::size_t>(buffer.capacity), got);
  if (failure != LinkFailure::kNone) return Fail(s, failure);
  buffer.offset = 0;
  buffer.count = static_cast<std::int32_t>(got);
  return true;
}

bool ReceiveAtLeast(CHConnection& connection, ReceiveBuffer& buffer, std::int32_t n) {
  if (buffer.count >= n) return true;
  Session& s = connection.session;
  if (!OpenStream(connection, StreamMode::Reading)) return false;
  s.current = &buffer;
  if (!buffer.data || !buffer.Reserve(n)) return false;
  while (buffer.count < n) {
    std::uint8_t* tail = buffer.data.get() + buffer.offset + buffer.count;
    const auto room = static_cast<std::size_t>(buffer.capacity - buffer.offset - buffer.count);
    std::size_t got = 0;
    const LinkFailure failure = AwaitReply(s, tail, room, got);
    if (failure != LinkFailure::kNone) return Fail(s, failure);
    buffer.count += static_cast<std::int32_t>(got);
  }
  return true;
}

bool StreamSkip(CHConnection& connection, ReceiveBuffer& buffer, std::int64_t n) {
  if (!OpenStream(connection, StreamMode::Reading)) return false;
  connection.session.current = &buffer;
  while (n > 0) {
    if (buffer.count == 0 && !FillBuffer(connection, buffer)) return false;
    const auto k = static_cast<std::int32_t>(std::min<std::int64_t>(n, buffer.count));
    buffer.Consume(k);
    n -= k;
  }
  return true;
}

bool StreamRead(CHConnection& connection, ReceiveBuffer& buffer, void* dst, std::size_t n) {
  Session& s = connection.session;
  auto* out = static_cast<std::uint8_t*>(dst);
  // The usual case of a body decoder: the bytes are buffered already.
  if (s.mode == StreamMode::Reading && s.current == &buffer &&
      n <= static_cast<std::size_t>(buffer.count)) {
    std::memcpy(out, buffer.unconsumed(), n);
    buffer.Consume(static_cast<std::int32_t>(n));
    return true;
  }
  if (!OpenStream(connection, StreamMode::Reading)) return false;
  s.current = &buffer;
  while (n > 0) {
    const std::size_t k = std::min<std::size_t>(n, static_cast<std::size_t>(buffer.count));
    if (k > 0) {
      std::memcpy(out, buffer.unconsumed(), k);
      buffer.Consume(static_cast<std::int32_t>(k));
      out += k;
      n -= k;
      continue;
    }
    if (n >= static_cast<std::size_t>(buffer.capacity)) {
      // A read at least as large as the buffer goes straight to the caller.
      std::size_t got = 0;
      const LinkFailure failure = AwaitReply(s, out, n, got);
      if (failure != LinkFailure::kNone) return Fail(s, failure);
      out += got;
      n -= got;
    } else if (!FillBuffer(connection, buffer)) {
      return false;
    }
  }
  return true;
}

bool StreamWrite(CHConnection& connection, const void* src, std::size_t n) {
  Session& s = connection.session;
  if (!OpenStream(connection, StreamMode::Writing)) return false;
  if (s.link->WriteAll(src, n, s.RemainingMs())) return true;
  return Fail(s, s.deadline && s.RemainingMs() == 0 ? LinkFailure::kTimeout : LinkFailure::kLost);
}

void PostLinkFailure(CHConnection& connection, std::u16string_view what) {
  Session& s = connection.session;
  corvane::VString message(what);
  switch (s.failure) {
    case LinkFailure::kTimeout:
      message += u" The server did not answer within the time-out; the connection was closed.";
      connection.Post(SqlState::HYT00, message);
      break;
    case LinkFailure::kCanceled:
      message += u" The statement was canceled; the connection was closed, as the server "
                 u"could not cancel the request on it.";
      connection.Post(SqlState::HY008, message);
      break;
    case LinkFailure::kNoLink:
      if (!s.dead) {
        connection.Post(SqlState::HY010, u"No SQLConnect done on this ConnectionHandle.");
        break;
      }
      [[fallthrough]];
    case LinkFailure::kLost:
    case LinkFailure::kNone:
      message += u" The link to the server is lost.";
      connection.Post(SqlState::S08S01, message);
      break;
  }
}

bool ConnectionStream::ReadBytes(void* dst, std::size_t n) {
  if (body_left_) {
    if (static_cast<std::int64_t>(n) > *body_left_) {
      overran_ = true;
      return false;
    }
    *body_left_ -= static_cast<std::int64_t>(n);
  }
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

std::span<const std::uint8_t> ConnectionStream::BufferedBody() const {
  // The link may meanwhile carry the next request (a page asked for ahead):
  // the bytes in the buffer are this body's all the same.
  if (!ok() || !body_left_ || *body_left_ <= 0 || *body_left_ > buffer_.count ||
      !connection_.session.link) {
    return {};
  }
  return {buffer_.unconsumed(), static_cast<std::size_t>(*body_left_)};
}

void ConnectionStream::SettleBuffered(std::size_t consumed, corvane::VStreamError error) {
  const auto n = static_cast<std::int32_t>(
      std::min<std::int64_t>(static_cast<std::int64_t>(consumed), body_left_.value_or(0)));
  buffer_.Consume(n);
  if (body_left_) *body_left_ -= n;
  // The stream is left as reading it through the link would have left it.
  if (n > 0 && OpenStream(connection_, StreamMode::Reading)) connection_.session.current = &buffer_;
  if (error == corvane::VStreamError::kShortRead) overran_ = true;
  if (error != corvane::VStreamError::kNone) Fail(error);
}

bool ConnectionStream::WriteBytes(const void* src, std::size_t n) {
  return StreamWrite(connection_, src, n);
}

}  // namespace kestrion
