#include "statement/pipelined_sets.h"

#include <string>
#include <vector>

#include "driver/connection.h"
#include "driver/statement.h"
#include "protocol/request.h"
#include "statement/close_statement.h"
#include "statement/execute_request.h"
#include "statement/set_tally.h"
#include "statement/statement_exchange.h"

namespace kestrion {

using corvane::VString;

namespace {

// A window of requests in flight. Its replies are small (an update count
// each), so a window fits in the socket buffers of both sides: the server
// never waits to send while the driver is still sending, whatever the
// number of sets.
constexpr std::size_t kWindowSets = 128;
constexpr std::size_t kWindowBytes = std::size_t{64} << 10;

struct SentSet {
  std::int64_t set;
  std::string id;  // the request identifier and its space
};

}  // namespace

void ExecutePipelinedSets(CHStatement& statement, std::int64_t sets, SetTally& tally) {
  StatementState& s = statement.state;
  CHConnection& connection = *statement.connection();
  Session& session = connection.session;
  const SQLUSMALLINT* operations = statement.param_operation_ptr();
  CloseStatement(statement);

  // Results of sets that answered rows, closed once every reply is read:
  // nothing else may be sent while replies are awaited.
  std::vector<std::int32_t> kept;
  std::vector<std::uint8_t> requests;
  std::vector<SentSet> window;
  std::string header;
  std::vector<std::uint8_t> body;
  std::int64_t next = 0;
  while (next < sets) {
    StatementExchange exchange(statement);
    requests.clear();
    window.clear();
    while (next < sets && window.size() < kWindowSets && requests.size() < kWindowBytes) {
      const std::int64_t set = next++;
      // After SQLCancel from another thread the sets not yet sent stay unrun.
      if ((operations != nullptr && operations[set] == SQL_PARAM_IGNORE) || !session.link ||
          session.cancel_signal.requested()) {
        tally.Unused(set);
        continue;
      }
      const std::size_t first = tally.Begin();
      // A transaction to join is opened before the first request is framed.
      if (!BuildExecuteRequest(statement, set, header, body) ||
          !exchange.BeginTransactionIfNeeded()) {
        tally.End(set, first);
        continue;
      }
      window.push_back({set, FrameRequest(connection, requests, header, body)});
    }
    if (window.empty()) continue;

    std::size_t first = tally.Begin();
    bool in_step = exchange.SendFramed(requests);
    const std::uint32_t resynchronisations = session.resynchronisations;
    for (const SentSet& sent : window) {
      if (&sent != &window.front()) first = tally.Begin();
      if (in_step) {
        CloseStatement(statement);
        VString reply;
        if (exchange.ReadNext(sent.id, &reply)) {
          TakeExecuteReply(statement, exchange, reply);
          // What the reply's body still holds is skipped by its size.
          if (exchange.body().body_left().value_or(0) > 0) exchange.DiscardBody();
        }
        if (s.statement_id != 0) {
          kept.push_back(s.statement_id);
          s.statement_id = 0;
        }
        in_step = session.link && session.resynchronisations == resynchronisations;
      } else if (!ErrorSince(statement, first)) {
        if (!session.link) {
          statement.Post(SqlState::S08S01,
                         u"The link to the server was lost before the reply to this parameter set "
                         u"was read; the set may have run.");
        } else {
          statement.Post(SqlState::HY000,
                         u"The server's replies were out of step with the requests; the reply to "
                         u"this parameter set was skipped and the set may have run.");
        }
      }
      tally.End(sent.set, first);
    }
  }
  for (const std::int32_t id : kept) {
    s.statement_id = id;
    CloseStatement(statement);
  }
}

}  // namespace kestrion
