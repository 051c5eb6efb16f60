// CHConnection: an ODBC connection handle; owns its statements and
// descriptors, and its link to the server while connected.
#pragma once

#include <cstdint>

#include "driver/handle.h"
#include "protocol/session.h"

namespace kestrion {

class CHEnvironment;

class CHConnection : public CSQLHandle {
 public:
  explicit CHConnection(CHEnvironment* environment);
  ~CHConnection() override;

  CSQLHandle* _CreateChild(HandleKind kind) override;
  AttributeCell* _GetAvailableAttribute(int32_t id, int16_t record, uint32_t access) override;
  void _SetAttribute(AttributeCell& cell, int32_t id, SQLPOINTER value, SQLLEN length,
                     int16_t record) override;

  // Taken from a process-wide counter when the handle is created (first
  // connection handle 0); numbers the requests of this connection.
  const int32_t connection_number;
  // The value the counter will give the next connection handle.
  static int32_t NextConnectionNumber();

  Session session;
};

}  // namespace kestrion
