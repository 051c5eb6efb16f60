#include "statement/statement_exchange.h"

#include <algorithm>
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

std::string ExecuteHeader(std::u16string_view text) {
  std::string header = "EXECUTE-STATEMENT\r\nSTATEMENT-BASE64: ";
  header += Base64OfText(text);
  header += "\r\nOUTPUT-MODE: RELEASE";
  return header;
}

// Reads the update count that follows the reply of a transaction statement,
// so that nothing of it is left on the link.
bool ConsumeUpdateCount(CHConnection& connection, ReceiveBuffer& buffer, const VString& reply) {
  ReplyLists lists;
  lists.ReadDescription(reply, true, false);
  if (lists.result_type.has_item() && lists.result_type.front() == u"Update-Count") {
    std::int32_t count = 0;
    ConnectionStream stream(connection, buffer);
    if (!stream.GetI32(count)) {
      PostLinkFailure(connection, u"Can't read the update count.");
      return false;
    }
  }
  return true;
}

}  // namespace

StatementExchange::StatementExchange(CHStatement& statement)
    : statement_(statement),
      connection_(*statement.connection()),
      stream_(connection_, statement.state.buffer),
      saved_deadline_(connection_.session.deadline),
      query_timeout_(ReadConnectionAttribute(connection_, SQL_ATTR_QUERY_TIMEOUT, 0)) {
  copied_ = connection_.diagnostics().size();
}

StatementExchange::~StatementExchange() {
  Sync();
  connection_.session.deadline = saved_deadline_;
}

bool ConnectionDead(const CHConnection& connection) { return connection.session.dead; }

bool StatementExchange::CheckConnection() {
  Session& s = connection_.session;
  if (s.LinkAlive()) return true;
  if (s.link) s.MarkDead();  // the server closed it since the last call
  return PostNoLink();
}

bool StatementExchange::CheckOpen() {
  Session& s = connection_.session;
  if (!s.link || s.dead) return PostNoLink();
  s.SendNextUnprobed();
  return true;
}

bool StatementExchange::PostNoLink() {
  const Session& s = connection_.session;
  if (s.dead) {
    statement_.Post(SqlState::S08S01, u"The link to the server is lost; disconnect and connect again.");
  } else {
    statement_.Post(SqlState::S08003, u"The connection is not open.");
  }
  return false;
}

bool StatementExchange::Send(std::string_view header, std::span<const std::uint8_t> body,
                             VString* reply) {
  stream_.ClearError();
  stream_.LimitBody(std::nullopt);
  Session& s = connection_.session;
  s.SetDeadlineSeconds(query_timeout_ > 0 ? query_timeout_ : -1);
  const std::size_t before = connection_.diagnostics().size();
  VString own;
  VString& text = reply != nullptr ? *reply : own;
  SendRequest(connection_, statement_.state.buffer, header, body, &text);
  const bool ok = !ErrorSince(connection_, before);
  IndexReply(ok && reply != nullptr ? reply : nullptr);
  if (ok) stream_.LimitBody(reply != nullptr ? ReplyBodyLength(*fields_) : ReplyBodyLength(text));
  Sync();
  return ok;
}

void StatementExchange::IndexReply(const VString* reply) {
  if (reply != nullptr) {
    fields_.emplace(*reply);
  } else {
    fields_.reset();
  }
}

const ReplyFields& StatementExchange::FieldsOf(const VString& reply) {
  if (!fields_ || !fields_->Of(reply)) fields_.emplace(reply);
  return *fields_;
}

bool StatementExchange::SendFramed(const std::vector<std::uint8_t>& requests) {
  stream_.ClearError();
  stream_.LimitBody(std::nullopt);
  connection_.session.SetDeadlineSeconds(query_timeout_ > 0 ? query_timeout_ : -1);
  const std::size_t before = connection_.diagnostics().size();
  SendFramedRequests(connection_, statement_.state.buffer, requests);
  const bool ok = !ErrorSince(connection_, before);
  Sync();
  return ok;
}

bool StatementExchange::ReadNext(std::string_view id, VString* reply) {
  stream_.ClearError();
  stream_.LimitBody(std::nullopt);
  const std::size_t before = connection_.diagnostics().size();
  ReadNextReply(connection_, statement_.state.buffer, id, reply);
  const bool ok = !ErrorSince(connection_, before);
  IndexReply(ok ? reply : nullptr);
  if (ok) stream_.LimitBody(ReplyBodyLength(*fields_));
  Sync();
  return ok;
}

bool StatementExchange::ReadSentAhead(std::string_view id, VString* reply) {
  connection_.session.read_ahead.reset();
  connection_.session.SetDeadlineSeconds(query_timeout_ > 0 ? query_timeout_ : -1);
  return ReadNext(id, reply);
}

void StatementExchange::SkipSentAhead() {
  connection_.session.SetDeadlineSeconds(query_timeout_ > 0 ? query_timeout_ : -1);
  SkipReadAhead(connection_);
  Sync();
}

void StatementExchange::PostBodyFailure(std::u16string_view what) {
  Session& s = connection_.session;
  Sync();
  if (!s.link) {
    PostLinkFailure(connection_, what);
    Sync();
    return;
  }
  VString message(what);
  if (stream_.overran()) message += u" The reply body is shorter than the rows it describes.";
  // The rest of the body cannot be decoded. A read that hit the announced
  // end leaves only the bytes short of it; anything else (a value that does
  // not decode, rows that end before the body) needs a resynchronisation.
  if (stream_.overran()) {
    DiscardBody();
  } else if (!ResynchroniseStream(connection_, statement_.state.buffer)) {
    s.MarkDead();
  }
  if (!s.link) {
    message += u" The link could not be put back in step and was closed.";
    statement_.Post(SqlState::S08S01, message);
    return;
  }
  statement_.Post(SqlState::HY000, message);
}

void StatementExchange::DiscardBody() {
  Session& s = connection_.session;
  if (!s.link) return;
  if (std::optional<std::int64_t> left = stream_.body_left()) {
    // The announced size is exact: the reads never went past it.
    stream_.LimitBody(std::nullopt);
    stream_.ClearError();
    // A failed read leaves the link gone.
    StreamSkip(connection_, statement_.state.buffer, *left);
    return;
  }
  if (!ResynchroniseStream(connection_, statement_.state.buffer)) s.MarkDead();
}

void StatementExchange::Sync() {
  const auto& records = connection_.diagnostics();
  for (; copied_ < records.size(); ++copied_) {
    const DiagnosticRecord& r = records[copied_];
    statement_.Post(r.state, r.message, r.native_error);
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
  if (!ConsumeUpdateCount(connection_, statement_.state.buffer, reply)) {
    Sync();
    return false;
  }
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
  const std::int32_t sent_before = connection.session.request_number;
  SendRequest(connection, buffer, ExecuteHeader(commit ? u"COMMIT" : u"ROLLBACK"), {}, &reply);
  bool ok = !ErrorSince(connection, before) && ConsumeUpdateCount(connection, buffer, reply);
  if (!ok && commit && connection.session.dead && connection.session.request_number != sent_before &&
      connection.session.failure != LinkFailure::kNoLink) {
    // The COMMIT may have reached the server before the link went.
    connection.DropDiagnosticsFrom(before);
    connection.Post(SqlState::S08007,
                    u"The link to the server was lost during COMMIT; whether the transaction was "
                    u"committed is unknown.");
  }
  if (ok || connection.session.dead) SetTransactionOpen(connection, false);
  return ok;
}

}  // namespace kestrion
