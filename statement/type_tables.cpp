#include "statement/type_tables.h"

#include <sql.h>
#include <sqlext.h>

#include <array>

#include "toolbox/vstring.h"

namespace kestrion {

namespace {

struct TypeNameRow {
  std::u16string_view name;
  int16_t sql_type;
  int32_t column_size;
};

constexpr int32_t kTextSize = 32767;
constexpr int32_t kBlobSize = 2147483647;

// Searched in this order: the first row of a name is its default answer.
// A VK_TIME value holds a date and a time of day to the millisecond, so its
// default answer is the timestamp type; the date row serves only those who
// ask for a date.
constexpr std::array<TypeNameRow, 32> kTypeNames{{
    {u"VK_BOOLEAN", kClassBit, 1},
    {u"VK_BYTE", kClassTinyInt, 1},
    {u"VK_WORD", kClassSmallInt, 2},
    {u"VK_LONG", kClassInteger, 4},
    // VK_REAL values are IEEE doubles: described as SQL_DOUBLE, so that
    // SQL_C_DEFAULT keeps every digit; the SQL_REAL row serves those who ask.
    {u"VK_REAL", kClassDouble, 8},
    {u"VK_FLOAT", kClassDouble, 8},
    {u"VK_TIME", kClassTimestamp, 16},
    {u"VK_TIME", kClassDate, 6},
    {u"VK_DURATION", kClassTime, 6},
    {u"VK_DURATION", kClassInterval, 28},
    {u"VK_STRING", kClassWChar, kTextSize},
    {u"VK_TEXT", kClassWChar, kTextSize},
    {u"VK_STRING", kClassChar, kTextSize},
    {u"VK_TEXT", kClassChar, kTextSize},
    {u"VK_BLOB", kClassBinary, kBlobSize},
    {u"VK_IMAGE", kClassBinary, kBlobSize},
    {u"VK_LONG8", kClassBigInt, 8},
    {u"VARCHAR", kClassWChar, kTextSize},
    {u"INTERVAL", kClassDate, 6},
    {u"INTERVAL", kClassTime, 6},
    {u"BOOLEAN", kClassBit, 1},
    {u"INT8", kClassTinyInt, 1},
    {u"INT16", kClassSmallInt, 2},
    {u"INT32", kClassInteger, 4},
    {u"INT64", kClassBigInt, 8},
    {u"REAL", kClassReal, 4},
    {u"DOUBLE PRECISION", kClassDouble, 8},
    {u"BLOB", kClassBinary, kBlobSize},
    {u"CLOB", kClassWChar, kTextSize},
    {u"VK_UUID", kClassGuid, 16},
    {u"VK_BLOB_OBJ", kClassBinary, kBlobSize},
    {u"VK_REAL", kClassReal, 4},
}};

}  // namespace

int16_t FoldType(int32_t code, int32_t odbc_version) {
  if (odbc_version == 2) {
    if (code >= -97 && code <= -95) {
      code = kClassWChar;
    } else if (code >= -92 && code <= -80) {
      code = kClassInterval;
    } else if (code == 10) {
      code = kClassTime;
    }
  }
  switch (code) {
    case -28: case -26: case -6: return kClassTinyInt;
    case -27: case -25: case -5: return kClassBigInt;
    case -18: case -16: case 4: return kClassInteger;
    case -17: case -15: case 5: return kClassSmallInt;
    case -11: return kClassGuid;
    case -10: case -9: case -8: return kClassWChar;
    case -7: return kClassBit;
    case -4: case -3: case -2: return kClassBinary;
    case -1: case 1: case 12: return kClassChar;
    case 0: case 99: return kClassDefault;
    case 2: case 3: return kClassNumeric;
    case 6: case 7: return kClassReal;
    case 8: return kClassDouble;
    case 9: case 91: return kClassDate;
    case 10: case 92: return kClassTime;
    case 11: case 93: return kClassTimestamp;
    default:
      if (code >= 101 && code <= 113) return kClassInterval;
      return kClassNone;
  }
}

std::u16string_view KindName(int16_t type_class) {
  switch (type_class) {
    case kClassGuid: return u"VK_UUID";
    case kClassWChar: case kClassChar: return u"VK_TEXT";
    case kClassBit: return u"VK_BOOLEAN";
    case kClassTinyInt: return u"VK_BYTE";
    case kClassBigInt: return u"VK_LONG8";
    case kClassBinary: return u"VK_BLOB";
    case kClassNumeric: return u"VK_FLOAT";
    case kClassInteger: return u"VK_LONG";
    case kClassSmallInt: return u"VK_WORD";
    case kClassReal: return u"VK_REAL";
    case kClassDouble: return u"VK_FLOAT";
    case kClassDate: case kClassTimestamp: return u"VK_TIME";
    case kClassTime: return u"VK_DURATION";
    case kClassDefault: return u"VK_UNKNOWN";
    case kClassInterval: return u"VK_DURATION";
    default: return {};
  }
}

bool LookUpTypeName(std::u16string_view name, int16_t wanted, TypeNameEntry& out) {
  const TypeNameRow* first_of_name = nullptr;
  for (const TypeNameRow& row : kTypeNames) {
    if (name.empty()) {
      if (wanted == 0 || row.sql_type == wanted) {
        out = {row.sql_type, row.column_size};
        return true;
      }
      continue;
    }
    if (!corvane::VString::EqualsFolded(row.name, name)) continue;
    if (wanted == 0 || row.sql_type == wanted) {
      out = {row.sql_type, row.column_size};
      return true;
    }
    if (first_of_name == nullptr) first_of_name = &row;
  }
  // The name is known only with other types: its first row answers.
  if (first_of_name == nullptr) return false;
  out = {first_of_name->sql_type, first_of_name->column_size};
  return true;
}

std::u16string_view SqlTypeName(int16_t sql_type) {
  switch (sql_type) {
    case kClassBit: return u"BOOLEAN";
    case kClassChar: return u"CLOB";
    case kClassTinyInt: return u"INT8";
    case kClassSmallInt: return u"INT16";
    case kClassInteger: return u"INT32";
    case kClassBigInt: return u"INT64";
    case kClassGuid: return u"UUID";
    case kClassReal: return u"REAL";
    case kClassDouble: return u"DOUBLE PRECISION";
    case kClassWChar: return u"CLOB";
    case kClassBinary: return u"BLOB";
    case kClassNumeric: return u"DOUBLE PRECISION";
    case kClassDate: return u"TIMESTAMP";
    case kClassTime: return u"INTERVAL";
    case kClassTimestamp: return u"TIMESTAMP";
    case kClassInterval: return u"INTERVAL";
    default: return {};
  }
}

int32_t FixedSize(int16_t type) {
  std::u16string_view kind = KindName(type);
  if (kind.empty()) return 0;
  TypeNameEntry entry{0, 0};
  return LookUpTypeName(kind, type, entry) ? entry.column_size : 0;
}

int64_t FixedBufferSize(int16_t c_class, int64_t buffer_length) {
  switch (c_class) {
    case kClassGuid: case kClassTimestamp: return 16;
    case kClassBit: case kClassTinyInt: return 1;
    case kClassBigInt: case kClassDouble: return 8;
    case kClassNumeric: return 19;
    case kClassInteger: case kClassReal: return 4;
    case kClassSmallInt: return 2;
    case kClassDate: case kClassTime: return 6;
    case kClassInterval: return 28;
    default: return buffer_length;
  }
}

int32_t ColumnSize(int16_t sql_type, bool open_query) {
  switch (sql_type) {
    case kClassGuid: return 32;
    case kClassWChar: case kClassChar: return open_query ? 2147483647 : 32767;
    case kClassBit: return 5;
    case kClassTinyInt: return 4;
    case kClassBigInt: return 20;
    case kClassNumeric: case kClassDate: case kClassInterval: return 10;
    case kClassInteger: return 11;
    case kClassSmallInt: return 6;
    case kClassReal: return 7;
    case kClassDouble: return 15;
    case kClassTime: return 8;  // hh:mm:ss
    case kClassTimestamp: return kTimestampChars;
    default: return 0;
  }
}

bool IsUnsignedCType(int32_t code) {
  return code == SQL_C_UTINYINT || code == SQL_C_USHORT || code == SQL_C_ULONG ||
         code == SQL_C_UBIGINT;
}

}  // namespace kestrion
