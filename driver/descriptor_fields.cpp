// The descriptor fields: how a field is found for a record and an access
// mode, the header fields that the statement keeps, and the rules applied
// when a field is set (the concise type's derivations among them).
#include <algorithm>
#include <cstdint>
#include <limits>

#include "driver/descriptor.h"
#include "driver/registry.h"
#include "driver/statement.h"
#include "statement/type_tables.h"

namespace kestrion {

namespace {

constexpr int32_t kRoleAssociated = 32;
constexpr int32_t kParamRoles = kRoleBitAppParam | kRoleBitImpParam;
constexpr int32_t kDescDynamicBind = 2000;

constexpr char16_t kUnavailable[] = u"Unavailable descriptor attribute.";
constexpr char16_t kProtected[] = u"You tried to access a protected/private attribute.";

bool IsStatementKept(int32_t id) {
  switch (id) {
    case SQL_DESC_ARRAY_SIZE:
    case SQL_DESC_ARRAY_STATUS_PTR:
    case SQL_DESC_BIND_OFFSET_PTR:
    case SQL_DESC_BIND_TYPE:
    case SQL_DESC_ROWS_PROCESSED_PTR:
    case kDescDynamicBind:
      return true;
    default:
      return false;
  }
}

// The statement attribute behind a statement-kept header field for an
// effective role; 0 when the field is not available for that role.
int32_t StatementAttributeFor(int32_t id, int32_t role) {
  const bool app_row = (role & kRoleBitAppRow) != 0;
  const bool app_param = (role & kRoleBitAppParam) != 0;
  const bool imp_row = (role & kRoleBitImpRow) != 0;
  const bool imp_param = (role & kRoleBitImpParam) != 0;
  switch (id) {
    case SQL_DESC_ARRAY_SIZE:
      return app_row ? SQL_ATTR_ROW_ARRAY_SIZE : app_param ? SQL_ATTR_PARAMSET_SIZE : 0;
    case SQL_DESC_ARRAY_STATUS_PTR:
      // The application descriptors hold the operation arrays, the
      // implementation descriptors the status arrays, as ODBC defines.
      if (app_row) return SQL_ATTR_ROW_OPERATION_PTR;
      if (app_param) return SQL_ATTR_PARAM_OPERATION_PTR;
      if (imp_row) return SQL_ATTR_ROW_STATUS_PTR;
      if (imp_param) return SQL_ATTR_PARAM_STATUS_PTR;
      return 0;
    case SQL_DESC_BIND_OFFSET_PTR:
      return app_row ? SQL_ATTR_ROW_BIND_OFFSET_PTR
                     : app_param ? SQL_ATTR_PARAM_BIND_OFFSET_PTR : 0;
    case SQL_DESC_BIND_TYPE:
      return app_row ? SQL_ATTR_ROW_BIND_TYPE : app_param ? SQL_ATTR_PARAM_BIND_TYPE : 0;
    case SQL_DESC_ROWS_PROCESSED_PTR:
      return imp_row ? SQL_ATTR_ROWS_FETCHED_PTR
                     : imp_param ? SQL_ATTR_PARAMS_PROCESSED_PTR : 0;
    case kDescDynamicBind:
      return app_row ? SQLKESTRION_ATTR_DYNAMIC_BIND : 0;
    default:
      return 0;
  }
}

int16_t Saturate16(int64_t v) {
  return static_cast<int16_t>(std::clamp<int64_t>(v, std::numeric_limits<int16_t>::min(),
                                                  std::numeric_limits<int16_t>::max()));
}

int32_t Saturate32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

// What a concise type gives a record: display size, precision and radix.
struct Derivation {
  int32_t display_size;
  int16_t precision;
  int32_t radix;
};

// False for types that derive nothing. Text and binary types take their
// sizes from the record's octet length.
bool DeriveFromType(int16_t type, int64_t octet_length, Derivation& out) {
  switch (type) {
    // Display sizes follow the text forms: a GUID as
    // "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx", a bit as "1" or "0".
    case kClassGuid: out = {36, 32, 2}; return true;
    case kClassWChar:
    case kClassBinary:
    case kClassChar: out = {Saturate32(octet_length), Saturate16(octet_length), 0}; return true;
    case kClassBit: out = {1, 1, 2}; return true;
    case kClassTinyInt: out = {3, 3, 2}; return true;
    case kClassBigInt: out = {19, 19, 2}; return true;
    case kClassNumeric: out = {15, 16, 10}; return true;
    case kClassInteger: out = {10, 10, 2}; return true;
    case kClassSmallInt: out = {5, 5, 2}; return true;
    case kClassReal: out = {15, 24, 10}; return true;
    case kClassDouble: out = {15, 53, 10}; return true;
    case kClassDate: out = {10, 0, 0}; return true;
    case kClassTime: out = {8, 0, 0}; return true;
    // Timestamps carry milliseconds: "yyyy-mm-dd hh:mm:ss.fff".
    case kClassTimestamp: out = {kTimestampChars, kTimestampDigits, 0}; return true;
    case kClassDefault: out = {0, 0, 4}; return true;
    case kClassInterval: out = {9, 0, 0}; return true;
    default: return false;
  }
}

}  // namespace

int32_t CHDescriptor::EffectiveRole() const {
  int32_t effective = role;
  CHStatement* statement = associated_statement;
  if (statement == nullptr || HandleRegistry::KindOf(statement) != HandleKind::Statement) {
    return effective;
  }
  effective |= kRoleAssociated;
  static constexpr DescriptorRole kOrder[4] = {DescriptorRole::AppParam, DescriptorRole::ImpParam,
                                               DescriptorRole::AppRow, DescriptorRole::ImpRow};
  for (int k = 0; k < 4; ++k) {
    if (statement->current_descriptor(kOrder[k]) == this) {
      effective |= 1 << k;
      break;
    }
  }
  return effective;
}

void CHDescriptor::ReleaseFromStatements() {
  if (role != kRoleExplicit || parent() == nullptr) return;
  for (CSQLHandle* child : parent()->Children()) {
    if (HandleRegistry::KindOf(child) == HandleKind::Statement) {
      static_cast<CHStatement*>(child)->ForgetDescriptor(this);
    }
  }
  associated_statement = nullptr;
}

AttributeCell* CHDescriptor::_GetAvailableAttribute(int32_t id, int16_t record_number,
                                                    uint32_t access) {
  if ((access & kAnyAccess) == 0) {
    return CSQLHandle::_GetAvailableAttribute(id, record_number, access);
  }
  if ((access & kAppSet) != 0) ++app_writes;
  if (id == SQL_DESC_COUNT) return &count_cell;
  if (id == SQL_DESC_ALLOC_TYPE) {
    // Read-only for the application: an implicit descriptor must never be
    // made freeable while its statement uses it.
    if ((access & kAppSet) != 0) {
      Post(SqlState::HY092, kProtected);
      return nullptr;
    }
    return &alloc_type_cell;
  }
  if (IsStatementKept(id)) {
    const int32_t effective = EffectiveRole();
    if ((effective & kRoleAssociated) == 0) {
      Post(SqlState::HY000, u"Can't set/get a statement attribute for a unused descriptor.");
      Post(SqlState::HY092, kUnavailable);
      return nullptr;
    }
    const int32_t attribute = StatementAttributeFor(id, effective);
    // Refused here rather than only on the statement, so that the call on
    // the descriptor fails too.
    if (attribute == 0) {
      Post(SqlState::HY092, kProtected);
      return nullptr;
    }
    if (attribute == SQLKESTRION_ATTR_DYNAMIC_BIND && (access & (kAppGet | kAppSet)) != 0) {
      Post(SqlState::HY092, u"You tried to access a private attribute.");
      return nullptr;
    }
    AttributeCell* cell = associated_statement->_GetAvailableAttribute(attribute, 0, access);
    if (cell == nullptr) Post(SqlState::HY092, kUnavailable);
    return cell;
  }
  if (record_number < 0 || record_number > count() ||
      static_cast<size_t>(record_number) >= records.size()) {
    Post(SqlState::S07009);
    Post(SqlState::HY092, kUnavailable);
    return nullptr;
  }
  const int slot = DescriptorRecord::SlotOf(id);
  if (slot < 0) {
    Post(SqlState::HY092, kUnavailable);
    return nullptr;
  }
  if (!DescriptorRecord::AppSettable(slot) &&
      (access & (kAppGet | kInternalGet | kInternalSet)) == 0) {
    Post(SqlState::HY092, kProtected);
    return nullptr;
  }
  return &records[static_cast<size_t>(record_number)].cells[static_cast<size_t>(slot)];
}

void CHDescriptor::_SetAttribute(AttributeCell& cell, int32_t id, SQLPOINTER value, SQLLEN length,
                                 int16_t record_number) {
  const auto v = static_cast<int64_t>(reinterpret_cast<intptr_t>(value));
  if (id == SQL_DESC_COUNT) {
    SetCount(static_cast<int16_t>(v));
    return;
  }
  if (id == SQL_DESC_ALLOC_TYPE) {
    cell.value = static_cast<int16_t>(v);
    return;
  }
  if (IsStatementKept(id)) {
    // The field is the associated statement's attribute (the lookup found
    // the statement's cell): store it there, under the statement's rules,
    // so that setting SQL_DESC_ARRAY_SIZE on an ARD really sets the rowset
    // size instead of answering success and changing nothing.
    const int32_t attribute = StatementAttributeFor(id, EffectiveRole());
    if (attribute != 0 && associated_statement != nullptr) {
      associated_statement->_SetAttribute(cell, attribute, value, length, 0);
    }
    return;
  }
  if (id == SQL_DESC_CONCISE_TYPE) {
    const int16_t type = FoldType(static_cast<int32_t>(v), _GetODBCVersion());
    if (type == kClassNone) {
      Post(SqlState::HY003, u"The parameter Type wasn't a valid data type.");
      return;
    }
    if (type == kClassDefault && (EffectiveRole() & kParamRoles) != 0) {
      Post(SqlState::HY003, u"SQL_C_DEFAULT supported only for row descriptors.");
      return;
    }
    cell.value = type;
    DescriptorRecord* r = record(record_number);
    Derivation d{};
    if (r != nullptr && DeriveFromType(type, r->octet_length(), d)) {
      r->set_int32(RecordField::DisplaySize, d.display_size);
      r->set_int16(RecordField::Precision, d.precision);
      r->set_int32(RecordField::NumPrecRadix, d.radix);
      r->set_int32(RecordField::DatetimeIntervalPrecision, 0);
    }
    return;
  }
  switch (cell.kind) {
    case CellKind::Int16: cell.value = static_cast<int16_t>(v); return;
    case CellKind::Int32: cell.value = static_cast<int32_t>(v); return;
    case CellKind::Pointer: cell.value = v; return;
    case CellKind::String:
      if (value != nullptr) {
        cell.text.assign(static_cast<const char16_t*>(value));
      } else {
        cell.text.clear();
      }
      return;
  }
}

}  // namespace kestrion
