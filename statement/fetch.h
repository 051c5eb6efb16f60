// SQLFetch, SQLFetchScroll and SQLExtendedFetch: moving through the result
// and delivering rowsets into the bound buffers.
#pragma once

#include "driver/odbc.h"

namespace kestrion {

class CHStatement;

// The common fetch: checks the orientation, positions the rowset and
// delivers it. `row_status` is the array to fill (rowset size entries) or
// null; `rows_out`, when not null, receives the number of rows delivered.
// SQL_NO_DATA when no row was delivered without error.
SQLRETURN CommonFetch(CHStatement& statement, SQLSMALLINT orientation, SQLLEN offset,
                      SQLUSMALLINT* row_status, SQLULEN* rows_out);

}  // namespace kestrion
