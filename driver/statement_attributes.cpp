// The statement attributes: their cells, defaults, the rules applied when
// they are set, and the switch of the application descriptors.
#include <array>

#include "driver/connection.h"
#include "driver/descriptor.h"
#include "driver/registry.h"
#include "driver/statement.h"

namespace kestrion {

namespace {

struct AttributeInfo {
  int32_t id;
  CellKind kind;
  int32_t default_value;
};

// In slot order; the enum below names the slots that driver code reads.
constexpr std::array<AttributeInfo, CHStatement::kAttributeCount> kAttributes{{
    {SQL_ATTR_CURSOR_SENSITIVITY, CellKind::Int32, 0},
    {SQL_ATTR_CURSOR_SCROLLABLE, CellKind::Int32, 0},
    {SQL_ATTR_MAX_ROWS, CellKind::Int32, 0},
    {SQL_ATTR_NOSCAN, CellKind::Int32, 0},
    {SQL_ATTR_MAX_LENGTH, CellKind::Int32, 0},
    {SQL_ATTR_ASYNC_ENABLE, CellKind::Int32, 0},
    {SQL_ATTR_ROW_BIND_TYPE, CellKind::Int32, 0},
    {SQL_ATTR_CURSOR_TYPE, CellKind::Int32, 0},
    {SQL_ATTR_CONCURRENCY, CellKind::Int32, 1},
    {SQL_ATTR_KEYSET_SIZE, CellKind::Int32, 0},
    {SQL_ATTR_SIMULATE_CURSOR, CellKind::Int32, 0},
    {SQL_ATTR_RETRIEVE_DATA, CellKind::Int32, 1},
    {SQL_ATTR_USE_BOOKMARKS, CellKind::Int32, 0},
    {SQL_ATTR_ROW_NUMBER, CellKind::Pointer, 0},
    {SQL_ATTR_ENABLE_AUTO_IPD, CellKind::Int32, 0},
    {SQL_ATTR_FETCH_BOOKMARK_PTR, CellKind::Pointer, 0},
    {SQL_ATTR_PARAM_BIND_OFFSET_PTR, CellKind::Pointer, 0},
    {SQL_ATTR_PARAM_BIND_TYPE, CellKind::Int32, 0},
    {SQL_ATTR_PARAM_OPERATION_PTR, CellKind::Pointer, 0},
    {SQL_ATTR_PARAM_STATUS_PTR, CellKind::Pointer, 0},
    {SQL_ATTR_PARAMS_PROCESSED_PTR, CellKind::Pointer, 0},
    {SQL_ATTR_PARAMSET_SIZE, CellKind::Int32, 1},
    {SQL_ATTR_ROW_BIND_OFFSET_PTR, CellKind::Pointer, 0},
    {SQL_ATTR_ROW_OPERATION_PTR, CellKind::Pointer, 0},
    {SQL_ATTR_ROW_STATUS_PTR, CellKind::Pointer, 0},
    {SQL_ATTR_ROWS_FETCHED_PTR, CellKind::Pointer, 0},
    {SQL_ATTR_ROW_ARRAY_SIZE, CellKind::Int32, 1},
    {SQLKESTRION_ATTR_DYNAMIC_BIND, CellKind::Int32, 0},
    {1227, CellKind::Int32, 0},  // no symbolic name; only stored and answered
    {1228, CellKind::Int32, 0},
    {SQL_ATTR_METADATA_ID, CellKind::Int32, 1},
}};

enum Slot : int {
  kMaxRows = 2,
  kNoscan = 3,
  kMaxLength = 4,
  kRowBindType = 6,
  kCursorType = 7,
  kConcurrency = 8,
  kRetrieveData = 11,
  kUseBookmarks = 12,
  kRowNumber = 13,
  kFetchBookmarkPtr = 15,
  kParamBindOffsetPtr = 16,
  kParamBindType = 17,
  kParamOperationPtr = 18,
  kParamStatusPtr = 19,
  kParamsProcessedPtr = 20,
  kParamsetSize = 21,
  kRowBindOffsetPtr = 22,
  kRowOperationPtr = 23,
  kRowStatusPtr = 24,
  kRowsFetchedPtr = 25,
  kRowArraySize = 26,
  kDynamicBind = 27,
};

static_assert(kAttributes[kMaxRows].id == SQL_ATTR_MAX_ROWS);
static_assert(kAttributes[kRowNumber].id == SQL_ATTR_ROW_NUMBER);
static_assert(kAttributes[kParamBindOffsetPtr].id == SQL_ATTR_PARAM_BIND_OFFSET_PTR);
static_assert(kAttributes[kParamsProcessedPtr].id == SQL_ATTR_PARAMS_PROCESSED_PTR);
static_assert(kAttributes[kParamsetSize].id == SQL_ATTR_PARAMSET_SIZE);
static_assert(kAttributes[kRowBindOffsetPtr].id == SQL_ATTR_ROW_BIND_OFFSET_PTR);
static_assert(kAttributes[kRowsFetchedPtr].id == SQL_ATTR_ROWS_FETCHED_PTR);
static_assert(kAttributes[kRowArraySize].id == SQL_ATTR_ROW_ARRAY_SIZE);
static_assert(kAttributes[kDynamicBind].id == SQLKESTRION_ATTR_DYNAMIC_BIND);

int SlotOf(int32_t id) {
  for (int i = 0; i < CHStatement::kAttributeCount; ++i) {
    if (kAttributes[i].id == id) return i;
  }
  return -1;
}

// The role whose current-descriptor cell an attribute 10010-10013 names.
int RoleOfDescriptorAttribute(int32_t id) {
  switch (id) {
    case SQL_ATTR_APP_ROW_DESC: return static_cast<int>(DescriptorRole::AppRow);
    case SQL_ATTR_APP_PARAM_DESC: return static_cast<int>(DescriptorRole::AppParam);
    case SQL_ATTR_IMP_ROW_DESC: return static_cast<int>(DescriptorRole::ImpRow);
    case SQL_ATTR_IMP_PARAM_DESC: return static_cast<int>(DescriptorRole::ImpParam);
    default: return -1;
  }
}

}  // namespace

std::array<AttributeCell, CHStatement::kAttributeCount> CHStatement::DefaultAttributes() {
  std::array<AttributeCell, kAttributeCount> cells;
  for (int i = 0; i < kAttributeCount; ++i) {
    cells[i].kind = kAttributes[i].kind;
    cells[i].value = kAttributes[i].default_value;
  }
  return cells;
}

AttributeCell* CHStatement::_GetAvailableAttribute(int32_t id, int16_t record, uint32_t access) {
  if ((access & kAnyAccess) == 0) return CSQLHandle::_GetAvailableAttribute(id, record, access);
  const int role = RoleOfDescriptorAttribute(id);
  if (role >= 0) {
    if ((id == SQL_ATTR_IMP_ROW_DESC || id == SQL_ATTR_IMP_PARAM_DESC) &&
        (access & kAppSet) != 0) {
      Post(SqlState::HY092, u"You tried to access SQL_ATTR_IMP_XXX_DESC private attribute.");
      return nullptr;
    }
    return &current_[role];
  }
  if (id == SQLKESTRION_ATTR_DYNAMIC_BIND && (access & (kAppGet | kAppSet)) != 0) {
    Post(SqlState::HY092, u"You tried to access a private attribute.");
    return nullptr;
  }
  const int slot = SlotOf(id);
  if (slot < 0) return CSQLHandle::_GetAvailableAttribute(id, record, access);
  return &attributes_[slot];
}

void CHStatement::_SetAttribute(AttributeCell& cell, int32_t id, SQLPOINTER value, SQLLEN,
                                int16_t) {
  const auto v = static_cast<int32_t>(reinterpret_cast<intptr_t>(value));
  const int role = RoleOfDescriptorAttribute(id);
  if (role >= 0) {
    // The descriptor switch.
    CHDescriptor* next = nullptr;
    if (value != nullptr) {
      if (HandleRegistry::KindOf(value) != HandleKind::Descriptor) {
        Post(SqlState::HY105);
        return;
      }
      next = static_cast<CHDescriptor*>(value);
      // An automatically allocated descriptor serves only its own statement
      // and role: another statement would keep it after its owner freed it.
      if (next->role != kRoleExplicit && next != implicit_[role]) {
        Post(SqlState::HY017, u"Invalid use of an automatically allocated descriptor handle.");
        return;
      }
    } else {
      next = implicit_[role];
      if (next == nullptr) return;
    }
    auto* previous = static_cast<CHDescriptor*>(cell.AsPointer());
    if (previous != nullptr && HandleRegistry::KindOf(previous) == HandleKind::Descriptor) {
      previous->associated_statement = nullptr;
    }
    cell = AttributeCell::Pointer(next);
    if (HandleRegistry::KindOf(this) == HandleKind::Statement) next->associated_statement = this;
    return;
  }
  switch (id) {
    case SQL_ATTR_ASYNC_ENABLE:
      if (v != 0) {  // SQL_ASYNC_ENABLE_OFF
        Post(SqlState::HYC00, u"SQL_ATTR_ASYNC_ENABLE must be set to SQL_ASYNC_ENABLE_OFF.");
      }
      return;
    case SQL_ATTR_PARAMSET_SIZE:
      // Parameter arrays: the statement runs once per set.
      if (v < 1) {
        Post(SqlState::HY024, u"SQL_ATTR_PARAMSET_SIZE must be at least 1.");
      } else {
        cell.value = v;
      }
      return;
    case SQLKESTRION_ATTR_DYNAMIC_BIND:
      if (v == 0 || v == 8) {
        cell.value = v;
      } else {
        Post(SqlState::HY003, u"Illegal value for SQLKESTRION_ATTR_DYNAMIC_BIND.");
      }
      return;
    case SQL_ATTR_METADATA_ID:
      cell.value = SQL_TRUE;
      return;
    default:
      if (cell.kind == CellKind::Pointer) {
        cell.value = static_cast<int64_t>(reinterpret_cast<intptr_t>(value));
      } else {
        cell.value = v;
      }
      return;
  }
}

void CHStatement::ForgetDescriptor(const CHDescriptor* descriptor) {
  for (int role = 0; role < 4; ++role) {
    if (current_[role].AsPointer() != descriptor) continue;
    CHDescriptor* implicit = implicit_[role];
    current_[role] = AttributeCell::Pointer(implicit);
    if (implicit != nullptr && implicit != descriptor &&
        HandleRegistry::KindOf(implicit) == HandleKind::Descriptor) {
      implicit->associated_statement = this;
    }
  }
}

void CHStatement::ReleaseCurrentDescriptors() {
  for (int role = 0; role < 4; ++role) {
    auto* d = static_cast<CHDescriptor*>(current_[role].AsPointer());
    if (d != nullptr && d != implicit_[role] &&
        HandleRegistry::KindOf(d) == HandleKind::Descriptor && d->associated_statement == this) {
      d->associated_statement = nullptr;
    }
  }
}

int32_t CHStatement::row_array_size() const { return attributes_[kRowArraySize].AsInt32(); }
int32_t CHStatement::max_rows() const { return attributes_[kMaxRows].AsInt32(); }
int32_t CHStatement::max_length() const { return attributes_[kMaxLength].AsInt32(); }
int32_t CHStatement::row_bind_type() const { return attributes_[kRowBindType].AsInt32(); }
int32_t CHStatement::param_bind_type() const { return attributes_[kParamBindType].AsInt32(); }
int32_t CHStatement::cursor_type() const { return attributes_[kCursorType].AsInt32(); }
int32_t CHStatement::concurrency() const { return attributes_[kConcurrency].AsInt32(); }
int32_t CHStatement::use_bookmarks() const { return attributes_[kUseBookmarks].AsInt32(); }
int32_t CHStatement::retrieve_data() const { return attributes_[kRetrieveData].AsInt32(); }
int32_t CHStatement::noscan() const { return attributes_[kNoscan].AsInt32(); }
int32_t CHStatement::dynamic_bind() const { return attributes_[kDynamicBind].AsInt32(); }
SQLULEN* CHStatement::rows_fetched_ptr() const {
  return static_cast<SQLULEN*>(attributes_[kRowsFetchedPtr].AsPointer());
}
SQLUSMALLINT* CHStatement::row_status_ptr() const {
  return static_cast<SQLUSMALLINT*>(attributes_[kRowStatusPtr].AsPointer());
}
SQLUSMALLINT* CHStatement::row_operation_ptr() const {
  return static_cast<SQLUSMALLINT*>(attributes_[kRowOperationPtr].AsPointer());
}
SQLLEN* CHStatement::row_bind_offset_ptr() const {
  return static_cast<SQLLEN*>(attributes_[kRowBindOffsetPtr].AsPointer());
}
SQLLEN* CHStatement::param_bind_offset_ptr() const {
  return static_cast<SQLLEN*>(attributes_[kParamBindOffsetPtr].AsPointer());
}
SQLUSMALLINT* CHStatement::param_status_ptr() const {
  return static_cast<SQLUSMALLINT*>(attributes_[kParamStatusPtr].AsPointer());
}
SQLUSMALLINT* CHStatement::param_operation_ptr() const {
  return static_cast<SQLUSMALLINT*>(attributes_[kParamOperationPtr].AsPointer());
}
SQLULEN* CHStatement::params_processed_ptr() const {
  return static_cast<SQLULEN*>(attributes_[kParamsProcessedPtr].AsPointer());
}
int32_t CHStatement::paramset_size() const { return attributes_[kParamsetSize].AsInt32(); }
SQLPOINTER CHStatement::fetch_bookmark_ptr() const {
  return attributes_[kFetchBookmarkPtr].AsPointer();
}
SQLULEN CHStatement::row_number() const {
  return static_cast<SQLULEN>(attributes_[kRowNumber].value);
}
void CHStatement::set_row_number(SQLULEN row) {
  attributes_[kRowNumber].value = static_cast<int64_t>(row);
}
int32_t CHStatement::query_timeout() const {
  CHConnection* c = connection();
  return c != nullptr ? c->query_timeout() : 0;
}

}  // namespace kestrion
