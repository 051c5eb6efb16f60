#include "statement/close_statement.h"

#include <string>

#include "driver/connection.h"
#include "driver/statement.h"
#include "protocol/request.h"
#include "statement/row_cache.h"
#include "statement/statement_exchange.h"

namespace kestrion {

namespace {
constexpr std::size_t kMaxPendingCloses = 64;
}  // namespace

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
  Session& session = statement.connection()->session;
  if (session.read_ahead && session.read_ahead->buffer == &s.buffer) {
    // The page asked for ahead is read through this statement's buffer,
    // which may be about to go: it is skipped now.
    const std::size_t before = statement.diagnostics().size();
    {
      StatementExchange exchange(statement);
      exchange.SkipSentAhead();
    }
    if (ConnectionDead(*statement.connection())) statement.DropDiagnosticsFrom(before);
  }
  if (s.statement_id != 0 && session.capabilities.deferred_close() && session.link &&
      session.pending_closes.size() < kMaxPendingCloses) {
    // The server closes it when the next request names it: no round trip.
    // Past the limit, the CLOSE-STATEMENT below carries the list.
    session.pending_closes.push_back(s.statement_id);
    s.statement_id = 0;
  }
  if (s.statement_id != 0) {
    const std::size_t before = statement.diagnostics().size();
    {
      StatementExchange exchange(statement);
      // On a lost link there is nothing to close on the server: the cursor
      // closes locally, so that applications can clean up and reconnect.
      if (exchange.connection().session.LinkAlive()) {
        std::string header = "CLOSE-STATEMENT\r\nSTATEMENT-ID: ";
        header += std::to_string(s.statement_id);
        exchange.Send(header);
      }
    }
    // A link lost while closing leaves nothing open either.
    if (ConnectionDead(*statement.connection())) statement.DropDiagnosticsFrom(before);
    s.statement_id = 0;
  }
  s.row_count = 0;
  s.total_rows = 0;
  s.short_page_end = -1;
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
