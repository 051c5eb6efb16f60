// Internal reads and writes of a connection's attribute cells by the
// connect procedure and the framing (time-outs, packet size).
#pragma once

#include <cstdint>

namespace kestrion {

class CHConnection;

// The 32-bit value of a connection attribute, or `fallback` when the
// connection has no such cell.
std::int32_t ReadConnectionAttribute(CHConnection& connection, std::int32_t id,
                                     std::int32_t fallback);
// Stores a 32-bit value in a connection attribute's cell as it is, without
// the checks an application's set goes through.
void WriteConnectionAttribute(CHConnection& connection, std::int32_t id, std::int32_t value);

// The capacity of a receive buffer: SQL_ATTR_PACKET_SIZE.
std::int32_t PacketSize(CHConnection& connection);

}  // namespace kestrion
