#include "driver/descriptor.h"

namespace kestrion {

AttributeCell* CHDescriptor::_GetAvailableAttribute(int32_t id, int16_t record, uint32_t access) {
  if ((access & kAnyAccess) == 0) return CSQLHandle::_GetAvailableAttribute(id, record, access);
  if (id == SQL_DESC_COUNT) return &count_cell;
  if (id == SQL_DESC_ALLOC_TYPE) return &alloc_type_cell;
  return CSQLHandle::_GetAvailableAttribute(id, record, access);
}

void CHDescriptor::_SetAttribute(AttributeCell& cell, int32_t id, SQLPOINTER value, SQLLEN,
                                 int16_t) {
  auto v = static_cast<int64_t>(reinterpret_cast<intptr_t>(value));
  if (id == SQL_DESC_COUNT) {
    SetCount(static_cast<int16_t>(v));
  } else if (id == SQL_DESC_ALLOC_TYPE) {
    cell.value = static_cast<int16_t>(v);
  }
}

}  // namespace kestrion
