#include "statement/get_data.h"

#include "driver/descriptor.h"
#include "driver/statement.h"
#include "statement/cell_fault.h"
#include "statement/deliver_value.h"
#include "statement/page_request.h"
#include "statement/statement_exchange.h"
#include "statement/statement_settings.h"
#include "statement/type_tables.h"

namespace kestrion {

SQLRETURN GetData(CHStatement& statement, SQLUSMALLINT column, SQLSMALLINT target_type,
                  SQLPOINTER target, SQLLEN buffer_length, SQLLEN* indicator) {
  StatementState& s = statement.state;
  if (target == nullptr) return statement.Post(SqlState::HY009, u"You provided a null TargetPtr");
  const std::int32_t version = OdbcVersion(statement);
  const bool starts = s.getdata_column < 0 || s.getdata_column != static_cast<std::int32_t>(column);
  if (starts) {
    s.getdata_column = static_cast<std::int16_t>(column);
    s.getdata_offset = 0;
  }
  if (buffer_length < 0) {
    return statement.Post(SqlState::HY090, u"You musn't provide a minus buffer length.");
  }
  CHDescriptor* ird = statement.current_descriptor(DescriptorRole::ImpRow);
  if (ird == nullptr) {
    return statement.Post(SqlState::HYC00,
                          u"Unrecoverable error: Lack of implementation row descriptor.");
  }
  if (static_cast<std::int32_t>(column) > ird->count()) {
    return statement.Post(SqlState::HY000, u"Column index overflow.");
  }
  const std::int64_t row = s.rowset_first - 1 + s.rowset_position;
  if (s.rowset_first < 1 || row >= s.total_rows) {
    return statement.Post(SqlState::S24000, u"No row is current on this StatementHandle.");
  }

  const std::int16_t sql_class =
      FoldType(ird->records[column].concise_type(), version);
  std::int16_t c_class = kClassNone;
  std::int16_t scale = 0;
  bool unsigned_integer = false;
  if (target_type == SQL_ARD_TYPE) {
    CHDescriptor* ard = statement.current_descriptor(DescriptorRole::AppRow);
    if (ard != nullptr && ard->count() >= static_cast<std::int32_t>(column)) {
      c_class = FoldType(ard->records[column].concise_type(), version);
      scale = ard->records[column].scale();
      unsigned_integer = IsUnsignedCType(ard->records[column].concise_type());
    }
  } else {
    c_class = FoldType(target_type, version);
    unsigned_integer = IsUnsignedCType(target_type);
  }
  if (c_class == kClassDefault) c_class = sql_class;
  if (c_class == kClassNone) {
    return statement.Post(SqlState::HY003, u"The argument TargetType was not a valid data type.");
  }

  if (!s.cache.Contains(row)) {
    StatementExchange exchange(statement);
    if (!EnsureRowCached(statement, exchange, row, 1)) return statement.return_code();
  }
  if (column > 0 && s.cache.result_status(row) == SQL_ROW_ERROR) {
    if (const std::int32_t fault = s.cache.result_fault(row, column)) {
      s.getdata_column = -1;
      PostCellFault(statement, column, fault);
      return statement.return_code();
    }
  }
  // Bookmarks are row indexes (see the rowset delivery).
  corvane::VValue bookmark;
  if (column == 0 && s.updatable) bookmark = corvane::VLong(static_cast<std::int32_t>(row));
  const corvane::VValue& value =
      column == 0 && s.updatable ? bookmark : s.cache.result_cell(row, column);
  CellTarget cell{target, buffer_length, c_class, scale, s.getdata_offset, unsigned_integer};
  const CellResult r = DeliverValue(statement, cell, value);
  if (r.failed) {
    // Nothing was delivered: the next call starts the column again.
    s.getdata_column = -1;
    return statement.return_code();
  }
  if (r.null) {
    if (indicator != nullptr) *indicator = SQL_NULL_DATA;
    if (!starts) return SQL_NO_DATA;
    if (indicator == nullptr) {
      // Without an indicator the application could not tell the NULL apart.
      s.getdata_column = -1;
      return statement.Post(SqlState::S22002);
    }
    s.getdata_offset = 1;  // the NULL has been reported
    return statement.return_code();
  }
  const std::int64_t remaining = RemainingLength(r.target, r.conversion);
  const bool has_pieces = c_class == kClassChar || c_class == kClassWChar || c_class == kClassBinary;
  if (!starts && (remaining <= 0 || !has_pieces)) return SQL_NO_DATA;
  if (indicator != nullptr) *indicator = has_pieces ? remaining : r.conversion.full_length;
  s.getdata_offset += has_pieces ? r.conversion.delivered : r.conversion.full_length;
  if (r.truncated) statement.Post(SqlState::S01004);
  if (r.conversion.fraction_lost) statement.Post(SqlState::S01S07);
  return statement.return_code();
}

}  // namespace kestrion
