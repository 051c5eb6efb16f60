#include "statement/data_at_execution.h"

#include <algorithm>
#include <cstring>

#include "driver/descriptor.h"
#include "driver/statement.h"
#include "statement/parameters.h"
#include "statement/type_tables.h"

namespace kestrion {

namespace {

std::int16_t LastParameter(CHStatement& statement) {
  CHDescriptor* apd = statement.current_descriptor(DescriptorRole::AppParam);
  const std::int16_t bound = apd != nullptr ? std::max<std::int16_t>(apd->count(), 0) : 0;
  return std::min<std::int16_t>(bound, statement.state.marker_count);
}

std::int16_t ScanFrom(CHStatement& statement, std::int16_t first) {
  const std::int16_t last = LastParameter(statement);
  for (std::int16_t i = first; i <= last && i > 0; ++i) {
    if (NeedsData(statement, i)) return i;
  }
  return 0;
}

}  // namespace

std::int16_t FirstParameterNeedingData(CHStatement& statement) {
  statement.state.pieces.clear();
  const std::int16_t first = ScanFrom(statement, 1);
  statement.state.need_data = first != 0;
  return first;
}

std::int16_t NextParameterNeedingData(CHStatement& statement, SQLPOINTER* token) {
  StatementState& s = statement.state;
  const std::int16_t current = s.pieces.empty() ? 0 : s.pieces.rbegin()->first;
  const std::int16_t next = ScanFrom(statement, static_cast<std::int16_t>(current + 1));
  if (next != 0) {
    s.pieces[next] = PieceBuffer{};
    // The token is the bound address with the parameter bind offset added,
    // as ODBC defines it (applications binding relative addresses rely on it).
    if (token != nullptr) {
      *token = const_cast<void*>(ApplicationParameter(statement, next).data);
    }
  }
  return next;
}

SQLRETURN PutData(CHStatement& statement, SQLPOINTER data, SQLLEN length) {
  StatementState& s = statement.state;
  if (data == nullptr && length != SQL_NULL_DATA && length != 0) {
    return statement.Post(SqlState::HY009);
  }
  if (length == SQL_DATA_AT_EXEC || length < SQL_NTS) return statement.Post(SqlState::HY090);
  if (s.pieces.empty() || !s.need_data || !NeedsData(statement, s.pieces.rbegin()->first)) {
    return statement.Post(SqlState::S01000,
                          u"Put data was called when there was no data-at-exec binded value.");
  }
  const std::int16_t number = s.pieces.rbegin()->first;
  PieceBuffer& piece = s.pieces.rbegin()->second;
  if (length == SQL_NULL_DATA) {
    piece.null = true;
    piece.bytes.clear();
    return statement.return_code();
  }
  std::size_t bytes = length > 0 ? static_cast<std::size_t>(length) : 0;
  if (length == SQL_NTS) {
    const std::int16_t c_class = ApplicationParameter(statement, number).c_class;
    if (c_class == kClassWChar) {
      const auto* units = static_cast<const SQLWCHAR*>(data);
      std::size_t n = 0;
      while (units[n] != 0) ++n;
      bytes = n * sizeof(SQLWCHAR);
    } else if (c_class == kClassChar) {
      bytes = std::strlen(static_cast<const char*>(data));
    } else {
      return statement.Post(SqlState::HY090);
    }
  }
  if (bytes > 0) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    piece.bytes.insert(piece.bytes.end(), p, p + bytes);
  }
  return statement.return_code();
}

}  // namespace kestrion
