#include <algorithm>
#include <string>
#include <vector>

#include "driver/connection.h"
#include "driver/descriptor.h"
#include "driver/statement.h"
#include "protocol/reply_field.h"
#include "statement/close_statement.h"
#include "statement/decode_rows.h"
#include "statement/describe_result.h"
#include "statement/parameters.h"
#include "statement/prepare_execute.h"
#include "statement/statement_exchange.h"
#include "statement/statement_settings.h"
#include "statement/update_count.h"

namespace kestrion {

using corvane::VString;

namespace {

long long IntegerField(std::u16string_view name, const VString& reply) {
  std::optional<TokenList> tokens = GetReplyField(name, reply);
  if (!tokens || tokens->empty()) return 0;
  return ItemToInteger(tokens->front(), 0);
}

// One EXECUTE-STATEMENT with the values of parameter set `set`.
SQLRETURN Execute(CHStatement& statement, std::int64_t set) {
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
  if (!AddParameters(statement, ParameterUse::kExecute, header, body, set)) return SQL_ERROR;
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

bool WarningSince(const CHStatement& statement, std::size_t first) {
  const auto& records = statement.diagnostics();
  for (std::size_t i = first; i < records.size(); ++i) {
    if (IsWarning(records[i].state)) return true;
  }
  return false;
}

// A parameter array: one execute per set that is not ignored. Each set's
// outcome goes to the parameter status array and its diagnostics carry the
// set's number; a failing set does not stop the others. Update counts add
// up. With autocommit on each set commits on its own; with it off the sets
// join the open transaction.
SQLRETURN ExecuteArray(CHStatement& statement, std::int64_t sets) {
  StatementState& s = statement.state;
  CHDescriptor* ird = statement.current_descriptor(DescriptorRole::ImpRow);
  if (ird != nullptr && ird->count() > 0) {
    return statement.Post(SqlState::HYC00,
                          u"Parameter arrays are not supported for statements that return rows.");
  }
  if (!EveryMarkerBound(statement)) return statement.return_code();
  SQLUSMALLINT* status = statement.param_status_ptr();
  const SQLUSMALLINT* operations = statement.param_operation_ptr();
  SQLULEN* processed = statement.params_processed_ptr();
  std::int64_t succeeded = 0;
  std::int64_t failed = 0;
  std::int64_t total = 0;
  for (std::int64_t set = 0; set < sets; ++set) {
    if (operations != nullptr && operations[set] == SQL_PARAM_IGNORE) {
      if (status != nullptr) status[set] = SQL_PARAM_UNUSED;
      continue;
    }
    if (failed > 0 && !statement.connection()->session.LinkAlive()) {
      // The link is gone: the remaining sets cannot run.
      if (status != nullptr) status[set] = SQL_PARAM_UNUSED;
      continue;
    }
    // Each set runs with a return code of its own; the records stay.
    statement.set_return_code(SQL_SUCCESS);
    const std::size_t before = statement.diagnostics().size();
    Execute(statement, set);
    statement.SetRowAndColumn(before, set + 1, -1);
    if (processed != nullptr) *processed = static_cast<SQLULEN>(set + 1);
    if (ErrorSince(statement, before)) {
      CloseStatement(statement);
      ++failed;
      if (status != nullptr) status[set] = SQL_PARAM_ERROR;
    } else {
      ++succeeded;
      total += s.row_count;
      if (status != nullptr) {
        status[set] = WarningSince(statement, before) ? SQL_PARAM_SUCCESS_WITH_INFO : SQL_PARAM_SUCCESS;
      }
    }
  }
  s.row_count = total;
  const bool warned = WarningSince(statement, 0);
  statement.set_return_code(failed > 0 ? (succeeded > 0 ? SQL_SUCCESS_WITH_INFO : SQL_ERROR)
                            : warned  ? SQL_SUCCESS_WITH_INFO
                                      : SQL_SUCCESS);
  return statement.return_code();
}

}  // namespace

SQLRETURN ExecuteStatement(CHStatement& statement) {
  StatementState& s = statement.state;
  const std::int64_t sets = s.marker_count > 0 ? ParamsetSize(statement) : 1;
  SQLULEN* processed = statement.params_processed_ptr();
  if (processed != nullptr) *processed = 0;
  SQLRETURN rc;
  if (sets > 1) {
    rc = ExecuteArray(statement, sets);
  } else {
    Execute(statement, 0);
    rc = statement.return_code();
    if (rc == SQL_ERROR) CloseStatement(statement);
    if (processed != nullptr) *processed = 1;
    if (SQLUSMALLINT* status = statement.param_status_ptr(); status != nullptr && s.marker_count > 0) {
      status[0] = rc == SQL_ERROR ? SQL_PARAM_ERROR
                  : rc == SQL_SUCCESS_WITH_INFO ? SQL_PARAM_SUCCESS_WITH_INFO
                                                : SQL_PARAM_SUCCESS;
    }
  }
  s.pieces.clear();
  return rc;
}

}  // namespace kestrion
