// CHStatement: an ODBC statement handle with its four implicit descriptors.
#pragma once

#include <array>

#include "driver/handle.h"
#include "statement/statement_state.h"

namespace kestrion {

class CHConnection;
class CHDescriptor;

// Descriptor roles, in the order the statement creates its implicit ones.
enum class DescriptorRole : int { AppParam = 0, AppRow = 1, ImpParam = 2, ImpRow = 3 };

class CHStatement : public CSQLHandle {
 public:
  // Creates a statement under a connection with its implicit descriptors;
  // the result may be defunct (the caller destroys it then).
  explicit CHStatement(CHConnection* connection);
  ~CHStatement() override;

  void _EndTransaction(int16_t completion) override;
  AttributeCell* _GetAvailableAttribute(int32_t id, int16_t record, uint32_t access) override;
  void _SetAttribute(AttributeCell& cell, int32_t id, SQLPOINTER value, SQLLEN length,
                     int16_t record) override;
  void _OnDiagnosticsCleared() override;

  CHConnection* connection() const;
  CHDescriptor* implicit_descriptor(DescriptorRole role) const {
    return implicit_[static_cast<int>(role)];
  }
  // The descriptor in effect for a role (an explicit descriptor may stand in
  // the application roles).
  CHDescriptor* current_descriptor(DescriptorRole role) const;
  void set_current_descriptor(DescriptorRole role, CHDescriptor* descriptor);

  StatementState state;

 private:
  std::array<CHDescriptor*, 4> implicit_{};
  std::array<AttributeCell, 4> current_{};  // pointer cells, by role
};

}  // namespace kestrion
