// The protocol state of a connection: its link, receive buffer, request
// numbering and the settings taken at login.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "protocol/cancel_request.h"
#include "protocol/cancel_signal.h"
#include "protocol/capabilities.h"
#include "protocol/link.h"
#include "protocol/receive_buffer.h"
#include "toolbox/vstring.h"

namespace kestrion {

// Direction the connection's byte stream is open in.
enum class StreamMode { Closed, Reading, Writing };

using DeadlineClock = std::chrono::steady_clock;

// Why the last read or write of the link failed; the caller that posts the
// diagnostic names this cause first.
enum class LinkFailure {
  kNone,
  kTimeout,  // the call's deadline passed
  kLost,     // the server closed the link, or it failed
  kNoLink,   // there is no link (never connected, or lost earlier)
  kCanceled, // SQLCancel stopped the wait and the link had to be closed
};

// Why the server was asked to interrupt the request whose reply is awaited.
enum class InterruptCause { kNone, kCancel, kTimeout };

struct Interruption {
  InterruptCause cause = InterruptCause::kNone;
  // After CANCEL went out, the interrupted request's answer is awaited until
  // then; a server that does not answer by then costs the link.
  DeadlineClock::time_point answer_by{};
};

// A request sent before its reply is needed (the next page of a result read
// forward): its identifier ("3.17") and the buffer its reply is read
// through, which may already hold the start of that reply.
struct ReadAhead {
  std::string id;
  ReceiveBuffer* buffer = nullptr;
};

struct Session {
  // Set at login, reset at disconnect.
  corvane::VString data_source_name = u"DEFAULT";
  corvane::VString server_address = u"127.0.0.1";
  std::uint16_t port = 19812;
  corvane::VString user_name;
  bool tls = false;
  // Sent with EXECUTE-STATEMENT: FIRST-PAGE-SIZE and PREFERRED-IMAGE-TYPES.
  corvane::VString first_page_size;
  corvane::VString preferred_image_types;
  // What the server announced at login ("Capabilities:").
  ServerCapabilities capabilities;
  // Where to send CANCEL (servers with the cancel capability).
  CancelTarget cancel_target;
  // SQLCancel from another thread; used without the call lock.
  CancelSignal cancel_signal;
  // Set when the request under way was interrupted; cleared by each request.
  Interruption interruption;
  // Kept results whose close goes out with the next request (servers with
  // the deferred-close capability).
  std::vector<std::int32_t> pending_closes;

  // The request sent ahead whose reply is still on the link. A statement
  // that wants it reads it; anything else sent on the connection first
  // reads and skips it.
  std::optional<ReadAhead> read_ahead;

  // Number of the next request; survives disconnects.
  std::int32_t request_number = 0;

  // Present while connected (TLS channel included).
  std::unique_ptr<Link> link;
  // The connection's own receive buffer (LOGIN, LOGOUT, QUIT).
  ReceiveBuffer own_buffer;
  // The buffer the link's reads currently go through.
  ReceiveBuffer* current = nullptr;
  StreamMode mode = StreamMode::Closed;

  // The moment by which the exchange under way must be over; none: no limit.
  // Login sets it for connect, TLS and LOGIN together; a statement sets it for
  // each request and the whole of its reply (resynchronisation included).
  std::optional<DeadlineClock::time_point> deadline;
  bool resynchronising = false;
  // Resynchronisations so far: one during a run of pipelined requests means
  // the replies still awaited were skipped with everything else.
  std::uint32_t resynchronisations = 0;
  LinkFailure failure = LinkFailure::kNone;
  // Set when the link was lost while connected (closed, failed, timed out,
  // or out of step beyond repair). Calls that need the server then answer
  // 08S01 until the application disconnects.
  bool dead = false;

  // Set when a request has just left: its reply cannot be there yet, so the
  // first read waits for it instead of trying once in vain.
  bool reply_pending = false;

  // Reused for each request so that header and body leave in one send.
  std::vector<std::uint8_t> send_buffer;

  // The liveness probe behind SQL_ATTR_CONNECTION_DEAD: false without a link,
  // or when the link is found closed or failed.
  bool LinkAlive() const {
    if (!link || !link->IsAlive()) return false;
    alive_before_request = request_number;
    return true;
  }
  // The request number at the last probe that found the link alive: the
  // request framed right after such a probe is sent without probing again
  // (the number follows the framing; the send clears it).
  mutable std::int32_t alive_before_request = -1;
  // Lets the next request leave without a probe: a closed link then answers
  // it with a failed read of its reply (08S01) instead of before its send.
  // For requests whose every outcome is told apart (not a transaction end,
  // where a probe tells "not sent" from "sent and lost").
  void SendNextUnprobed() const { alive_before_request = request_number; }

  // Sets the deadline `seconds` from now (at least one second); a negative
  // value means no deadline.
  void SetDeadlineSeconds(std::int32_t seconds) {
    if (seconds < 0) {
      deadline.reset();
    } else {
      deadline = DeadlineClock::now() + std::chrono::seconds(seconds < 1 ? 1 : seconds);
    }
  }
  // Milliseconds left before the deadline (0 when it passed); -1 without one.
  std::int64_t RemainingMs() const {
    if (!deadline) return -1;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          *deadline - DeadlineClock::now()).count();
    return left > 0 ? left : 0;
  }
  // Closes the link after it was lost; the connection stays dead until it is
  // disconnected.
  void MarkDead() {
    link.reset();
    mode = StreamMode::Closed;
    current = nullptr;
    read_ahead.reset();
    dead = true;
  }
};

}  // namespace kestrion
