#include "statement/fetch.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "driver/descriptor.h"
#include "driver/statement.h"
#include "statement/cell_fault.h"
#include "statement/deliver_value.h"
#include "statement/page_request.h"
#include "statement/statement_exchange.h"
#include "statement/statement_settings.h"
#include "statement/type_tables.h"

namespace kestrion {

namespace {

template <class T>
T* Offset(T* p, std::int64_t bytes) {
  if (p == nullptr) return nullptr;
  return reinterpret_cast<T*>(reinterpret_cast<std::uint8_t*>(p) + bytes);
}

// The last row a fetch may deliver (exclusive, 0-based): SQL_ATTR_MAX_ROWS
// when it is set, else the result's total.
std::int64_t RowLimit(CHStatement& statement) {
  const std::int64_t max_rows = MaxRows(statement);
  const std::int64_t total = statement.state.total_rows;
  return max_rows >= 1 ? std::min(max_rows, total) : total;
}

// The 1-based row at which the requested rowset starts; false for an
// orientation the driver does not know (posted).
bool RowsetStart(CHStatement& statement, SQLSMALLINT orientation, SQLLEN offset,
                 std::int64_t& start) {
  StatementState& s = statement.state;
  const std::int64_t size = std::max<std::int64_t>(RowArraySize(statement), 1);
  const std::int64_t limit = RowLimit(statement);
  const std::int64_t current = s.rowset_first;
  switch (orientation) {
    case SQL_FETCH_NEXT:
      start = RowNumber(statement) + 1;
      if (current <= 0) start = 1;
      return true;
    case SQL_FETCH_FIRST:
      start = 1;
      return true;
    case SQL_FETCH_LAST:
      start = std::max<std::int64_t>(limit - size + 1, 1);
      return true;
    case SQL_FETCH_PRIOR:
      // From after the end, the last rowset; from before the start, nothing.
      start = (current > limit ? limit + 1 : current) - size;
      if (current <= 0) start = 0;
      return true;
    case SQL_FETCH_ABSOLUTE:
      // A negative offset counts from the end, as in ODBC.
      start = offset >= 0 ? offset : limit + offset + 1;
      if (offset < 0 && start < 1 && -offset <= size) start = 1;
      return true;
    case SQL_FETCH_RELATIVE:
      start = (current <= 0 ? 0 : current > limit ? limit + 1 : current) + offset;
      return true;
    case SQL_FETCH_BOOKMARK: {
      const auto* bookmark = static_cast<const std::int32_t*>(statement.fetch_bookmark_ptr());
      if (bookmark == nullptr) {
        start = current <= 0 ? 1 : current;
      } else {
        start = static_cast<std::int64_t>(*bookmark) + offset + 1;
      }
      return true;
    }
    default:
      statement.Post(SqlState::HYC00,
                     u"For Fetch orientation, supported are:\nSQL_FETCH_NEXT=1\nSQL_FETCH_FIRST=2\n"
                     u"SQL_FETCH_LAST=3\nSQL_FETCH_PRIOR=4\nSQL_FETCH_ABSOLUTE=5\n"
                     u"SQL_FETCH_RELATIVE=6\nSQL_FETCH_BOOKMARK=8");
      return false;
  }
}

// Builds the fetch pointers of the bound columns (the bind offset applied).
bool BuildPointers(CHStatement& statement, CHDescriptor& ard, CHDescriptor& ird,
                   std::vector<FetchPointer>& pointers) {
  const std::int32_t version = OdbcVersion(statement);
  const std::int16_t columns = std::max<std::int16_t>(ird.count(), 0);
  const std::int16_t bound = std::max<std::int16_t>(ard.count(), 0);
  const SQLLEN* offset_ptr = RowBindOffsetPtr(statement);
  const std::int64_t bind_offset = offset_ptr != nullptr ? *offset_ptr : 0;
  const bool row_wise = RowBindType(statement) > 0;
  pointers.assign(static_cast<std::size_t>(columns) + 1, FetchPointer{});
  for (std::int16_t c = 0; c <= columns; ++c) {
    FetchPointer& p = pointers[static_cast<std::size_t>(c)];
    p.sql_class = FoldType(ird.records[static_cast<std::size_t>(c)].concise_type(), version);
    if (c > bound) continue;
    const DescriptorRecord& r = ard.records[static_cast<std::size_t>(c)];
    p.data = Offset(static_cast<std::uint8_t*>(r.data_ptr()), bind_offset);
    p.buffer_length = r.octet_length();
    p.indicator = Offset(r.indicator_ptr(), bind_offset);
    p.octet_length = Offset(r.octet_length_ptr(), bind_offset);
    p.c_class = FoldType(r.concise_type(), version);
    p.unsigned_integer = IsUnsignedCType(r.concise_type());
    if (p.c_class == kClassDefault) p.c_class = p.sql_class;
    p.scale = r.scale();
    if (row_wise && p.data != nullptr && p.buffer_length != 0 && p.indicator == nullptr &&
        p.octet_length == nullptr) {
      statement.Post(SqlState::S22002, u"Must be defined for each row if you bind by row.");
      return false;
    }
  }
  return true;
}

// Replaces a dynamically bound column's buffer by one that holds `length`
// bytes, and points the ARD record at it.
void GrowDynamicBuffer(CHStatement& statement, CHDescriptor& ard, std::int16_t column,
                       std::int64_t length, FetchPointer& p) {
  auto buffer = std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(length));
  std::memset(buffer.get(), 0, static_cast<std::size_t>(length));
  DescriptorRecord& r = ard.records[static_cast<std::size_t>(column)];
  r.set_pointer(RecordField::DataPtr, buffer.get());
  r.set_length(RecordField::Length, length);
  r.set_length(RecordField::OctetLength, length);
  p.data = buffer.get();
  p.buffer_length = length;
  statement.state.dynamic_buffers[column] = std::move(buffer);
}

// Whether every error posted from the `first` record on concerns a row.
bool OnlyRowErrorsSince(const CHStatement& statement, std::size_t first) {
  const auto& records = statement.diagnostics();
  for (std::size_t i = first; i < records.size(); ++i) {
    if (!IsWarning(records[i].state) && records[i].row_number < 1) return false;
  }
  return true;
}

// Byte-wise: structures of row-wise binding may place lengths at any address.
void WriteLength(const FetchPointer& p, SQLLEN value, bool null) {
  if (p.indicator != nullptr) std::memcpy(p.indicator, &value, sizeof value);
  if (!null && p.octet_length != nullptr && p.octet_length != p.indicator) {
    std::memcpy(p.octet_length, &value, sizeof value);
  }
}

// Delivers the rowset that starts at 0-based row `first`; answers the
// number of rows delivered. A cell that cannot be delivered marks its row
// SQL_ROW_ERROR; its diagnostic names the row of the rowset and the column,
// and `row_errors` counts such rows.
std::int64_t DeliverRowset(CHStatement& statement, StatementExchange& exchange, CHDescriptor& ard,
                           std::vector<FetchPointer>& pointers, std::int64_t first,
                           SQLUSMALLINT* row_status, std::int64_t& row_errors) {
  StatementState& s = statement.state;
  const std::int64_t size = RowArraySize(statement);
  const std::int64_t limit = RowLimit(statement);
  const std::int64_t row_size = RowBindType(statement);
  const bool dynamic = DynamicBind(statement) == 8 && size == 1;
  std::int64_t delivered = 0;
  bool warned = false;           // 01004 once per fetch, not once per cell
  bool fraction_warned = false;  // 01S07 likewise
  row_errors = 0;
  // Bookmarks are row indexes, whatever the server keeps in column 0 of an
  // updatable result (its row identifier), so that SQL_FETCH_BOOKMARK finds
  // the row again.
  corvane::VValue bookmark;
  for (std::int64_t j = first; delivered < size && j < limit; ++j) {
    if (!s.cache.Contains(j)) {
      if (!EnsureRowCached(statement, exchange, j, size - delivered)) break;
    }
    const std::uint16_t status = s.cache.result_status(j);
    if (row_status != nullptr) row_status[delivered] = status;
    bool row_failed = false;
    const auto fail_cell = [&](std::size_t records_before, std::size_t column) {
      statement.SetRowAndColumn(records_before, delivered + 1, static_cast<std::int32_t>(column));
      if (row_status != nullptr) row_status[delivered] = SQL_ROW_ERROR;
      row_failed = true;
    };
    for (std::size_t c = 0; c < pointers.size(); ++c) {
      FetchPointer& p = pointers[c];
      if (p.data == nullptr && p.indicator == nullptr && p.octet_length == nullptr) continue;
      if (status == SQL_ROW_ERROR && c > 0) {
        if (const std::int32_t fault = s.cache.result_fault(j, static_cast<std::int32_t>(c))) {
          const std::size_t before = statement.diagnostics().size();
          PostCellFault(statement, static_cast<std::int32_t>(c), fault);
          fail_cell(before, c);
          continue;
        }
      }
      const corvane::VValue& value = c == 0 && s.updatable
                                         ? (bookmark = corvane::VLong(static_cast<std::int32_t>(j)))
                                         : s.cache.result_cell(j, static_cast<std::int32_t>(c));
      // Without a data buffer only the length and indicator are answered.
      CellTarget target{p.data, p.buffer_length, p.c_class, p.scale, 0, p.unsigned_integer};
      const std::size_t records_before = statement.diagnostics().size();
      CellResult r = DeliverValue(statement, target, value);
      if (r.failed) {
        fail_cell(records_before, c);
        continue;
      }
      if (r.null) {
        if (p.indicator == nullptr) {
          // Without an indicator the application would take its buffer's
          // old contents for the value.
          statement.Post(SqlState::S22002);
          fail_cell(records_before, c);
          continue;
        }
        WriteLength(p, SQL_NULL_DATA, true);
        continue;
      }
      if (p.data != nullptr && r.conversion.full_length > p.buffer_length && dynamic &&
          (p.c_class == kClassChar || p.c_class == kClassWChar || p.c_class == kClassBinary)) {
        GrowDynamicBuffer(statement, ard, static_cast<std::int16_t>(c), r.conversion.full_length, p);
        target.data = p.data;
        target.buffer_length = p.buffer_length;
        r = DeliverValue(statement, target, value);
      } else if (p.data != nullptr && r.truncated && !warned) {
        statement.Post(SqlState::S01004);
        statement.SetRowAndColumn(records_before, delivered + 1, static_cast<std::int32_t>(c));
        warned = true;
      }
      if (r.conversion.fraction_lost && !fraction_warned) {
        const std::size_t before = statement.diagnostics().size();
        statement.Post(SqlState::S01S07);
        statement.SetRowAndColumn(before, delivered + 1, static_cast<std::int32_t>(c));
        fraction_warned = true;
      }
      WriteLength(p, r.conversion.full_length - TerminatorSize(p.c_class), false);
    }
    if (row_failed) ++row_errors;
    ++delivered;
    // The addresses of the next row.
    for (FetchPointer& p : pointers) {
      const std::int64_t step =
          row_size > 0 ? row_size : FixedBufferSize(p.c_class, p.buffer_length);
      const std::int64_t indicator_step = row_size > 0 ? row_size : sizeof(SQLLEN);
      p.data = Offset(p.data, step);
      p.indicator = Offset(p.indicator, indicator_step);
      p.octet_length = Offset(p.octet_length, indicator_step);
    }
  }
  return delivered;
}

}  // namespace

SQLRETURN CommonFetch(CHStatement& statement, SQLSMALLINT orientation, SQLLEN offset,
                      SQLUSMALLINT* row_status, SQLULEN* rows_out) {
  StatementState& s = statement.state;
  std::int64_t start = 0;
  if (!RowsetStart(statement, orientation, offset, start)) return statement.return_code();
  s.row_status = row_status;
  s.getdata_column = -1;
  s.getdata_offset = 0;
  s.rowset_position = 0;
  SQLULEN* fetched = RowsFetchedPtr(statement);
  if (fetched != nullptr) *fetched = 0;
  if (rows_out != nullptr) *rows_out = 0;

  CHDescriptor* ard = statement.current_descriptor(DescriptorRole::AppRow);
  CHDescriptor* ird = statement.current_descriptor(DescriptorRole::ImpRow);
  if (ard == nullptr || ird == nullptr) {
    return statement.Post(SqlState::HYC00, u"Unrecoverable error: Lack of row descriptor.");
  }
  if (ard->count() > ird->count()) return statement.Post(SqlState::HY000, u"Too many binded columns.");

  const std::int64_t size = RowArraySize(statement);
  if (row_status != nullptr) {
    for (std::int64_t i = 0; i < size; ++i) row_status[i] = SQL_ROW_NOROW;
  }
  if (start < 1) {
    // The rowset would start before the first row: nothing to fetch.
    s.rowset_first = 0;
    SetRowNumber(statement, 0);
    statement.Post(SqlState::S01S06, u"Offset sets the rowset in no-data zone.");
    return SQL_NO_DATA;
  }
  const std::int64_t limit = RowLimit(statement);
  if (start > limit || size < 1) {
    s.rowset_first = limit + 1;
    SetRowNumber(statement, limit);
    return statement.return_code() == SQL_ERROR ? SQL_ERROR : SQL_NO_DATA;
  }

  // Kept with the statement so that a fetch does not allocate.
  std::vector<FetchPointer>& pointers = s.fetch_pointers;
  if (!BuildPointers(statement, *ard, *ird, pointers)) return statement.return_code();

  StatementExchange exchange(statement);
  const std::size_t records_before = statement.diagnostics().size();
  std::int64_t row_errors = 0;
  const std::int64_t delivered = DeliverRowset(statement, exchange, *ard, pointers, start - 1,
                                               row_status, row_errors);
  exchange.Sync();
  if (fetched != nullptr) *fetched = static_cast<SQLULEN>(delivered);
  if (rows_out != nullptr) *rows_out = static_cast<SQLULEN>(delivered);
  if (delivered > 0) {
    s.rowset_first = start;
    SetRowNumber(statement, start - 1 + delivered);
    // Errors in some rows of a rowset of several rows leave the others
    // fetched: the fetch answers with a warning, the rows' status tells.
    if (row_errors > 0 && delivered > 1 && OnlyRowErrorsSince(statement, records_before)) {
      return SQL_SUCCESS_WITH_INFO;
    }
    return statement.return_code();
  }
  if (statement.return_code() == SQL_ERROR) return SQL_ERROR;
  s.rowset_first = limit + 1;
  SetRowNumber(statement, start - 1);
  return SQL_NO_DATA;
}

}  // namespace kestrion
