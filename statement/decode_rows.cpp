#include "statement/decode_rows.h"

#include <algorithm>
#include <optional>
#include <span>
#include <vector>

#include "driver/connection.h"
#include "driver/descriptor.h"
#include "driver/statement.h"
#include "statement/cell_fault.h"
#include "statement/close_statement.h"
#include "statement/kind_conversion.h"
#include "statement/statement_exchange.h"
#include "statement/statement_settings.h"
#include "statement/type_tables.h"
#include "toolbox/value_codec.h"

namespace kestrion {

using corvane::VKind;
using corvane::VValue;

namespace {

constexpr std::uint8_t kStatusNull = 0x30;
constexpr std::uint8_t kStatusValue = 0x31;
constexpr std::uint8_t kStatusUnavailable = 0x32;
constexpr std::uint8_t kStatusStop = 0xFF;
constexpr std::int64_t kMaxLength = 2147483647;

struct ColumnPlan {
  VKind kind = VKind::Unknown;
  std::int16_t sql_class = kClassNone;
};

enum class Outcome { kOk, kStopped, kStreamLost };

// Reads `rows` rows of `body` into the cache from cache row `at` on; the
// first row of the page is result row `first`. `stop_code` receives the code
// that follows a stop status.
Outcome ReadRows(CHStatement& statement, corvane::VStream& body, std::int64_t first,
                 std::int32_t at, std::int32_t rows, const std::vector<ColumnPlan>& plan,
                 std::optional<std::int32_t>& stop_code) {
  StatementState& s = statement.state;
  const auto columns = static_cast<std::int32_t>(plan.size());
  const std::int32_t first_column = s.updatable ? 0 : 1;
  for (std::int32_t i = at; i < at + rows; ++i) {
    if (!s.updatable) s.cache.cell(i, 0).SetInteger(VKind::Long, static_cast<std::int32_t>(first + i));
    for (std::int32_t c = first_column; c < columns; ++c) {
      std::uint8_t status = 0;
      if (!body.GetU8(status)) return Outcome::kStreamLost;
      VValue& cell = s.cache.cell(i, c);
      switch (status) {
        case kStatusNull:
          cell.set_null();
          break;
        case kStatusValue: {
          const ColumnPlan& p = plan[static_cast<std::size_t>(c)];
          if (p.kind == VKind::Unknown) {
            cell.set_null();
            break;
          }
          if (!corvane::ReadValueInPlace(body, p.kind, cell)) return Outcome::kStreamLost;
          std::int64_t length = -1;
          if (p.kind == VKind::Text) {
            length = (static_cast<std::int64_t>(cell.text().size()) + 1) * 2;
          } else if (p.kind == VKind::Blob || p.kind == VKind::Image) {
            length = static_cast<std::int64_t>(cell.bytes().size());
          } else if (p.kind == VKind::Time && !cell.time().IsEmpty() && !cell.time().IsValid()) {
            // Never hand on a date the server did not send as one.
            s.cache.status(i) = SQL_ROW_ERROR;
            s.cache.AddFault(i, c, kFaultInvalidDate);
            cell.set_null();
          } else if ((p.sql_class == kClassDate || p.sql_class == kClassTimestamp) &&
                     cell.time().IsEmpty()) {
            // The empty date (all fields zero) stands for no value.
            cell.set_null();
          }
          if (length >= 0) {
            std::int64_t& seen = s.column_lengths[static_cast<std::size_t>(c)];
            seen = std::max(seen, std::min(length, kMaxLength));
          }
          break;
        }
        case kStatusUnavailable: {
          std::int32_t code = 0;
          if (!body.GetI32(code)) return Outcome::kStreamLost;
          s.cache.status(i) = SQL_ROW_ERROR;
          s.cache.AddFault(i, c, code == 0 ? -1 : code);
          cell.set_null();
          break;
        }
        case kStatusStop: {
          std::int32_t code = 0;
          if (body.GetI32(code)) stop_code = code;
          return Outcome::kStopped;
        }
        default:
          return Outcome::kStreamLost;
      }
    }
  }
  return Outcome::kOk;
}

}  // namespace

bool DecodeRows(CHStatement& statement, StatementExchange& exchange, std::int64_t first,
                std::int64_t last) {
  StatementState& s = statement.state;
  // The link is tested only when none of the rows has arrived yet: rows the
  // server sent before closing the link are still read.
  if (s.buffer.count == 0 && !exchange.CheckConnection()) {
    ClearRowCache(statement);
    return false;
  }
  const std::int64_t count = last - first + 1;
  CHDescriptor* ird = statement.current_descriptor(DescriptorRole::ImpRow);
  if (count <= 0 || count > INT32_MAX || ird == nullptr) {
    ClearRowCache(statement);
    if (count > INT32_MAX) {
      statement.Post(SqlState::HY000, u"The reply announces more rows than a page can hold.");
    } else if (ird == nullptr) {
      statement.Post(SqlState::HY000, u"Unrecoverable error: No ImplementationRowDescriptor.");
    }
    return false;
  }
  s.getdata_column = -1;
  s.getdata_offset = 0;
  const std::int16_t ird_count = std::max<std::int16_t>(ird->count(), 0);
  const std::int32_t version = OdbcVersion(statement);
  std::vector<ColumnPlan> plan(static_cast<std::size_t>(ird_count) + 1);
  for (std::int16_t c = 0; c <= ird_count; ++c) {
    ColumnPlan& p = plan[static_cast<std::size_t>(c)];
    p.sql_class = FoldType(ird->records[static_cast<std::size_t>(c)].concise_type(), version);
    p.kind = KindOfClass(p.sql_class);
    // A real is described as a double but travels in its own layout.
    if (p.sql_class == kClassDouble && static_cast<std::size_t>(c) < s.column_kinds.size() &&
        s.column_kinds[static_cast<std::size_t>(c)] == VKind::Real)
      p.kind = VKind::Real;
  }
  s.column_lengths.assign(plan.size(), -1);
  // Rows are made room for as they arrive, a chunk at a time, so a hostile
  // row count cannot make the driver allocate more than the link brings.
  // A chunk holds at most 64K cells, so a wide row costs no more.
  const std::int32_t kChunk = std::clamp<std::int32_t>(
      65536 / static_cast<std::int32_t>(plan.size()), 1, 1024);
  const auto rows = static_cast<std::int32_t>(count);
  // The cells keep the storage of the previous page: texts and decimals are
  // read into it instead of allocating a value per cell.
  s.cache.Restart(first, static_cast<std::int32_t>(plan.size()));
  // A body received whole (a read-ahead page, or a small one) is decoded in
  // place, without going through the link's stream for every value.
  ConnectionStream& stream = exchange.body();
  const std::span<const std::uint8_t> whole = stream.BufferedBody();
  corvane::VMemoryStream in_place(whole);
  corvane::VStream& body = whole.empty() ? static_cast<corvane::VStream&>(stream) : in_place;
  Outcome outcome = Outcome::kOk;
  std::optional<std::int32_t> stop_code;
  for (std::int32_t done = 0; done < rows && outcome == Outcome::kOk;) {
    const std::int32_t n = std::min(kChunk, rows - done);
    s.cache.GrowForOverwrite(n);
    outcome = ReadRows(statement, body, first, done, n, plan, stop_code);
    done += n;
  }
  if (!whole.empty()) stream.SettleBuffered(in_place.position(), in_place.error());
  if (outcome == Outcome::kStopped) {
    CHConnection& connection = exchange.connection();
    statement.Post(SqlState::S40001, u"-1: Must stop the fetch process.");
    connection.Post(SqlState::S40001, u"-1: Must stop the fetch process.");
    if (stop_code) {
      statement.Post(SqlState::S40001, u"-1 as status byte, have to stop fetch process", *stop_code);
      connection.Post(SqlState::S40001, u"-1 as status byte, have to stop fetch process",
                      *stop_code);
    }
    exchange.Sync();
  }
  // A body announced longer than its rows means the rows were misread.
  if (outcome == Outcome::kOk && stream.body_left().value_or(0) != 0) {
    outcome = Outcome::kStreamLost;
  }
  if (outcome != Outcome::kOk) {
    ClearRowCache(statement);
    if (outcome == Outcome::kStreamLost) {
      exchange.PostBodyFailure(stream.ok()
                                   ? u"The reply body is longer than the rows it describes."
                                   : u"Can't read the rows of the reply: a status byte or a value "
                                     u"is malformed.");
    }
    return false;
  }
  for (std::size_t c = 0; c < plan.size(); ++c) {
    const std::int64_t longest = s.column_lengths[c];
    DescriptorRecord& r = ird->records[c];
    // Lengths only grow: a page of short values must not describe the
    // column smaller than its kind or than a longer value of another page,
    // or applications that size buffers from the description truncate.
    if (longest < 0 || longest <= r.octet_length()) continue;
    r.set_length(RecordField::OctetLength, longest);
    std::int64_t display = longest;
    if (plan[c].sql_class == kClassBinary) {
      display = longest * 2;
    } else if (plan[c].sql_class == kClassWChar && !statement.open_query) {
      display = longest / 2;
    }
    r.set_int32(RecordField::DisplaySize, static_cast<std::int32_t>(std::min(display, kMaxLength)));
  }
  return true;
}

}  // namespace kestrion
