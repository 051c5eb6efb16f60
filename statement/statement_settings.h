// The statement attributes that the statement paths read, in one place:
// rowset size, binding type, limits and the application's pointers.
#pragma once

#include <cstdint>

#include "driver/odbc.h"
#include "driver/statement.h"

namespace kestrion {

inline std::int64_t RowArraySize(const CHStatement& s) {
  return static_cast<std::uint32_t>(s.row_array_size());
}
inline std::int64_t RowBindType(const CHStatement& s) {
  return static_cast<std::uint32_t>(s.row_bind_type());
}
inline std::int64_t MaxRows(const CHStatement& s) { return s.max_rows(); }
inline std::int64_t RowNumber(const CHStatement& s) {
  return static_cast<std::int64_t>(s.row_number());
}
inline void SetRowNumber(CHStatement& s, std::int64_t n) {
  s.set_row_number(static_cast<SQLULEN>(n));
}
inline std::int32_t DynamicBind(const CHStatement& s) { return s.dynamic_bind(); }
inline SQLULEN* RowsFetchedPtr(const CHStatement& s) { return s.rows_fetched_ptr(); }
inline SQLUSMALLINT* RowStatusPtr(const CHStatement& s) { return s.row_status_ptr(); }
inline SQLLEN* RowBindOffsetPtr(const CHStatement& s) { return s.row_bind_offset_ptr(); }
inline SQLLEN* ParamBindOffsetPtr(const CHStatement& s) { return s.param_bind_offset_ptr(); }
inline std::int64_t ParamBindType(const CHStatement& s) {
  return static_cast<std::uint32_t>(s.param_bind_type());
}
inline std::int64_t ParamsetSize(const CHStatement& s) {
  return static_cast<std::uint32_t>(s.paramset_size());
}

// The ODBC behaviour version of the statement's environment.
inline std::int32_t OdbcVersion(CHStatement& s) { return s._GetODBCVersion(); }

}  // namespace kestrion
