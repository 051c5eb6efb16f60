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
#include "statement/statement_settings.h"
#include "statement/update_count.h"

namespace kestrion {

using corvane::VString;

namespace {

long long IntegerField(std::u16string_view name, const ReplyFields& fields) {
  std::optional<TokenList> tokens = fields.Get(name);
  if (!tokens || tokens->empty()) return 0;
  return ItemToInteger(tokens->front(), 0);
}

// Describes the reply's results: by the kept description when the reply
// describes one result exactly as the last execute did, from the reply
// lists otherwise (keeping that description when it is one result).
// Answers false, with the failure posted, when the lists do not agree.
bool DescribeReply(CHStatement& statement, const ReplyFields& fields, const VString& reply,
                   SQLRETURN& rc) {
  StatementState& s = statement.state;
  const bool dynamic = DynamicBind(statement) == 8;
  if (!dynamic && s.kept_description.Matches(fields, statement)) {
    if (const std::optional<std::int64_t> rows = SingleRowCount(fields)) {
      rc = DescribeKeptResult(statement, *rows);
      return true;
    }
  }
  s.kept_description.Forget();
  s.lists.ReadDescription(reply, true, false);
  if (!CheckDescription(statement, s.lists, true)) return false;
  rc = DescribeResult(statement);
  const bool single_result = rc == SQL_SUCCESS && !s.lists.column_count.has_item() && s.result_index == 0;
  if (single_result && !dynamic) s.kept_description.Keep(fields, statement);
  return true;
}

}  // namespace

bool BuildExecuteRequest(CHStatement& statement, std::int64_t set, std::string& header,
                         std::vector<std::uint8_t>& body) {
  const Session& session = statement.connection()->session;
  header = "EXECUTE-STATEMENT\r\nSTATEMENT-BASE64: ";
  header += statement.state.text_base64;
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
  const ReplyFields& fields = exchange.FieldsOf(reply);
  const long long sent = IntegerField(u"Row-Count-Sent", fields);
  const long long id = IntegerField(u"Statement-ID", fields);
  if (id < 0 || id > INT32_MAX) {
    s.kept_description.Forget();
    s.lists.Reset();
    statement.Post(SqlState::HY000, u"Malformed reply: Statement-ID is not a statement number.");
    exchange.DiscardBody();
    return SQL_ERROR;
  }
  s.statement_id = static_cast<std::int32_t>(id);
  SQLRETURN rc = SQL_SUCCESS;
  if (!DescribeReply(statement, fields, reply, rc)) {
    exchange.DiscardBody();
    return SQL_ERROR;
  }
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
