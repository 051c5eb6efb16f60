#include "statement/statement_exchange.h"

#include <string>

#include "driver/connection.h"
#include "driver/statement.h"
#include "protocol/connection_attributes.h"
#include "protocol/reply_field.h"
#include "protocol/request.h"
#include "statement/reply_lists.h"

namespace kestrion {

using corvane::VString;

namespace {

constexpr std::u16string_view kReadTimeoutText = u"Timeout on network byte-reading.";

std::string ExecuteHeader(std::u16string_view text) {
  std::string header = "EXECUTE-STATEMENT\r\nSTATEMENT-BASE64: ";
  header += Base64OfText(text);
  header += "\r\nOUTPUT-MODE: RELEASE";
  return header;
}

// Reads the update count that follows the reply of a transaction statement,
// so that nothing of it is left on the link.
void ConsumeUpdateCount(CHConnection& connection, ReceiveBuffer& buffer, const VString& reply) {
  ReplyLists lists;
  lists.ReadDescription(reply, true, false);
  if (lists.result_type.has_item() && lists.result_type.front() == u"Update-Count") {
    std::int32_t count = 0;
    ConnectionStream stream(connection, buffer);
    stream.GetI32(count);
  }
}

}  // namespace

StatementExchange::StatementExchange(CHStatement& statement)
    : statement_(statement),
      connection_(*statement.connection()),
      stream_(connection_, statement.state.buffer),
      saved_timeout_(connection_.session.read_timeout_seconds),
      query_timeout_(ReadConnectionAttribute(connection_, SQL_ATTR_QUERY_TIMEOUT, 0)) {
  copied_ = connection_.diagnostics().size();
  connection_.session.read_timeout_seconds = query_timeout_ > 0 ? query_timeout_ : -1;
}

StatementExchange::~StatementExchange() {
  Sync();
  connection_.session.read_timeout_seconds = saved_timeout_;
}

bool StatementExchange::CheckConnection() {
  if (connection_.session.LinkAlive()) return true;
  statement_.Post(SqlState::HY010, u"No database connection.");
  return false;
}

bool StatementExchange::Send(std::string_view header, std::span<const std::uint8_t> body,
                             VString* reply) {
  stream_.ClearError();
  const std::size_t before = connection_.diagnostics().size();
  SendRequest(connection_, statement_.state.buffer, header, body, reply);
  const bool ok = !ErrorSince(connection_, before);
  Sync();
  return ok;
}

void StatementExchange::Sync() {
  const auto& records = connection_.diagnostics();
  bool timed_out = false;
  for (; copied_ < records.size(); ++copied_) {
    const DiagnosticRecord& r = records[copied_];
    if (query_timeout_ > 0 && r.state == SqlState::S08001 && r.message == kReadTimeoutText) {
      timed_out = true;
      continue;
    }
    statement_.Post(r.state, r.message, r.native_error);
  }
  if (timed_out) {
    statement_.Post(SqlState::HYT00, u"The query time-out expired; the connection was closed.");
    // The server may still answer the request later: the link cannot be used
    // again, so the connection reports itself dead from now on.
    connection_.session.link.reset();
    connection_.session.mode = StreamMode::Closed;
    connection_.transaction_link = nullptr;
  }
}

void StatementExchange::Forget() { copied_ = connection_.diagnostics().size(); }

bool StatementExchange::BeginTransactionIfNeeded() {
  if (ReadConnectionAttribute(connection_, SQL_ATTR_AUTOCOMMIT, SQL_AUTOCOMMIT_ON) !=
      SQL_AUTOCOMMIT_OFF) {
    return true;
  }
  if (TransactionOpen(connection_)) return true;
  VString reply;
  if (!Send(ExecuteHeader(u"START TRANSACTION"), {}, &reply)) return false;
  ConsumeUpdateCount(connection_, statement_.state.buffer, reply);
  SetTransactionOpen(connection_, true);
  return true;
}

bool TransactionOpen(const CHConnection& connection) {
  return connection.transaction_link != nullptr &&
         connection.transaction_link == connection.session.link.get();
}

void SetTransactionOpen(CHConnection& connection, bool open) {
  connection.transaction_link = open ? connection.session.link.get() : nullptr;
}

bool SendTransactionEnd(CHConnection& connection, ReceiveBuffer& buffer, bool commit) {
  VString reply;
  const std::size_t before = connection.diagnostics().size();
  SendRequest(connection, buffer, ExecuteHeader(commit ? u"COMMIT" : u"ROLLBACK"), {}, &reply);
  if (ErrorSince(connection, before)) return false;
  ConsumeUpdateCount(connection, buffer, reply);
  SetTransactionOpen(connection, false);
  return true;
}

}  // namespace kestrion
