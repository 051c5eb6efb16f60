#include "statement/execute_request.h"

#include <climits>
#include <optional>

#include "driver/connection.h"
#include "driver/statement.h"
#include "protocol/reply_field.h"
#include "statement/decode_rows.h"
#include "statement/describe_result.h"
#include "statement/description_check.h"
#include "statement/parameters.h"
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

}  // namespace

bool BuildExecuteRequest(CHStatement& statement, std::int64_t set, std::string& header,
                         std::vector<std::uint8_t>& body) {
  const Session& session = statement.connection()->session;
  header = "EXECUTE-STATEMENT\r\nSTATEMENT-BASE64: ";
  header += Base64OfText(statement.state.text);
  header += "\r\nOUTPUT-MODE: RELEASE\r\nFIRST-PAGE-SIZE: ";
  header += session.first_page_size.ToUtf8();
  if (!session.preferred_image_types.empty()) {
    header += "\r\nPREFERRED-IMAGE-TYPES: ";
    header += session.preferred_image_types.ToUtf8();
  }
  return AddParameters(statement, ParameterUse::kExecute, header, body, set);
}

SQLRETURN TakeExecuteReply(CHStatement& statement, StatementExchange& exchange,
                           const VString& reply) {
  StatementState& s = statement.state;
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

bool WarningSince(const CHStatement& statement, std::size_t first) {
  const auto& records = statement.diagnostics();
  for (std::size_t i = first; i < records.size(); ++i) {
    if (IsWarning(records[i].state)) return true;
  }
  return false;
}

}  // namespace kestrion
