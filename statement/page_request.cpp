#include "statement/page_request.h"

#include <algorithm>
#include <string>

#include "driver/statement.h"
#include "statement/decode_rows.h"
#include "statement/statement_exchange.h"
#include "statement/statement_settings.h"

namespace kestrion {

bool RequestPage(CHStatement& statement, StatementExchange& exchange, std::int64_t first,
                 std::int64_t wanted) {
  StatementState& s = statement.state;
  if (s.statement_id == 0 || first < 0 || first >= s.total_rows) return false;
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
    if (!exchange.Send(header)) return false;
    if (DecodeRows(statement, exchange, first, end - 1)) return true;
    if (attempt == 0) {
      statement.ClearDiagnostics();
      exchange.Forget();
    }
  }
  return false;
}

bool EnsureRowCached(CHStatement& statement, StatementExchange& exchange, std::int64_t row,
                     std::int64_t wanted) {
  if (statement.state.cache.Contains(row)) return true;
  return RequestPage(statement, exchange, row, wanted);
}

}  // namespace kestrion
