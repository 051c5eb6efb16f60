// The environment attributes: ODBC version, connection pooling (not
// supported) and the output convention.
#include "driver/environment.h"

namespace kestrion {

AttributeCell* CHEnvironment::_GetAvailableAttribute(int32_t id, int16_t record, uint32_t access) {
  if ((access & kAnyAccess) != 0) {
    switch (id) {
      case SQL_ATTR_ODBC_VERSION: return &odbc_version_cell_;
      case SQL_ATTR_CONNECTION_POOLING: return &connection_pooling_cell_;
      case SQL_ATTR_CP_MATCH: return &cp_match_cell_;
      case SQL_ATTR_OUTPUT_NTS: return &output_nts_cell_;
      default: break;
    }
  }
  return CSQLHandle::_GetAvailableAttribute(id, record, access);
}

void CHEnvironment::_SetAttribute(AttributeCell& cell, int32_t id, SQLPOINTER value, SQLLEN,
                                  int16_t) {
  const auto v = static_cast<int32_t>(reinterpret_cast<intptr_t>(value));
  switch (id) {
    case SQL_ATTR_ODBC_VERSION:
      if (v == SQL_OV_ODBC2 || v == SQL_OV_ODBC3) {
        cell.value = v;
        odbc_version = v;
      } else {
        Post(SqlState::HY024, u"Available are: SQL_OV_ODBC3=3 or SQL_OV_ODBC2=2.");
      }
      break;
    case SQL_ATTR_CONNECTION_POOLING:
      if (v != 0) {  // SQL_CP_OFF
        Post(SqlState::S01S02, u"No connecting pooling supported: Changed for SQL_CP_OFF.");
      }
      break;
    case SQL_ATTR_CP_MATCH:
      if (v != 0) {  // SQL_CP_STRICT_MATCH
        Post(SqlState::S01S02,
             u"No connection pooling supported: Changed for SQL_CP_STRICT_MATCH.");
      }
      break;
    case SQL_ATTR_OUTPUT_NTS:
      if (v != SQL_TRUE) Post(SqlState::S01S02, u"SQL_TRUE assumed for SQL_ATTR_OUTPUT_NTS");
      break;
    default:
      break;
  }
}

void CHEnvironment::_ResetAttributes() {
  odbc_version_cell_ = AttributeCell::Int32(SQL_OV_ODBC3);
  connection_pooling_cell_ = AttributeCell::Int32(0);
  cp_match_cell_ = AttributeCell::Int32(0);
  output_nts_cell_ = AttributeCell::Int32(SQL_TRUE);
}

}  // namespace kestrion
