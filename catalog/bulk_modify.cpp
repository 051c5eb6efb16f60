#include "catalog/bulk_modify.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "driver/descriptor.h"
#include "driver/statement.h"
#include "statement/convert_from_c.h"
#include "statement/deliver_value.h"
#include "statement/statement_exchange.h"
#include "statement/statement_settings.h"
#include "statement/type_tables.h"
#include "toolbox/value_codec.h"

namespace kestrion {

namespace {

// One column's bound buffer, at the row being written.
struct Binding {
  std::uint8_t* data = nullptr;
  std::int64_t buffer_length = 0;
  SQLLEN* indicator = nullptr;
  SQLLEN* octet_length = nullptr;
  std::int16_t c_type = 0;
  std::int16_t c_class = kClassNone;
  std::int16_t sql_class = kClassNone;
  std::int16_t column = 0;  // 1-based; 0 for the bookmark

  bool bound() const { return data != nullptr; }
};

template <class T>
T* Advance(T* p, std::int64_t bytes) {
  if (p == nullptr) return nullptr;
  return reinterpret_cast<T*>(reinterpret_cast<std::uint8_t*>(p) + bytes);
}

struct Strides {
  std::int64_t row_size = 0;  // 0: column-wise

  std::int64_t data(const Binding& b) const { return row_size > 0 ? row_size : b.buffer_length; }
  std::int64_t indicator() const {
    return row_size > 0 ? row_size : static_cast<std::int64_t>(sizeof(SQLLEN));
  }
  void MoveTo(Binding& b, std::int64_t row) const {
    if (row <= 0) return;
    b.data = Advance(b.data, row * data(b));
    b.indicator = Advance(b.indicator, row * indicator());
    b.octet_length = Advance(b.octet_length, row * indicator());
  }
};

Binding BindingOf(CHStatement& statement, CHDescriptor& ard, CHDescriptor& ird, std::int16_t column) {
  Binding b;
  b.column = column;
  const std::int32_t version = OdbcVersion(statement);
  b.sql_class = FoldType(ird.records[static_cast<std::size_t>(column)].concise_type(), version);
  if (column > ard.count()) return b;
  const DescriptorRecord& r = ard.records[static_cast<std::size_t>(column)];
  const SQLLEN* offset_ptr = RowBindOffsetPtr(statement);
  const std::int64_t offset = offset_ptr != nullptr ? *offset_ptr : 0;
  b.data = Advance(static_cast<std::uint8_t*>(r.data_ptr()), offset);
  b.buffer_length = r.octet_length();
  b.indicator = Advance(r.indicator_ptr(), offset);
  b.octet_length = Advance(r.octet_length_ptr(), offset);
  b.c_type = r.concise_type();
  b.c_class = FoldType(b.c_type, version);
  if (b.c_class == kClassDefault) b.c_class = b.sql_class;
  return b;
}

// The row id held by a bound bookmark buffer.
std::int32_t BookmarkFromBuffer(const Binding& b) {
  switch (b.c_class) {
    case kClassInteger: {
      std::int32_t v = 0;
      std::memcpy(&v, b.data, sizeof v);
      return v;
    }
    case kClassBigInt: {
      std::int64_t v = 0;
      std::memcpy(&v, b.data, sizeof v);
      return static_cast<std::int32_t>(v);
    }
    case kClassBinary: {
      std::uint32_t v = 0;
      const std::int64_t n = std::clamp<std::int64_t>(b.buffer_length, 0, 4);
      for (std::int64_t i = 0; i < n; ++i) v = (v << 8) | b.data[i];
      return static_cast<std::int32_t>(v);
    }
    default:
      return 0;
  }
}

// Stores a new row id in a bound bookmark buffer, in the width of its type.
void StoreBookmark(const Binding& b, std::int32_t id) {
  if (!b.bound()) return;
  std::int64_t length = 4;
  switch (b.c_class) {
    case kClassBigInt: {
      const std::int64_t v = id;
      std::memcpy(b.data, &v, sizeof v);
      length = 8;
      break;
    }
    case kClassBinary: {
      const std::int64_t n = std::clamp<std::int64_t>(b.buffer_length, 0, 4);
      const auto u = static_cast<std::uint32_t>(id);
      for (std::int64_t i = 0; i < n; ++i) b.data[i] = static_cast<std::uint8_t>(u >> (8 * (n - 1 - i)));
      length = n;
      break;
    }
    default:
      std::memcpy(b.data, &id, sizeof id);
      break;
  }
  if (b.indicator != nullptr) *b.indicator = length;
}

// The value a bound column holds for the row being written, in the kind of
// the result column. The length is never taken past the buffer: after a cut
// fetch the indicator holds the full length of the value, not of the buffer.
bool ColumnValue(CHStatement& statement, const Binding& b, corvane::VValue& out, bool& null) {
  ParameterBuffer p;
  p.c_type = b.c_type;
  p.c_class = b.c_class;
  p.data = b.data;
  p.buffer_length = b.buffer_length;
  p.charset = statement.charset;
  p.windev = statement.windev;
  const bool sized = b.c_class == kClassChar || b.c_class == kClassWChar || b.c_class == kClassBinary;
  auto bounded = [&](SQLLEN v) -> std::int64_t {
    if (sized && v > b.buffer_length && b.buffer_length > 0) return b.buffer_length;
    return v;
  };
  if (b.indicator != nullptr) p.indicator = bounded(*b.indicator);
  if (b.octet_length != nullptr) p.length = bounded(*b.octet_length);
  out = corvane::VValue();
  const ParameterValue made = MakeParameterValue(p, b.sql_class, out);
  if (made.status != Conversion::kOk) {
    PostConversionFailure(statement, made.status);
    return false;
  }
  null = made.state != BufferValue::kValue || out.is_null() || out.kind() == corvane::VKind::Unknown;
  return true;
}

}  // namespace

SQLRETURN BulkModify(CHStatement& statement, BulkCode code, std::int64_t row_count,
                     std::int64_t first_row) {
  StatementState& s = statement.state;
  StatementExchange exchange(statement);
  if (!exchange.CheckConnection()) return statement.return_code();
  CHDescriptor* ird = statement.current_descriptor(DescriptorRole::ImpRow);
  CHDescriptor* ard = statement.current_descriptor(DescriptorRole::AppRow);
  if (ird == nullptr || ird->count() <= 0 || ard == nullptr) return statement.return_code();
  if (code != BulkCode::Add && !s.described) return statement.Post(SqlState::S24000);
  if (first_row < 0) first_row = 0;

  const Strides strides{RowBindType(statement)};
  Binding bookmark = BindingOf(statement, *ard, *ird, 0);
  strides.MoveTo(bookmark, first_row);
  std::vector<Binding> sent;
  if (code != BulkCode::Delete) {
    for (std::int16_t c = 1; c <= ird->count(); ++c) {
      if (ird->records[static_cast<std::size_t>(c)].updatable() != SQL_ATTR_WRITE) continue;
      Binding b = BindingOf(statement, *ard, *ird, c);
      if (!b.bound()) continue;
      strides.MoveTo(b, first_row);
      sent.push_back(b);
    }
  }

  corvane::VMemoryStream body;
  body.buffer().reserve(static_cast<std::size_t>(row_count) * (7 + sent.size() * 12));
  corvane::VValue value;
  for (std::int64_t p = 0; p < row_count; ++p) {
    body.PutU8(static_cast<std::uint8_t>(code));
    if (code == BulkCode::Add) {
      body.PutU16(static_cast<std::uint16_t>(sent.size()));
    } else {
      std::int32_t id = 0;
      if (bookmark.bound()) {
        id = BookmarkFromBuffer(bookmark);
      } else {
        // The id the server sent for this row of the rowset, kept in its
        // bookmark column.
        const std::int64_t row = s.rowset_first - 1 + first_row + p;
        if (s.rowset_first < 1 || !s.cache.Contains(row)) {
          return statement.Post(SqlState::HY109, u"The row is not in the current rowset.");
        }
        id = static_cast<std::int32_t>(s.cache.result_cell(row, 0).integer());
      }
      body.PutI32(id);
      if (code == BulkCode::Update) body.PutU16(static_cast<std::uint16_t>(sent.size()));
    }
    if (!statement.ok()) return statement.return_code();
    bookmark.data = Advance(bookmark.data, strides.data(bookmark));
    bookmark.indicator = Advance(bookmark.indicator, strides.indicator());
    for (Binding& b : sent) {
      bool null = true;
      if (!ColumnValue(statement, b, value, null)) return statement.return_code();
      body.PutU16(static_cast<std::uint16_t>(b.column - 1));
      if (null) {
        body.PutU8('0');
      } else {
        body.PutU8('1');
        if (!corvane::WriteValue(body, value)) {
          return statement.Post(SqlState::HY000, u"A column value could not be encoded.");
        }
      }
      b.data = Advance(b.data, strides.data(b));
      b.indicator = Advance(b.indicator, strides.indicator());
      b.octet_length = Advance(b.octet_length, strides.indicator());
    }
  }

  std::string header = "BULK-MODIFY\r\nSTATEMENT-ID: ";
  header += std::to_string(s.statement_id);
  header += "\r\nCOMMAND-INDEX: ";
  header += std::to_string(s.result_index);
  header += "\r\nROW-COUNT : ";
  header += std::to_string(row_count);
  if (!exchange.Send(header, body.buffer())) return statement.return_code();

  if (code == BulkCode::Add) {
    Binding target = BindingOf(statement, *ard, *ird, 0);
    strides.MoveTo(target, first_row);
    for (std::int64_t p = 0; p < row_count; ++p) {
      std::int32_t id = 0;
      if (!exchange.body().GetI32(id)) {
        exchange.PostBodyFailure(u"Can't get the ids of the added rows.");
        return statement.return_code();
      }
      StoreBookmark(target, id);
      target.data = Advance(target.data, strides.data(target));
      target.indicator = Advance(target.indicator, strides.indicator());
    }
  }
  return statement.return_code();
}

SQLRETURN SetPos(CHStatement& statement, SQLSETPOSIROW row_number, SQLUSMALLINT operation) {
  BulkCode code = BulkCode::Update;
  switch (operation) {
    case SQL_POSITION: break;
    case SQL_UPDATE: code = BulkCode::Update; break;
    case SQL_DELETE: code = BulkCode::Delete; break;
    case SQL_ADD: code = BulkCode::Add; break;
    default: return statement.Post(SqlState::HYC00);
  }
  const std::int64_t size = RowArraySize(statement);
  if (static_cast<std::int64_t>(row_number) > size) {
    statement.Post(SqlState::HY107);
    if (statement.return_code() == SQL_ERROR) return SQL_ERROR;
  }
  StatementState& s = statement.state;
  if (operation == SQL_POSITION) {
    // Row RowNumber of the rowset becomes the current row for SQLGetData.
    const std::int64_t index = row_number == 0 ? 0 : static_cast<std::int64_t>(row_number) - 1;
    if (s.rowset_first < 1 || s.rowset_first - 1 + index >= s.total_rows) {
      return statement.Post(SqlState::HY109, u"The row is not in the current rowset.");
    }
    s.rowset_position = index;
    s.getdata_column = -1;
    s.getdata_offset = 0;
    return statement.return_code();
  }
  const std::int64_t rows = row_number != 0 ? 1 : size;
  const std::int64_t first = static_cast<std::int64_t>(row_number) - 1;
  if (!statement.ok()) return statement.return_code();
  return BulkModify(statement, code, rows, first);
}

SQLRETURN BulkOperations(CHStatement& statement, SQLSMALLINT operation) {
  BulkCode code = BulkCode::Update;
  switch (operation) {
    case SQL_ADD: code = BulkCode::Add; break;
    case SQL_UPDATE_BY_BOOKMARK: code = BulkCode::Update; break;
    case SQL_DELETE_BY_BOOKMARK: code = BulkCode::Delete; break;
    default:
      return statement.Post(SqlState::HYC00,
                            u"Operation wasn't one of: SQL_ADD=4,SQL_UPDATE_BY_BOOKMARK=5,"
                            u"SQL_DELETE_BY_BOOKMARK=6 or SQL_FETCH_BY_BOOKMARK=7");
  }
  return BulkModify(statement, code, RowArraySize(statement), 0);
}

}  // namespace kestrion
