#include "driver/statement.h"

#include "driver/connection.h"
#include "driver/descriptor.h"
#include "driver/registry.h"
#include "statement/close_statement.h"

namespace kestrion {

namespace {
constexpr int32_t kRoleBits[4] = {kRoleBitAppParam, kRoleBitAppRow, kRoleBitImpParam,
                                  kRoleBitImpRow};
}  // namespace

CHStatement::CHStatement(CHConnection* connection)
    : CSQLHandle(HandleKind::Statement, connection) {
  for (auto& cell : current_) cell = AttributeCell::Pointer(nullptr);
  if (defunct()) return;
  const bool registered = HandleRegistry::KindOf(this) == HandleKind::Statement;
  for (int role = 0; role < 4; ++role) {
    CSQLHandle* child = connection->_CreateChild(HandleKind::Descriptor);
    if (child == nullptr || child->defunct()) {
      delete child;
      MarkDefunct();
      connection->Post(SqlState::HY001, u"MemoryAllocationFailure:\nCan't allocate descriptors.");
      return;
    }
    HandleRegistry::AddChild(connection, child);
    auto* descriptor = static_cast<CHDescriptor*>(child);
    if (registered) descriptor->associated_statement = this;
    descriptor->role = kRoleAutomatic | kRoleBits[role];
    implicit_[role] = descriptor;
    current_[role] = AttributeCell::Pointer(descriptor);
  }
}

CHStatement::~CHStatement() {
  if (defunct()) {
    // A statement that failed construction still owns the descriptors it made.
    for (CHDescriptor*& d : implicit_) {
      if (d != nullptr && HandleRegistry::KindOf(d) == HandleKind::Descriptor) delete d;
      d = nullptr;
    }
    return;
  }
  CloseStatement(*this);
  ReleaseCurrentDescriptors();
  for (CHDescriptor*& d : implicit_) {
    if (d != nullptr && HandleRegistry::KindOf(d) == HandleKind::Descriptor) delete d;
    d = nullptr;
  }
  DestroyChildren();
}

CHConnection* CHStatement::connection() const { return static_cast<CHConnection*>(parent()); }

CancelSignal* CHStatement::_CancelSignal() const {
  CHConnection* c = connection();
  return c != nullptr ? &c->session.cancel_signal : nullptr;
}

CHDescriptor* CHStatement::current_descriptor(DescriptorRole role) const {
  return static_cast<CHDescriptor*>(current_[static_cast<int>(role)].AsPointer());
}

void CHStatement::set_current_descriptor(DescriptorRole role, CHDescriptor* descriptor) {
  current_[static_cast<int>(role)] = AttributeCell::Pointer(descriptor);
}

void CHStatement::_OnDiagnosticsCleared() {
  for (int role = 0; role < 4; ++role) {
    auto* d = current_descriptor(static_cast<DescriptorRole>(role));
    if (d != nullptr && HandleRegistry::KindOf(d) == HandleKind::Descriptor) d->ClearDiagnostics();
  }
}

}  // namespace kestrion
