#include "driver/descriptor_record.h"

namespace kestrion {

namespace {

struct FieldInfo {
  int32_t id;
  CellKind kind;
  int64_t default_value;
  bool app_settable;
};

// In slot order (RecordField).
constexpr std::array<FieldInfo, DescriptorRecord::kFieldCount> kFields{{
    {SQL_DESC_DATA_PTR, CellKind::Pointer, 0, true},
    {SQL_DESC_INDICATOR_PTR, CellKind::Pointer, 0, true},
    {SQL_DESC_OCTET_LENGTH_PTR, CellKind::Pointer, 0, true},
    {SQL_DESC_AUTO_UNIQUE_VALUE, CellKind::Int32, 0, false},
    {SQL_DESC_BASE_COLUMN_NAME, CellKind::String, 0, false},
    {SQL_DESC_BASE_TABLE_NAME, CellKind::String, 0, false},
    {SQL_DESC_CASE_SENSITIVE, CellKind::Int32, 0, false},
    {SQL_DESC_CATALOG_NAME, CellKind::String, 0, false},
    {SQL_DESC_CONCISE_TYPE, CellKind::Int16, SQL_C_DEFAULT, true},
    {SQL_DESC_DATETIME_INTERVAL_CODE, CellKind::Int16, 0, true},
    {SQL_DESC_DATETIME_INTERVAL_PRECISION, CellKind::Int32, 0, true},
    {SQL_DESC_DISPLAY_SIZE, CellKind::Int32, 0, false},
    {SQL_DESC_FIXED_PREC_SCALE, CellKind::Int16, 0, false},
    {SQL_DESC_LABEL, CellKind::String, 0, false},
    {SQL_DESC_LENGTH, CellKind::Pointer, 0, true},
    {SQL_DESC_LITERAL_PREFIX, CellKind::String, 0, false},
    {SQL_DESC_LITERAL_SUFFIX, CellKind::String, 0, false},
    {SQL_DESC_LOCAL_TYPE_NAME, CellKind::String, 0, false},
    {SQL_DESC_NAME, CellKind::String, 0, true},
    {SQL_DESC_NULLABLE, CellKind::Int16, 0, false},
    {SQL_DESC_NUM_PREC_RADIX, CellKind::Int32, 0, true},
    {SQL_DESC_OCTET_LENGTH, CellKind::Pointer, 0, true},
    {SQL_DESC_PARAMETER_TYPE, CellKind::Int16, 0, true},
    {SQL_DESC_PRECISION, CellKind::Int16, 0, true},
    {SQL_DESC_ROWVER, CellKind::Int16, 0, false},
    {SQL_DESC_SCALE, CellKind::Int16, 0, true},
    {SQL_DESC_SCHEMA_NAME, CellKind::String, 0, false},
    {SQL_DESC_SEARCHABLE, CellKind::Int16, SQL_PRED_SEARCHABLE, false},
    {SQL_DESC_TABLE_NAME, CellKind::String, 0, false},
    {SQL_DESC_TYPE, CellKind::Int16, SQL_C_DEFAULT, true},
    {SQL_DESC_TYPE_NAME, CellKind::String, 0, false},
    {SQL_DESC_UNNAMED, CellKind::Int16, 0, false},
    {SQL_DESC_UNSIGNED, CellKind::Int16, 0, false},
    {SQL_DESC_UPDATABLE, CellKind::Int16, 0, false},
}};

}  // namespace

DescriptorRecord::DescriptorRecord() {
  for (int i = 0; i < kFieldCount; ++i) {
    cells[i].kind = kFields[i].kind;
    cells[i].value = kFields[i].default_value;
  }
}

int DescriptorRecord::SlotOf(int32_t field_id) {
  for (int i = 0; i < kFieldCount; ++i) {
    if (kFields[i].id == field_id) return i;
  }
  return -1;
}

bool DescriptorRecord::AppSettable(int slot) {
  return slot >= 0 && slot < kFieldCount && kFields[slot].app_settable;
}

}  // namespace kestrion
