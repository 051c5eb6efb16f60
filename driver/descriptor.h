// CHDescriptor: an ODBC descriptor handle (header and records).
#pragma once

#include <cstdint>
#include <vector>

#include "driver/descriptor_record.h"
#include "driver/handle.h"

namespace kestrion {

class CHConnection;
class CHStatement;

// Role codes of implicit descriptors: automatic (16) plus the role bit.
enum DescriptorRoleCode : int32_t {
  kRoleExplicit = 0,
  kRoleAutomatic = 16,
  kRoleBitAppParam = 1,
  kRoleBitImpParam = 2,
  kRoleBitAppRow = 4,
  kRoleBitImpRow = 8,
};

class CHDescriptor : public CSQLHandle {
 public:
  explicit CHDescriptor(CHConnection* connection);
  ~CHDescriptor() override;

  AttributeCell* _GetAvailableAttribute(int32_t id, int16_t record, uint32_t access) override;
  void _SetAttribute(AttributeCell& cell, int32_t id, SQLPOINTER value, SQLLEN length,
                     int16_t record) override;
  void _OnDiagnosticPosted(SqlState state, std::u16string_view message) override;

  // SQL_DESC_COUNT: -1 until first sized, then the highest record number.
  int16_t count() const { return count_cell.AsInt16(); }
  // Sets the count and grows or shrinks the records (record 0 is the
  // bookmark record, so there are count + 1 records).
  void SetCount(int16_t count);

  // The stored role code, plus 32 when a registered statement is associated
  // and the bit of the first of its current-descriptor roles (parameter
  // application, parameter implementation, row application, row
  // implementation) that holds this descriptor.
  int32_t EffectiveRole() const;
  // A record by number; null outside 0..count.
  DescriptorRecord* record(int n) {
    return n >= 0 && n < static_cast<int>(records.size()) ? &records[static_cast<size_t>(n)] : nullptr;
  }
  // Called on destruction: the statements of the connection that use this
  // descriptor go back to their implicit ones.
  void ReleaseFromStatements();

  AttributeCell count_cell = AttributeCell::Int16(-1);
  AttributeCell alloc_type_cell = AttributeCell::Int16(SQL_DESC_ALLOC_AUTO);
  CHStatement* associated_statement = nullptr;
  int32_t role = kRoleExplicit;
  // Raised by every field the application sets, so that what the driver
  // built into the descriptor is known to be untouched.
  uint32_t app_writes = 0;
  std::vector<DescriptorRecord> records;
};

}  // namespace kestrion
