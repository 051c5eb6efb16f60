#include "statement/close_statement.h"

#include <string>

#include "driver/statement.h"
#include "statement/row_cache.h"
#include "statement/statement_exchange.h"

namespace kestrion {

void ClearRowCache(CHStatement& statement) {
  StatementState& s = statement.state;
  s.cache.Clear();
  s.getdata_column = -1;
  s.getdata_offset = 0;
}

bool CloseStatement(CHStatement& statement) {
  StatementState& s = statement.state;
  const bool was_described = s.described;
  ClearRowCache(statement);
  if (s.statement_id != 0) {
    StatementExchange exchange(statement);
    if (exchange.CheckConnection()) {
      std::string header = "CLOSE-STATEMENT\r\nSTATEMENT-ID: ";
      header += std::to_string(s.statement_id);
      exchange.Send(header);
    }
    s.statement_id = 0;
  }
  s.row_count = 0;
  s.total_rows = 0;
  s.result_set_open = false;
  s.described = false;
  s.updatable = false;
  s.first_page_rows = 0;
  s.rowset_first = 0;
  s.result_index = -1;
  s.lists.Reset();
  return was_described;
}

}  // namespace kestrion
