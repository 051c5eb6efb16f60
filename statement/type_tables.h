// The type tables: folding of ODBC SQL and C type codes into the driver's
// type classes, the server kind name of each class, the lookup of server kind
// names and type words, SQL type names and the fixed sizes. Pure functions;
// every part of the driver that needs a type decision asks here.
#pragma once

#include <cstdint>
#include <string_view>

namespace kestrion {

// Type classes, named by the ODBC code that stands for them. C type codes of
// the same number share the class (SQL_C_WCHAR is -8, SQL_C_CHAR 1, ...).
enum TypeClass : int16_t {
  kClassNone = 0,
  kClassGuid = -11,
  kClassWChar = -8,
  kClassBit = -7,
  kClassTinyInt = -6,
  kClassBigInt = -5,
  kClassBinary = -2,
  kClassChar = 1,
  kClassNumeric = 2,
  kClassInteger = 4,
  kClassSmallInt = 5,
  kClassReal = 7,
  kClassDouble = 8,
  kClassDate = 91,
  kClassTime = 92,
  kClassTimestamp = 93,
  kClassDefault = 99,  // SQL_C_DEFAULT, or a type not yet known
  kClassInterval = 110,  // SQL_INTERVAL_DAY_TO_SECOND
};

// The class of an SQL or C type code; kClassNone for a code of no class.
// With ODBC version 2 the codes of that version are mapped first.
int16_t FoldType(int32_t code, int32_t odbc_version);

// Whether a C type code is one of the unsigned integer types
// (SQL_C_UTINYINT, SQL_C_USHORT, SQL_C_ULONG, SQL_C_UBIGINT).
bool IsUnsignedCType(int32_t code);

// The server value kind of a class ("VK_LONG"...); empty when it has none.
std::u16string_view KindName(int16_t type_class);

// An answer of the type name table.
struct TypeNameEntry {
  int16_t sql_type;
  int32_t column_size;
};

// Looks a server kind name or SQL type word up (case- and accent-blind).
// `wanted` 0 takes the first row of that name; otherwise the first row of
// that name and type, or the first row of that name when it occurs only with
// other types. An empty name takes the first row of the wanted type.
// False when nothing answers; `out` is then left as it was.
bool LookUpTypeName(std::u16string_view name, int16_t wanted, TypeNameEntry& out);

// The type name stored for a column of an SQL type ("INT32"...); empty when
// the type has none.
std::u16string_view SqlTypeName(int16_t sql_type);

// The fixed size of a type: the column size of its kind name's entry for
// that type; 0 when it has none.
int32_t FixedSize(int16_t type);

// The capacity of a target of a C type class: the size of its structure or
// scalar, or `buffer_length` for text, binary and types of no fixed size.
int64_t FixedBufferSize(int16_t c_class, int64_t buffer_length);

// Characters of a timestamp with its milliseconds, "yyyy-mm-dd hh:mm:ss.fff":
// the column size of every timestamp the driver describes, with
// kTimestampDigits digits of fractional seconds.
inline constexpr int32_t kTimestampChars = 23;
inline constexpr int16_t kTimestampDigits = 3;

// The COLUMN_SIZE answered by the catalog and type information for an SQL
// type; `open_query` widens the text types to the largest length.
int32_t ColumnSize(int16_t sql_type, bool open_query);

}  // namespace kestrion
