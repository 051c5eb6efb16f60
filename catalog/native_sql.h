// SQLNativeSqlW: the text the driver would send for a statement. The driver
// translates no escape clauses, so the answer is the application's text.
#pragma once

#include "driver/odbc.h"

namespace kestrion {

class CHConnection;

// The SQLNativeSqlW body, after the entry guard. `in_length` and
// `buffer_length` count characters; posts HY090 for an empty input and
// 01004 for a cut answer, and answers the connection's return code.
SQLRETURN NativeSql(CHConnection& connection, const SQLWCHAR* in_text, SQLINTEGER in_length,
                    SQLWCHAR* out_text, SQLINTEGER buffer_length, SQLINTEGER* out_length);

}  // namespace kestrion
