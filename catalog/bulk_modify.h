// SQLSetPos and SQLBulkOperations: changes to the rows of an open server
// result, made from the values bound to its columns and sent in one
// BULK-MODIFY request.
#pragma once

#include <cstdint>

#include "driver/odbc.h"

namespace kestrion {

class CHStatement;

// The row item codes of a BULK-MODIFY body.
enum class BulkCode : char { Update = '1', Add = '2', Delete = '3' };

// Sends one BULK-MODIFY with `row_count` items for the rowset rows starting
// at `first_row` (0-based within the rowset). Added rows' ids go to the
// successive rows of the bookmark buffer. Answers the handle return code.
SQLRETURN BulkModify(CHStatement& statement, BulkCode code, std::int64_t row_count,
                     std::int64_t first_row);

// SQLSetPos: SQL_POSITION, SQL_UPDATE, SQL_DELETE and SQL_ADD.
SQLRETURN SetPos(CHStatement& statement, SQLSETPOSIROW row_number, SQLUSMALLINT operation);

// SQLBulkOperations: SQL_ADD, SQL_UPDATE_BY_BOOKMARK and SQL_DELETE_BY_BOOKMARK
// over the whole rowset.
SQLRETURN BulkOperations(CHStatement& statement, SQLSMALLINT operation);

}  // namespace kestrion
