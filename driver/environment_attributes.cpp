#include "driver/environment.h"

namespace kestrion {

AttributeCell* CHEnvironment::_GetAvailableAttribute(int32_t id, int16_t record, uint32_t access) {
  return CSQLHandle::_GetAvailableAttribute(id, record, access);
}

void CHEnvironment::_SetAttribute(AttributeCell& cell, int32_t id, SQLPOINTER value, SQLLEN length,
                         int16_t record) {
  CSQLHandle::_SetAttribute(cell, id, value, length, record);
}

void CHEnvironment::_ResetAttributes() {}

}  // namespace kestrion
