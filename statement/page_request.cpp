#include "statement/page_request.h"

#include <algorithm>
#include <string>

#include "driver/connection.h"
#include "driver/statement.h"
#include "protocol/connection_stream.h"
#include "protocol/reply_field.h"
#include "protocol/request.h"
#include "statement/reply_lists.h"
#include "statement/decode_rows.h"
#include "statement/statement_exchange.h"
#include "statement/statement_settings.h"

namespace kestrion {

namespace {

// A page whose body is larger than this is decoded as it arrives, without
// asking for the next one ahead (the whole body would have to be held).
constexpr std::int64_t kMaxReadAheadBody = ReceiveBuffer::kKeptCapacity;
// Pages asked for ahead double in rows while their bodies stay near this,
// so that a long forward read costs few requests.
constexpr std::int64_t kReadAheadBodyGoal = std::int64_t{256} << 10;

std::string FetchHeader(const StatementState& s, std::int64_t first, std::int64_t end) {
  std::string header = "FETCH-RESULT\r\nSTATEMENT-ID: ";
  header += std::to_string(s.statement_id);
  header += "\r\nCOMMAND-INDEX: ";
  header += std::to_string(s.result_index);
  header += "\r\nFIRST-ROW-INDEX: ";
  header += std::to_string(first);
  header += "\r\nLAST-ROW-INDEX: ";
  header += std::to_string(end - 1);
  header += "\r\nOUTPUT-MODE: RELEASE";
  return header;
}

// Whether the statement's page request sent ahead brings the rows from
// `first` on and its reply is still the one awaited.
bool ReadAheadStands(const CHStatement& statement, std::int64_t first) {
  const StatementState& s = statement.state;
  const std::optional<ReadAhead>& ahead = statement.connection()->session.read_ahead;
  return ahead && ahead->buffer == &s.buffer && ahead->id == s.read_ahead_id &&
         s.read_ahead_first == first;
}

// When the application reads forward, the request for the page that
// follows the one in hand (rows [first, end)) leaves before this page is
// decoded, so that the server prepares it meanwhile. Only once the page's
// whole body has arrived: the server never gets a request before the last
// reply was read. The next page holds `length` rows or more.
// False, with the failure posted, when the link failed meanwhile.
bool ReadNextPageAhead(CHStatement& statement, StatementExchange& exchange, std::int64_t first,
                       std::int64_t end, std::int64_t length, bool forward) {
  StatementState& s = statement.state;
  CHConnection& connection = exchange.connection();
  const std::int64_t max_rows = MaxRows(statement);
  const std::int64_t limit = max_rows >= 1 ? std::min(max_rows, s.total_rows) : s.total_rows;
  const std::optional<std::int64_t> body = exchange.body().body_left();
  // Rows that do not follow the last page, the last page, and the driver
  // log (whose lines pair each request with its reply) fetch page by page.
  if (!forward || end >= limit || !body || *body > kMaxReadAheadBody ||
      connection.session.read_ahead || connection.log.Enabled(LogLevel::Error)) {
    return true;
  }
  if (!ReceiveAtLeast(connection, s.buffer, static_cast<std::int32_t>(*body))) {
    if (connection.session.link) return true;  // only memory was short
    PostLinkFailure(connection, u"Can't read the rows of the reply.");
    return false;
  }
  // Twice the rows of this page while the bytes stay near the goal, going
  // by this page's bytes per row.
  const std::int64_t rows = std::max<std::int64_t>(end - first, 1);
  const std::int64_t row_bytes = std::max<std::int64_t>(*body / rows, 1);
  const std::int64_t next_rows =
      std::max(length, std::min(2 * rows, kReadAheadBodyGoal / row_bytes));
  const std::int64_t next_end = next_rows >= limit - end ? limit : end + next_rows;
  s.read_ahead_id = SendReadAhead(connection, s.buffer, FetchHeader(s, end, next_end));
  if (s.read_ahead_id.empty()) return connection.session.link != nullptr;
  s.read_ahead_first = end;
  s.read_ahead_end = next_end;
  return true;
}

}  // namespace

bool RequestPage(CHStatement& statement, StatementExchange& exchange, std::int64_t first,
                 std::int64_t wanted) {
  StatementState& s = statement.state;
  if (first < 0 || first >= s.total_rows) return false;
  if (s.statement_id == 0) {
    // Checked at execute: only a server that kept the rows sends part of them.
    statement.Post(SqlState::HY000, u"The server kept no rows to fetch beyond the first page.");
    return false;
  }
  if (s.short_page_end >= 0 && first >= s.short_page_end) {
    statement.Post(SqlState::HY000,
                   u"Malformed reply: the page holds another number of rows than asked for.");
    return false;
  }
  // Rows that follow the cached page: the application reads forward.
  const bool forward = first == s.cache.first_row() + s.cache.rows();
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (!exchange.CheckConnection()) return false;
    const std::int64_t length =
        std::max<std::int64_t>(RowArraySize(statement) + wanted, s.first_page_rows);
    std::int64_t end = std::min(first + std::max<std::int64_t>(length, 1), s.total_rows);
    corvane::VString reply;
    if (attempt == 0 && ReadAheadStands(statement, first)) {
      end = s.read_ahead_end;
      if (!exchange.ReadSentAhead(s.read_ahead_id, &reply)) return false;
    } else if (!exchange.Send(FetchHeader(s, first, end), {}, &reply)) {
      return false;
    }
    // A page with more rows than asked for, or none, cannot be decoded. A
    // page with fewer ends the rows the server has: they are delivered, and
    // fetching past them is the error.
    const std::optional<TokenList> sent = GetReplyField(u"Row-Count-Sent", reply);
    const long long sent_rows =
        sent && !sent->empty() ? ItemToInteger(sent->front(), -1) : end - first;
    if (sent_rows < 1 || sent_rows > end - first) {
      statement.Post(SqlState::HY000,
                     u"Malformed reply: the page holds another number of rows than asked for.");
      exchange.DiscardBody();
      return false;
    }
    if (sent_rows < end - first) {
      end = first + sent_rows;
      s.short_page_end = end;
    }
    if (s.short_page_end < 0 &&
        !ReadNextPageAhead(statement, exchange, first, end, length, forward)) {
      exchange.Sync();
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
