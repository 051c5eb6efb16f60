#include "driver/descriptor.h"

#include "driver/connection.h"
#include "driver/registry.h"
#include "driver/statement.h"

namespace kestrion {

CHDescriptor::CHDescriptor(CHConnection* connection)
    : CSQLHandle(HandleKind::Descriptor, connection) {
  if (defunct()) return;
  count_cell = AttributeCell::Int16(-1);
  alloc_type_cell = AttributeCell::Int16(SQL_DESC_ALLOC_AUTO);
  associated_statement = nullptr;
  role = kRoleExplicit;
  SetCount(0);
}

CHDescriptor::~CHDescriptor() {
  if (defunct()) return;
  ReleaseFromStatements();
  records.clear();
  count_cell = AttributeCell::Int16(-1);
  DestroyChildren();
}

void CHDescriptor::SetCount(int16_t count) {
  if (count < 0) count = 0;
  records.resize(static_cast<size_t>(count) + 1);
  count_cell = AttributeCell::Int16(count);
}

void CHDescriptor::_OnDiagnosticPosted(SqlState state, std::u16string_view message) {
  if (associated_statement != nullptr &&
      HandleRegistry::KindOf(associated_statement) == HandleKind::Statement) {
    associated_statement->Post(state, message, 0);
  }
}

}  // namespace kestrion
