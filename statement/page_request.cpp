#include "statement/page_request.h"

#include <algorithm>
#include <string>

#include "driver/statement.h"
#include "protocol/reply_field.h"
#include "statement/reply_lists.h"
#include "statement/decode_rows.h"
#include "statement/statement_exchange.h"
#include "statement/statement_settings.h"

namespace kestrion {

bool RequestPage(CHStatement& statement, StatementExchange& exchange, std::int64_t first,
                 std::int64_t wanted) {
  StatementState& s = statement.state;
  if (first < 0 || first >= s.total_rows) return false;
  if (s.statement_id == 0) {
    // Checked at execute: only a server that kept the rows sends part of them.
    statement.Post(SqlState::HY000, u"The server kept no rows to fetch beyond the first page.");
    return false;
  }
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (!exchange.CheckConnection()) return false;
    const std::int64_t length =
        std::max<std::int64_t>(RowArraySize(statement) + wanted, s.first_page_rows);
    const std::int64_t end = std::min(first + std::max<std::int64_t>(length, 1), s.total_rows);
    std::string header = "FETCH-RESULT\r\nSTATEMENT-ID: ";
    header += std::to_string(s.statement_id);
    header += "\r\nCOMMAND-INDEX: ";
    header += std::to_string(s.result_index);
    header += "\r\nFIRST-ROW-INDEX: ";
    header += std::to_string(first);
    header += "\r\nLAST-ROW-INDEX: ";
    header += std::to_string(end - 1);
    header += "\r\nOUTPUT-MODE: RELEASE";
    corvane::VString reply;
    if (!exchange.Send(header, {}, &reply)) return false;
    // A page with fewer or more rows than asked for cannot be decoded.
    const std::optional<TokenList> sent = GetReplyField(u"Row-Count-Sent", reply);
    if (sent && !sent->empty() && ItemToInteger(sent->front(), -1) != end - first) {
      statement.Post(SqlState::HY000,
                     u"Malformed reply: the page holds another number of rows than asked for.");
      exchange.DiscardBody();
      return false;
    }
    const std::size_t before = statement.diagnostics().size();
    if (DecodeRows(statement, exchange, first, end - 1)) return true;
    // A page misread on a link that is back in step is asked for once more;
    // a lost link or a time-out is final.
    if (attempt > 0 || ConnectionDead(exchange.connection())) break;
    statement.DropDiagnosticsFrom(before);
    exchange.Forget();
  }
  return false;
}

bool EnsureRowCached(CHStatement& statement, StatementExchange& exchange, std::int64_t row,
                     std::int64_t wanted) {
  if (statement.state.cache.Contains(row)) return true;
  return RequestPage(statement, exchange, row, wanted);
}

}  // namespace kestrion
