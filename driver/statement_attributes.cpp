#include "driver/statement.h"

namespace kestrion {

AttributeCell* CHStatement::_GetAvailableAttribute(int32_t id, int16_t record, uint32_t access) {
  return CSQLHandle::_GetAvailableAttribute(id, record, access);
}

void CHStatement::_SetAttribute(AttributeCell& cell, int32_t id, SQLPOINTER value, SQLLEN length,
                         int16_t record) {
  CSQLHandle::_SetAttribute(cell, id, value, length, record);
}

}  // namespace kestrion
