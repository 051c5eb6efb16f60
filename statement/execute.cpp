#include <algorithm>
#include <string>
#include <vector>

#include "driver/connection.h"
#include "driver/descriptor.h"
#include "driver/statement.h"
#include "statement/close_statement.h"
#include "statement/execute_request.h"
#include "statement/parameters.h"
#include "statement/pipelined_sets.h"
#include "statement/prepare_execute.h"
#include "statement/set_tally.h"
#include "statement/statement_exchange.h"
#include "statement/statement_settings.h"

namespace kestrion {

using corvane::VString;

namespace {

// One EXECUTE-STATEMENT with the values of parameter set `set`.
SQLRETURN Execute(CHStatement& statement, std::int64_t set) {
  {
    // Not probed: a link the server closed fails the execute's own reply.
    StatementExchange exchange(statement);
    if (!exchange.CheckOpen()) return statement.return_code();
  }
  CloseStatement(statement);
  StatementExchange exchange(statement);
  std::string header;
  std::vector<std::uint8_t> body;
  if (!BuildExecuteRequest(statement, set, header, body)) return SQL_ERROR;
  if (!exchange.BeginTransactionIfNeeded()) return SQL_ERROR;

  VString reply;
  if (!exchange.Send(header, body, &reply)) return SQL_ERROR;
  return TakeExecuteReply(statement, exchange, reply);
}

// A parameter array: one execute per set that is not ignored. Each set's
// outcome goes to the parameter status array and its diagnostics carry the
// set's number; a failing set does not stop the others. Update counts add
// up. With autocommit on each set commits on its own; with it off the sets
// join the open transaction. A server that takes several requests at once
// gets the sets' requests together (without a driver log, which times each
// exchange on its own); otherwise each set waits for its reply.
// The outcome of an array's call: the tally's, unless SQLCancel from another
// thread stopped it, which fails the call with HY008 (the sets that ran keep
// their statuses; the others read SQL_PARAM_UNUSED).
SQLRETURN FinishArray(CHStatement& statement, SetTally& tally) {
  const SQLRETURN rc = tally.Finish();
  if (!statement.connection()->session.cancel_signal.requested()) return rc;
  statement.Post(SqlState::HY008, u"The remaining parameter sets were not run.");
  return SQL_ERROR;
}

SQLRETURN ExecuteArray(CHStatement& statement, std::int64_t sets) {
  CHDescriptor* ird = statement.current_descriptor(DescriptorRole::ImpRow);
  if (ird != nullptr && ird->count() > 0) {
    return statement.Post(SqlState::HYC00,
                          u"Parameter arrays are not supported for statements that return rows.");
  }
  if (!EveryMarkerBound(statement)) return statement.return_code();
  SetTally tally(statement);
  CHConnection& connection = *statement.connection();
  if (connection.session.capabilities.pipeline() && !connection.log.Enabled(LogLevel::Error) &&
      connection.session.LinkAlive()) {
    ExecutePipelinedSets(statement, sets, tally);
    return FinishArray(statement, tally);
  }
  const SQLUSMALLINT* operations = statement.param_operation_ptr();
  bool failed = false;
  for (std::int64_t set = 0; set < sets; ++set) {
    if (operations != nullptr && operations[set] == SQL_PARAM_IGNORE) {
      tally.Unused(set);
      continue;
    }
    if ((failed && !connection.session.LinkAlive()) || connection.session.cancel_signal.requested()) {
      // The link is gone, or SQLCancel came from another thread: the
      // remaining sets do not run.
      tally.Unused(set);
      continue;
    }
    const std::size_t first = tally.Begin();
    Execute(statement, set);
    failed = failed || ErrorSince(statement, first);
    tally.End(set, first);
  }
  return FinishArray(statement, tally);
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
