// One statement's conversation with the server: the requests of a prepare,
// execute, fetch or close and the reading of their reply bodies. The
// connection's query time-out bounds each request and the whole of its reply
// (resynchronisation included); what the connection records is copied to the
// statement.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "protocol/connection_stream.h"
#include "protocol/reply_field.h"
#include "toolbox/vstring.h"

namespace kestrion {

class CHConnection;
class CHStatement;
class CSQLHandle;

class StatementExchange {
 public:
  explicit StatementExchange(CHStatement& statement);
  ~StatementExchange();
  StatementExchange(const StatementExchange&) = delete;
  StatementExchange& operator=(const StatementExchange&) = delete;

  CHConnection& connection() { return connection_; }
  // The reply body of the last request, read through the statement's buffer
  // and bounded by the body size the reply announced (when it did).
  ConnectionStream& body() { return stream_; }

  // The connection-dead check that precedes every request: false, with
  // 08S01 on the statement, when the link is gone.
  bool CheckConnection();
  // The same check without the probe (a system call) before a request that
  // leaves next: a link the server closed is then found by the request
  // itself, whose reply cannot be read (08S01).
  bool CheckOpen();

  // The fields of the reply header that the last Send or ReadNext of this
  // exchange read into `reply`, indexed once for all lookups (indexed anew
  // when `reply` is another text).
  const ReplyFields& FieldsOf(const corvane::VString& reply);

  // Posts on the statement why reading the reply body failed: the lost link
  // or time-out when that was the cause, else a malformed body (HY000 with
  // `what`). The link is put back in step, or closed when it cannot be.
  void PostBodyFailure(std::u16string_view what);

  // Skips the rest of the last reply's body after its header was refused:
  // by its announced size, else by resynchronising (the link is closed when
  // neither works). Posts nothing.
  void DiscardBody();

  // Sends a request (header and body in one send) through the statement's
  // receive buffer and reads the reply header. False on any failure, whose
  // diagnostics are then on the statement.
  bool Send(std::string_view header, std::span<const std::uint8_t> body = {},
            corvane::VString* reply = nullptr);

  // Requests framed together (FrameRequest, protocol/request.h) for a
  // server with the pipeline capability: SendFramed sends them in one
  // write, ReadNext reads the reply to the request `id` (the one framed
  // next) and bounds its body like Send. False on any failure, whose
  // diagnostics are then on the statement.
  bool SendFramed(const std::vector<std::uint8_t>& requests);
  bool ReadNext(std::string_view id, corvane::VString* reply);

  // Reads the reply to the request this statement sent ahead (`id`, with
  // its space), within the query time-out, and bounds its body like Send.
  bool ReadSentAhead(std::string_view id, corvane::VString* reply);

  // Skips the reply to the request sent ahead, within the query time-out.
  void SkipSentAhead();

  // Copies what the connection recorded since the last copy to the
  // statement.
  void Sync();

  // Skips what the connection recorded since the last copy.
  void Forget();

  // Opens a server transaction when autocommit is off and none is open.
  bool BeginTransactionIfNeeded();

 private:
  // Posts 08S01 for a lost link, 08003 for none; false.
  bool PostNoLink();
  // Indexes the reply just read into `reply` (forgets the index: null), so
  // that an index never outlives the text it points into.
  void IndexReply(const corvane::VString* reply);

  CHStatement& statement_;
  CHConnection& connection_;
  ConnectionStream stream_;
  std::optional<DeadlineClock::time_point> saved_deadline_;
  std::int32_t query_timeout_;
  std::optional<ReplyFields> fields_;
  std::size_t copied_ = 0;
};

// Server transactions of a connection with autocommit off (the driver
// opens one before the next execute when none is open).
bool TransactionOpen(const CHConnection& connection);
void SetTransactionOpen(CHConnection& connection, bool open);

// Sends "COMMIT" or "ROLLBACK" as a statement through `buffer`; the reply's
// update count is consumed so that the link stays in step. Diagnostics are
// left on the connection: a COMMIT whose request left but whose answer was
// lost with the link is 08007, as it may or may not have taken effect.
bool SendTransactionEnd(CHConnection& connection, ReceiveBuffer& buffer, bool commit);

// Whether the link of a connection was lost while it was connected.
bool ConnectionDead(const CHConnection& connection);

}  // namespace kestrion
