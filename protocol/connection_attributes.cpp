#include "protocol/connection_attributes.h"

#include "driver/connection.h"

namespace kestrion {

std::int32_t ReadConnectionAttribute(CHConnection& connection, std::int32_t id,
                                     std::int32_t fallback) {
  AttributeCell* cell = connection._GetAvailableAttribute(id, 0, kInternalGet);
  return cell ? cell->AsInt32() : fallback;
}

void WriteConnectionAttribute(CHConnection& connection, std::int32_t id, std::int32_t value) {
  if (AttributeCell* cell = connection._GetAvailableAttribute(id, 0, kInternalSet)) {
    cell->value = value;
  }
}

std::int32_t PacketSize(CHConnection& connection) {
  return ReadConnectionAttribute(connection, SQL_ATTR_PACKET_SIZE, 131072);
}

}  // namespace kestrion
