// SQLGetData: one column of the current row, long data in pieces.
#pragma once

#include "driver/odbc.h"

namespace kestrion {

class CHStatement;

// Delivers column `column` of the current row (the first row of the current
// rowset) into the target, continuing where the previous call on the same
// column stopped. SQL_NO_DATA once the column has been delivered in full.
SQLRETURN GetData(CHStatement& statement, SQLUSMALLINT column, SQLSMALLINT target_type,
                  SQLPOINTER target, SQLLEN buffer_length, SQLLEN* indicator);

}  // namespace kestrion
