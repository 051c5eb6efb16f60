// CHStatement: an ODBC statement handle with its four implicit descriptors.
#pragma once

#include <array>
#include <cstdint>
#include <set>

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
  CancelSignal* _CancelSignal() const override;

  CHConnection* connection() const;
  CHDescriptor* implicit_descriptor(DescriptorRole role) const {
    return implicit_[static_cast<int>(role)];
  }
  // The descriptor in effect for a role (an explicit descriptor may stand in
  // the application roles).
  CHDescriptor* current_descriptor(DescriptorRole role) const;
  void set_current_descriptor(DescriptorRole role, CHDescriptor* descriptor);

  StatementState state;

  // Statement attributes (statement_attributes.cpp), for driver code.
  int32_t row_array_size() const;
  int32_t max_rows() const;
  int32_t max_length() const;
  int32_t row_bind_type() const;
  int32_t param_bind_type() const;
  int32_t cursor_type() const;
  int32_t concurrency() const;
  int32_t use_bookmarks() const;
  int32_t retrieve_data() const;
  int32_t noscan() const;
  int32_t dynamic_bind() const;
  SQLULEN* rows_fetched_ptr() const;
  SQLUSMALLINT* row_status_ptr() const;
  SQLUSMALLINT* row_operation_ptr() const;
  SQLLEN* row_bind_offset_ptr() const;
  SQLLEN* param_bind_offset_ptr() const;
  SQLUSMALLINT* param_status_ptr() const;
  SQLUSMALLINT* param_operation_ptr() const;
  SQLULEN* params_processed_ptr() const;
  int32_t paramset_size() const;
  SQLPOINTER fetch_bookmark_ptr() const;
  SQLULEN row_number() const;
  void set_row_number(SQLULEN row);
  // The query time-out: the connection's, shared by all its statements.
  int32_t query_timeout() const;

  // Columns bound by SQLBindCol while the open-query flag is set.
  std::set<uint16_t> bound_columns;

  // A descriptor that is going away: every role it holds here reverts to
  // the implicit descriptor of that role.
  void ForgetDescriptor(const CHDescriptor* descriptor);
  // On destruction: the explicit descriptors in use here are no longer
  // associated with this statement.
  void ReleaseCurrentDescriptors();

  static constexpr int kAttributeCount = 31;

 private:
  static std::array<AttributeCell, kAttributeCount> DefaultAttributes();

  std::array<CHDescriptor*, 4> implicit_{};
  std::array<AttributeCell, 4> current_{};  // pointer cells, by role
  std::array<AttributeCell, kAttributeCount> attributes_ = DefaultAttributes();
};

}  // namespace kestrion
