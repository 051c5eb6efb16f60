#include <algorithm>
#include <string>
#include <vector>

#include "driver/connection.h"
#include "driver/statement.h"
#include "protocol/reply_field.h"
#include "statement/close_statement.h"
#include "statement/decode_rows.h"
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
  long long sent = IntegerField(u"Row-Count-Sent", reply);
  s.statement_id = static_cast<std::int32_t>(IntegerField(u"Statement-ID", reply));

  SQLRETURN rc = DescribeResult(statement);
  if (rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO) rc = ReadUpdateCount(statement, exchange);
  if ((rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO) && s.total_rows != 0 &&
      s.result_set_open) {
    sent = std::clamp<long long>(sent, 0, s.total_rows);
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
