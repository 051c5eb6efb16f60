// One record of a descriptor: its fields are attribute cells, indexed by a
// slot per field, so that SQLGetDescFieldW/SQLSetDescFieldW reach them as
// cells and driver code reads them through the typed accessors below.
#pragma once

#include <array>
#include <cstdint>

#include "driver/attribute_cell.h"
#include "driver/odbc.h"

namespace kestrion {

enum class RecordField : uint8_t {
  DataPtr,
  IndicatorPtr,
  OctetLengthPtr,
  AutoUniqueValue,
  BaseColumnName,
  BaseTableName,
  CaseSensitive,
  CatalogName,
  ConciseType,
  DatetimeIntervalCode,
  DatetimeIntervalPrecision,
  DisplaySize,
  FixedPrecScale,
  Label,
  Length,
  LiteralPrefix,
  LiteralSuffix,
  LocalTypeName,
  Name,
  Nullable,
  NumPrecRadix,
  OctetLength,
  ParameterType,
  Precision,
  Rowver,
  Scale,
  SchemaName,
  Searchable,
  TableName,
  Type,
  TypeName,
  Unnamed,
  Unsigned,
  Updatable,
  kCount
};

struct DescriptorRecord {
  static constexpr int kFieldCount = static_cast<int>(RecordField::kCount);

  // A record with the default of every field.
  DescriptorRecord();

  // The slot of a descriptor field identifier; -1 when it is not a record field.
  static int SlotOf(int32_t field_id);
  // Whether the application may set the field of a slot.
  static bool AppSettable(int slot);

  AttributeCell& cell(RecordField f) { return cells[static_cast<int>(f)]; }
  const AttributeCell& cell(RecordField f) const { return cells[static_cast<int>(f)]; }

  // Typed reads.
  SQLPOINTER data_ptr() const { return cell(RecordField::DataPtr).AsPointer(); }
  SQLLEN* indicator_ptr() const {
    return static_cast<SQLLEN*>(cell(RecordField::IndicatorPtr).AsPointer());
  }
  SQLLEN* octet_length_ptr() const {
    return static_cast<SQLLEN*>(cell(RecordField::OctetLengthPtr).AsPointer());
  }
  int16_t concise_type() const { return cell(RecordField::ConciseType).AsInt16(); }
  int16_t type() const { return cell(RecordField::Type).AsInt16(); }
  int16_t datetime_interval_code() const {
    return cell(RecordField::DatetimeIntervalCode).AsInt16();
  }
  int32_t datetime_interval_precision() const {
    return cell(RecordField::DatetimeIntervalPrecision).AsInt32();
  }
  SQLULEN length() const { return static_cast<SQLULEN>(cell(RecordField::Length).value); }
  SQLLEN octet_length() const { return static_cast<SQLLEN>(cell(RecordField::OctetLength).value); }
  int16_t precision() const { return cell(RecordField::Precision).AsInt16(); }
  int16_t scale() const { return cell(RecordField::Scale).AsInt16(); }
  int16_t nullable() const { return cell(RecordField::Nullable).AsInt16(); }
  int16_t is_unsigned() const { return cell(RecordField::Unsigned).AsInt16(); }
  int16_t unnamed() const { return cell(RecordField::Unnamed).AsInt16(); }
  int16_t updatable() const { return cell(RecordField::Updatable).AsInt16(); }
  int16_t searchable() const { return cell(RecordField::Searchable).AsInt16(); }
  int16_t fixed_prec_scale() const { return cell(RecordField::FixedPrecScale).AsInt16(); }
  int16_t parameter_type() const { return cell(RecordField::ParameterType).AsInt16(); }
  int16_t rowver() const { return cell(RecordField::Rowver).AsInt16(); }
  int32_t display_size() const { return cell(RecordField::DisplaySize).AsInt32(); }
  int32_t num_prec_radix() const { return cell(RecordField::NumPrecRadix).AsInt32(); }
  int32_t auto_unique_value() const { return cell(RecordField::AutoUniqueValue).AsInt32(); }
  int32_t case_sensitive() const { return cell(RecordField::CaseSensitive).AsInt32(); }
  const corvane::VString& name() const { return cell(RecordField::Name).text; }
  const corvane::VString& label() const { return cell(RecordField::Label).text; }
  const corvane::VString& type_name() const { return cell(RecordField::TypeName).text; }
  const corvane::VString& local_type_name() const { return cell(RecordField::LocalTypeName).text; }
  const corvane::VString& base_column_name() const {
    return cell(RecordField::BaseColumnName).text;
  }
  const corvane::VString& base_table_name() const { return cell(RecordField::BaseTableName).text; }
  const corvane::VString& table_name() const { return cell(RecordField::TableName).text; }
  const corvane::VString& schema_name() const { return cell(RecordField::SchemaName).text; }
  const corvane::VString& catalog_name() const { return cell(RecordField::CatalogName).text; }
  const corvane::VString& literal_prefix() const { return cell(RecordField::LiteralPrefix).text; }
  const corvane::VString& literal_suffix() const { return cell(RecordField::LiteralSuffix).text; }

  // Typed writes, without the checks and derivations of an application's
  // set (the concise type's derivations run through the descriptor's
  // _SetAttribute).
  void set_pointer(RecordField f, const void* p) {
    cell(f).value = static_cast<int64_t>(reinterpret_cast<intptr_t>(p));
  }
  void set_int16(RecordField f, int16_t v) { cell(f).value = v; }
  void set_int32(RecordField f, int32_t v) { cell(f).value = v; }
  void set_length(RecordField f, int64_t v) { cell(f).value = v; }
  void set_text(RecordField f, std::u16string_view text) { cell(f).text.assign(text); }

  std::array<AttributeCell, kFieldCount> cells;
};

}  // namespace kestrion
