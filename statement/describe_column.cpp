#include "statement/describe_column.h"

#include <algorithm>
#include <cstring>

#include "driver/descriptor.h"
#include "driver/statement.h"
#include "statement/statement_settings.h"
#include "statement/type_tables.h"

namespace kestrion {

namespace {

constexpr std::size_t kNameChars = 1023;   // longest name answered
constexpr std::int64_t kAttributeBytes = 512;

// The column size of long text and byte strings.
constexpr SQLULEN kLongSize = 2147483647;

// The column size answered for a record: the precision of a number, the
// characters of the text form of a date, time, timestamp or GUID, and the
// octet length of text and byte strings.
SQLULEN ColumnSizeOf(const DescriptorRecord& r) {
  switch (r.concise_type()) {
    case kClassBit: return 1;
    case kClassTinyInt: return 3;
    case kClassSmallInt: return 5;
    case kClassInteger: return 10;
    case kClassBigInt: return 19;
    case kClassReal: return 7;
    case kClassDouble: return 15;
    case kClassDate: return 10;   // yyyy-mm-dd
    case kClassTime: return 8;    // hh:mm:ss
    case kClassTimestamp: return kTimestampChars;
    case kClassGuid: return 36;   // xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx
    default: return static_cast<SQLULEN>(std::max<SQLLEN>(r.octet_length(), 0));
  }
}

// Whether a result column holds long data (see StatementState::long_columns).
bool IsLongColumn(const CHStatement& statement, SQLUSMALLINT column) {
  const std::vector<bool>& long_columns = statement.state.long_columns;
  return column < long_columns.size() && long_columns[column];
}

// The long type answered for a long column's type (SQL_WCHAR, SQL_CHAR or
// SQL_BINARY); other types as they are.
std::int64_t LongType(std::int64_t type) {
  switch (type) {
    case SQL_WCHAR: return SQL_WLONGVARCHAR;
    case SQL_CHAR: return SQL_LONGVARCHAR;
    case SQL_BINARY: return SQL_LONGVARBINARY;
    default: return type;
  }
}

std::int32_t ColAttributeField(SQLUSMALLINT field) {
  switch (field) {
    case SQL_COLUMN_COUNT: return SQL_DESC_COUNT;
    case SQL_COLUMN_NAME: return SQL_DESC_NAME;
    case 2: return SQL_DESC_CONCISE_TYPE;
    case SQL_COLUMN_LENGTH: return SQL_DESC_OCTET_LENGTH;
    case SQL_COLUMN_PRECISION: return SQL_DESC_PRECISION;
    case SQL_COLUMN_SCALE: return SQL_DESC_SCALE;
    case SQL_COLUMN_NULLABLE: return SQL_DESC_NULLABLE;
    case SQL_COLUMN_TABLE_NAME: return SQL_DESC_BASE_TABLE_NAME;
    default: return field;
  }
}

std::int64_t ConciseTypeAnswer(CHStatement& statement, std::int64_t type) {
  if (type == SQL_WCHAR) type = SQL_CHAR;
  type = FoldType(static_cast<std::int32_t>(type), OdbcVersion(statement));
  if (!statement.access_compatible) {
    if (type == SQL_TYPE_DATE || type == SQL_TYPE_TIMESTAMP) return 9;
    if (type == SQL_TYPE_TIME || type == SQL_INTERVAL_DAY_TO_SECOND) return 10;
  } else {
    if (type == SQL_REAL || type == SQL_DOUBLE) return SQL_DOUBLE;
    if (type == SQL_TYPE_DATE || type == SQL_TYPE_TIMESTAMP || type == SQL_TYPE_TIME ||
        type == SQL_INTERVAL_DAY_TO_SECOND) {
      return 11;
    }
  }
  return type;
}

}  // namespace

std::int16_t DecimalDigits(const DescriptorRecord& r, std::int32_t version) {
  switch (FoldType(r.concise_type(), version)) {
    case kClassNumeric:
      return r.scale();
    case kClassTime:
    case kClassTimestamp:
    case kClassInterval:
      return r.precision();
    default:
      return 0;
  }
}

SQLRETURN DescribeColumn(CHStatement& statement, SQLUSMALLINT column, SQLWCHAR* name,
                         SQLSMALLINT name_chars, SQLSMALLINT* name_length, SQLSMALLINT* type,
                         SQLULEN* size, SQLSMALLINT* digits, SQLSMALLINT* nullable) {
  CHDescriptor* ird = statement.current_descriptor(DescriptorRole::ImpRow);
  if (ird == nullptr) {
    return statement.Post(SqlState::HYC00,
                          u"Unrecoverable error: Lack of implementation row descriptor.");
  }
  if (static_cast<std::int32_t>(column) > ird->count()) return statement.Post(SqlState::S07009);
  const DescriptorRecord& r = ird->records[column];
  if ((name != nullptr && name_chars > 0) || name_length != nullptr) {
    const std::size_t chars = std::min(r.name().size(), kNameChars);
    if (name != nullptr && name_chars > 0) {
      const std::size_t copy = std::min<std::size_t>(chars, static_cast<std::size_t>(name_chars) - 1);
      std::memcpy(name, r.name().data(), copy * sizeof(SQLWCHAR));
      name[copy] = 0;
    }
    if (name_length != nullptr) *name_length = static_cast<SQLSMALLINT>(chars);
  }
  std::int16_t answer_type = r.concise_type();
  SQLULEN answer_size = ColumnSizeOf(r);
  const bool long_text = answer_type == SQL_WCHAR && IsLongColumn(statement, column) &&
                         !statement.open_query && !statement.access_compatible;
  if (long_text) {
    answer_type = statement.windev ? SQL_LONGVARCHAR : SQL_WLONGVARCHAR;
    answer_size = kLongSize;
  } else if (answer_type == SQL_BINARY && IsLongColumn(statement, column)) {
    answer_type = SQL_LONGVARBINARY;
  } else if (answer_type == SQL_WCHAR) {
    if (statement.windev) {
      answer_type = SQL_CHAR;
      answer_size = 255;
    }
    if (statement.open_query || statement.access_compatible) {
      if (!statement.windev) answer_type = SQL_LONGVARCHAR;
      answer_size = 65535;
    }
  }
  if (type != nullptr) *type = answer_type;
  if (size != nullptr) *size = answer_size;
  if (digits != nullptr) *digits = DecimalDigits(r, OdbcVersion(statement));
  if (nullable != nullptr) *nullable = r.nullable();
  return statement.return_code();
}

SQLRETURN ColumnAttribute(CHStatement& statement, SQLUSMALLINT column, SQLUSMALLINT field,
                          SQLPOINTER text, SQLSMALLINT text_bytes, SQLSMALLINT* text_length,
                          SQLLEN* number) {
  if (text_length != nullptr) *text_length = 0;
  CHDescriptor* ird = statement.current_descriptor(DescriptorRole::ImpRow);
  if (ird == nullptr) {
    return statement.Post(SqlState::HYC00,
                          u"Unrecoverable error: Lack of implementation row descriptor.");
  }
  std::int64_t bytes = text_bytes == SQL_NTS ? 514 : text_bytes;
  if (bytes >= 0 && bytes <= 4) bytes = 0;
  const bool usable_text = text != nullptr && bytes > 0;
  if (number == nullptr && !usable_text && text_length == nullptr) return statement.return_code();
  const std::int32_t id = ColAttributeField(field);
  if (id != SQL_DESC_COUNT && static_cast<std::int32_t>(column) > ird->count()) {
    return statement.Post(SqlState::S07009);
  }
  AttributeCell* cell = ird->_GetAvailableAttribute(id, static_cast<std::int16_t>(column),
                                                    kInternalGet);
  if (cell == nullptr) {
    statement.Post(SqlState::HY091, u"Unavailable column attribute.");
    return statement.return_code();
  }
  if (cell->kind == CellKind::String) {
    const std::int64_t have =
        std::min<std::int64_t>(static_cast<std::int64_t>(cell->text.size()) * 2, kAttributeBytes - 2);
    if (usable_text && bytes >= 3) {
      const std::int64_t copy = std::min(have, (bytes - 2) & ~std::int64_t{1});
      std::memcpy(text, cell->text.data(), static_cast<std::size_t>(copy));
      static_cast<SQLWCHAR*>(text)[copy / 2] = 0;
    }
    if (text_length != nullptr) *text_length = static_cast<SQLSMALLINT>(have);
    return statement.return_code();
  }
  std::int64_t value = cell->kind == CellKind::Int16   ? cell->AsInt16()
                       : cell->kind == CellKind::Int32 ? cell->AsInt32()
                                                       : cell->value;
  if (id == SQL_DESC_CONCISE_TYPE) value = ConciseTypeAnswer(statement, value);
  if ((id == SQL_DESC_CONCISE_TYPE || id == SQL_DESC_TYPE) && IsLongColumn(statement, column)) {
    value = LongType(value);
  }
  if (number != nullptr) *number = static_cast<SQLLEN>(value);
  return statement.return_code();
}

SQLRETURN DescribeParameter(CHStatement& statement, SQLUSMALLINT parameter, SQLSMALLINT* type,
                            SQLULEN* size, SQLSMALLINT* digits, SQLSMALLINT* nullable) {
  if (parameter < 1 || static_cast<std::int32_t>(parameter) > statement.state.marker_count) {
    return statement.Post(SqlState::S07009);
  }
  CHDescriptor* ipd = statement.current_descriptor(DescriptorRole::ImpParam);
  std::int16_t answer_type = SQL_WVARCHAR;
  SQLULEN answer_size = 0;
  std::int16_t answer_digits = 0;
  if (ipd != nullptr && ipd->count() >= static_cast<std::int32_t>(parameter)) {
    const DescriptorRecord& r = ipd->records[parameter];
    const std::int16_t t = r.concise_type();
    if (t != 0 && t != SQL_C_DEFAULT) {
      answer_type = t;
      answer_size = ColumnSizeOf(r);
      answer_digits = DecimalDigits(r, OdbcVersion(statement));
      // A floating parameter keeps the fractional digits of a double:
      // applications that bind decimals by the description (pyodbc's
      // fast_executemany) must not find it unable to hold a fraction.
      if (t == SQL_DOUBLE || t == SQL_REAL) answer_digits = 15;
    }
  }
  if (type != nullptr) *type = answer_type;
  if (size != nullptr) *size = answer_size;
  if (digits != nullptr) *digits = answer_digits;
  if (nullable != nullptr) *nullable = SQL_NULLABLE_UNKNOWN;
  return statement.return_code();
}

}  // namespace kestrion
