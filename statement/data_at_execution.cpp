#include "statement/data_at_execution.h"

#include <algorithm>
#include <cstring>

#include "driver/descriptor.h"
#include "driver/statement.h"
#include "statement/parameters.h"
#include "statement/statement_settings.h"
#include "statement/type_tables.h"

namespace kestrion {

namespace {

using Slot = std::pair<std::int64_t, std::int16_t>;  // parameter set, parameter number

std::int16_t LastParameter(CHStatement& statement) {
  CHDescriptor* apd = statement.current_descriptor(DescriptorRole::AppParam);
  const std::int16_t bound = apd != nullptr ? std::max<std::int16_t>(apd->count(), 0) : 0;
  return std::min<std::int16_t>(bound, statement.state.marker_count);
}

bool SetIgnored(CHStatement& statement, std::int64_t set) {
  const SQLUSMALLINT* operations = statement.param_operation_ptr();
  return operations != nullptr && operations[set] == SQL_PARAM_IGNORE;
}

// The first parameter waiting for data at or after `from`, set by set; the
// set is {-1, 0} when none does.
Slot ScanFrom(CHStatement& statement, Slot from) {
  const std::int16_t last = LastParameter(statement);
  const std::int64_t sets = ParamsetSize(statement);
  for (std::int64_t set = from.first; set < sets && last > 0; ++set) {
    if (SetIgnored(statement, set)) continue;
    for (std::int16_t i = set == from.first ? from.second : 1; i <= last && i > 0; ++i) {
      if (NeedsData(statement, i, set)) return {set, i};
    }
  }
  return {-1, 0};
}

}  // namespace

std::int16_t FirstParameterNeedingData(CHStatement& statement) {
  statement.state.pieces.clear();
  const std::int16_t first = ScanFrom(statement, {0, 1}).second;
  statement.state.need_data = first != 0;
  return first;
}

std::int16_t NextParameterNeedingData(CHStatement& statement, SQLPOINTER* token) {
  StatementState& s = statement.state;
  const Slot current = s.pieces.empty() ? Slot{0, 0} : s.pieces.rbegin()->first;
  const Slot next =
      ScanFrom(statement, {current.first, static_cast<std::int16_t>(current.second + 1)});
  if (next.second != 0) {
    s.pieces[next] = PieceBuffer{};
    // The token is the bound address of the set's element with the
    // parameter bind offset added, as ODBC defines it (applications binding
    // relative addresses or arrays of structures rely on it).
    if (token != nullptr) {
      *token = const_cast<void*>(ApplicationParameter(statement, next.second, next.first).data);
    }
    // The set whose data is asked for, as ODBC lets applications read it.
    if (SQLULEN* processed = statement.params_processed_ptr()) {
      *processed = static_cast<SQLULEN>(next.first + 1);
    }
  }
  return next.second;
}

SQLRETURN PutData(CHStatement& statement, SQLPOINTER data, SQLLEN length) {
  StatementState& s = statement.state;
  if (data == nullptr && length != SQL_NULL_DATA && length != 0) {
    return statement.Post(SqlState::HY009);
  }
  if (length == SQL_DATA_AT_EXEC || length < SQL_NTS) return statement.Post(SqlState::HY090);
  if (s.pieces.empty() || !s.need_data) {
    return statement.Post(SqlState::S01000,
                          u"Put data was called when there was no data-at-exec binded value.");
  }
  const Slot slot = s.pieces.rbegin()->first;
  if (!NeedsData(statement, slot.second, slot.first)) {
    return statement.Post(SqlState::S01000,
                          u"Put data was called when there was no data-at-exec binded value.");
  }
  PieceBuffer& piece = s.pieces.rbegin()->second;
  if (length == SQL_NULL_DATA) {
    piece.null = true;
    piece.bytes.clear();
    return statement.return_code();
  }
  std::size_t bytes = length > 0 ? static_cast<std::size_t>(length) : 0;
  if (length == SQL_NTS) {
    const std::int16_t c_class = ApplicationParameter(statement, slot.second, slot.first).c_class;
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
