#include "driver/connection.h"

#include <atomic>

#include "driver/descriptor.h"
#include "driver/environment.h"
#include "driver/statement.h"
#include "protocol/connect.h"

namespace kestrion {

namespace {
std::atomic<int32_t> g_connection_counter{0};
}  // namespace

int32_t CHConnection::NextConnectionNumber() { return g_connection_counter.load(); }

CHConnection::CHConnection(CHEnvironment* environment)
    : CSQLHandle(HandleKind::Connection, environment),
      connection_number(g_connection_counter.fetch_add(1)),
      log(ProcessLogTarget()) {}

CHConnection::~CHConnection() {
  if (defunct()) return;
  DestroyChildren();
  // Statements close their cursors first, while the link is still up.
  if (session.link) Disconnect(*this);
}

CSQLHandle* CHConnection::_CreateChild(HandleKind kind) {
  if (kind == HandleKind::Statement) return new CHStatement(this);
  if (kind == HandleKind::Descriptor) return new CHDescriptor(this);
  return nullptr;
}

}  // namespace kestrion
