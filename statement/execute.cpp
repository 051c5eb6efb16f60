#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "driver/connection.h"
#include "driver/statement.h"
#include "protocol/reply_field.h"
#include "statement/close_statement.h"
#include "statement/decode_rows.h"
#include "statement/description_check.h"
#include "statement/describe_result.h"
#include "statement/parameters.h"
#include "statement/prepare_execute.h"
#include "statement/statement_exchange.h"
#include "statement/update_count.h"

namespace kestrion {

using corvane::VString;

namespace {

long long IntegerField(std::u16string_view name, const VString& reply) {
  std::optional<TokenList> tokens = GetReplyField(name, reply);
  if (!tokens || tokens->empty()) return 0;
  return ItemToInteger(tokens->front(), 0);
}

SQLRETURN Execute(CHStatement& statement) {
  StatementState& s = statement.state;
  {
    StatementExchange exchange(statement);
    if (!exchange.CheckConnection()) return statement.return_code();
  }
  CloseStatement(statement);
  StatementExchange exchange(statement);
  const Session& session = exchange.connection().session;

  std::string header = "EXECUTE-STATEMENT\r\nSTATEMENT-BASE64: ";
  header += Base64OfText(s.text);
  header += "\r\nOUTPUT-MODE: RELEASE\r\nFIRST-PAGE-SIZE: ";
  header += session.first_page_size.ToUtf8();
  if (!session.preferred_image_types.empty()) {
    header += "\r\nPREFERRED-IMAGE-TYPES: ";
    header += session.preferred_image_types.ToUtf8();
  }
  std::vector<std::uint8_t> body;
  if (!AddParameters(statement, ParameterUse::kExecute, header, body)) return SQL_ERROR;
  if (!exchange.BeginTransactionIfNeeded()) return SQL_ERROR;

  VString reply;
  if (!exchange.Send(header, body, &reply)) return SQL_ERROR;
  s.result_index = -1;
  s.lists.ReadDescription(reply, true, false);
  const long long sent = IntegerField(u"Row-Count-Sent", reply);
  const long long id = IntegerField(u"Statement-ID", reply);
  if (id < 0 || id > INT32_MAX) {
    statement.Post(SqlState::HY000, u"Malformed reply: Statement-ID is not a statement number.");
    exchange.DiscardBody();
    return SQL_ERROR;
  }
  s.statement_id = static_cast<std::int32_t>(id);
  if (!CheckDescription(statement, s.lists, true)) {
    exchange.DiscardBody();
    return SQL_ERROR;
  }

  SQLRETURN rc = DescribeResult(statement);
  if (rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO) rc = ReadUpdateCount(statement, exchange);
  if ((rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO) && s.result_set_open) {
    // The first page must be within the result, and what it leaves out must
    // be kept by the server for fetching.
    if (sent < 0 || sent > s.total_rows) {
      statement.Post(SqlState::HY000,
                     u"Malformed reply: Row-Count-Sent is outside the result's rows.");
      exchange.DiscardBody();
      return SQL_ERROR;
    }
    if (sent < s.total_rows && s.statement_id == 0) {
      statement.Post(SqlState::HY000,
                     u"Malformed reply: the server sent part of the rows and kept none to fetch "
                     u"(Statement-ID 0).");
      exchange.DiscardBody();
      return SQL_ERROR;
    }
    if (sent > 0 && !DecodeRows(statement, exchange, 0, sent - 1)) return SQL_ERROR;
  }
  s.first_page_rows = s.cache.rows();
  return statement.return_code();
}

}  // namespace

SQLRETURN ExecuteStatement(CHStatement& statement) {
  Execute(statement);
  statement.state.pieces.clear();
  if (statement.return_code() == SQL_ERROR) CloseStatement(statement);
  return statement.return_code();
}

}  // namespace kestrion
