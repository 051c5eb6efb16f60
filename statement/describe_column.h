// Answers about described columns and parameters: SQLDescribeColW,
// SQLColAttributeW and SQLDescribeParam, read from the implementation
// descriptors.
#pragma once

#include "driver/odbc.h"

namespace kestrion {

class CHStatement;

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
