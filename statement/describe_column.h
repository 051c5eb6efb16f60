// Answers about described columns and parameters: SQLDescribeColW,
// SQLColAttributeW and SQLDescribeParam, read from the implementation
// descriptors.
#pragma once

#include <cstdint>

#include "driver/odbc.h"

namespace kestrion {

class CHStatement;
struct DescriptorRecord;

// The decimal digits of a record: its scale for the numeric class, its
// precision for the time, timestamp and interval classes, else 0.
std::int16_t DecimalDigits(const DescriptorRecord& record, std::int32_t odbc_version);

SQLRETURN DescribeColumn(CHStatement& statement, SQLUSMALLINT column, SQLWCHAR* name,
                         SQLSMALLINT name_chars, SQLSMALLINT* name_length, SQLSMALLINT* type,
                         SQLULEN* size, SQLSMALLINT* digits, SQLSMALLINT* nullable);

SQLRETURN ColumnAttribute(CHStatement& statement, SQLUSMALLINT column, SQLUSMALLINT field,
                          SQLPOINTER text, SQLSMALLINT text_bytes, SQLSMALLINT* text_length,
                          SQLLEN* number);

// A parameter as prepare described it; one the server did not describe is
// wide text of unknown size, so that applications bind it as text.
SQLRETURN DescribeParameter(CHStatement& statement, SQLUSMALLINT parameter, SQLSMALLINT* type,
                            SQLULEN* size, SQLSMALLINT* digits, SQLSMALLINT* nullable);

}  // namespace kestrion
