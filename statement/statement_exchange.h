// One statement's conversation with the server: the requests of a prepare,
// execute, fetch or close and the reading of their reply bodies. While it
// lives, the connection's query time-out bounds every silence of the link;
// what the connection records is copied to the statement.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "protocol/connection_stream.h"
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
  // The reply body of the last request, read through the statement's buffer.
  corvane::VStream& body() { return stream_; }

  // The connection-dead check that precedes every request: false, with
  // HY010 "No database connection." on the statement, when the link is gone.
  bool CheckConnection();

  // Sends a request (header and body in one send) through the statement's
  // receive buffer and reads the reply header. False on any failure, whose
  // diagnostics are then on the statement.
  bool Send(std::string_view header, std::span<const std::uint8_t> body = {},
            corvane::VString* reply = nullptr);

  // Copies what the connection recorded since the last copy to the
  // statement. A silence longer than the query time-out becomes HYT00 and
  // closes the link.
  void Sync();

  // Skips what the connection recorded since the last copy.
  void Forget();

  // Opens a server transaction when autocommit is off and none is open.
  bool BeginTransactionIfNeeded();

 private:
  CHStatement& statement_;
  CHConnection& connection_;
  ConnectionStream stream_;
  std::int32_t saved_timeout_;
  std::int32_t query_timeout_;
  std::size_t copied_ = 0;
};

// Server transactions of a connection with autocommit off (the driver
// opens one before the next execute when none is open).
bool TransactionOpen(const CHConnection& connection);
void SetTransactionOpen(CHConnection& connection, bool open);

// Sends "COMMIT" or "ROLLBACK" as a statement through `buffer`; the reply's
// update count is consumed so that the link stays in step. Diagnostics are
// left on the connection.
bool SendTransactionEnd(CHConnection& connection, ReceiveBuffer& buffer, bool commit);

}  // namespace kestrion
