// The data types answered by SQLGetTypeInfoW: twenty-two constant rows, the
// nineteen result columns, and the choice of rows for a requested type.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "toolbox/value.h"

namespace kestrion {

// A result column: its name and value kind name ("VK_TEXT", "VK_WORD" or
// "VK_LONG").
struct TypeInfoColumn {
  std::string_view name;
  std::string_view kind;
};
inline constexpr std::size_t kTypeInfoColumnCount = 19;
const std::array<TypeInfoColumn, kTypeInfoColumnCount>& TypeInfoColumns();

// A COLUMN_SIZE taken from the column size rule of the row's type class.
inline constexpr int32_t kSizeByRule = -1;

// The constant part of a row. Columns that hold the same value in every row
// (NULLABLE 2, FIXED_PREC_SCALE 0, NUM_PREC_RADIX 10, INTERVAL_PRECISION 10)
// and LOCAL_TYPE_NAME, which repeats TYPE_NAME, are not stored.
struct TypeInfoRow {
  std::u16string_view type_name;
  int16_t data_type;
  bool quoted_literal;  // LITERAL_PREFIX and LITERAL_SUFFIX "'"; NULL otherwise
  int16_t case_sensitive;
  int16_t searchable;
  int16_t unsigned_attribute;
  int16_t auto_unique_value;
  int32_t column_size = kSizeByRule;
  std::u16string_view create_params = {};  // empty: NULL
  int16_t scale = 0;                        // MINIMUM_SCALE and MAXIMUM_SCALE
};
inline constexpr std::size_t kTypeInfoRowCount = 22;
// The rows in the order they are answered.
const std::array<TypeInfoRow, kTypeInfoRowCount>& TypeInfoRows();

// Every column value of a row, in column order; a text without a value is
// SQL NULL.
struct TypeInfoValues {
  std::u16string_view type_name;
  int16_t data_type;
  int32_t column_size;
  std::optional<std::u16string_view> literal_prefix;
  std::optional<std::u16string_view> literal_suffix;
  std::optional<std::u16string_view> create_params;
  int16_t nullable;
  int16_t case_sensitive;
  int16_t searchable;
  int16_t unsigned_attribute;
  int16_t fixed_prec_scale;
  int16_t auto_unique_value;
  std::u16string_view local_type_name;
  int16_t minimum_scale;
  int16_t maximum_scale;
  int16_t sql_data_type;
  int16_t sql_datetime_sub;
  int32_t num_prec_radix;
  int16_t interval_precision;
};
// The values of a row; `open_query` is the statement's open-query flag,
// which widens the COLUMN_SIZE of the text types.
TypeInfoValues ValuesOf(const TypeInfoRow& row, bool open_query);

// A local row for a type row: element 0 the row-number slot (a VLong8 0),
// then the 19 column values as VString, VWord or VLong by column kind; an
// SQL NULL is a null text value.
std::vector<corvane::VValue> TypeInfoLocalRow(const TypeInfoRow& row, bool open_query);

// The rows answered for a requested DataType: all of them for SQL_ALL_TYPES;
// the row of that very type for the variable-length and long text and binary
// types; otherwise the type is folded with the ODBC behaviour version and the
// first row of that class answers. A type that folds to no class answers
// nothing (the caller posts HY004); a class without a row answers an empty
// set.
std::optional<std::span<const TypeInfoRow>> SelectTypeInfoRows(int16_t data_type,
                                                               int32_t odbc_version);

}  // namespace kestrion
