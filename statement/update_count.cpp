#include "statement/update_count.h"

#include "driver/statement.h"
#include "statement/statement_exchange.h"

namespace kestrion {

SQLRETURN ReadUpdateCount(CHStatement& statement, StatementExchange& exchange) {
  StatementState& s = statement.state;
  if (s.result_set_open) return SQL_SUCCESS;
  s.row_count = 0;
  // The link is tested only when the count has not arrived yet: a server
  // that answered and then closed the link (or the replies after it) is
  // still read.
  if (s.buffer.count < 4 && !exchange.CheckConnection()) return statement.return_code();
  std::int32_t count = 0;
  if (exchange.body().GetI32(count)) {
    s.row_count = count;
  } else {
    exchange.PostBodyFailure(u"Can't get update count from server.");
  }
  return statement.return_code();
}

void TakeUpdateCountFromRowCount(CHStatement& statement) {
  StatementState& s = statement.state;
  if (s.result_set_open) return;
  s.row_count = s.total_rows;
}

}  // namespace kestrion
