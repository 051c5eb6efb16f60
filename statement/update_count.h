// The update count of an update-count result.
#pragma once

#include "driver/odbc.h"

namespace kestrion {

class CHStatement;
class StatementExchange;

// Reads the update count of the first result of an execute from the reply
// body (a 32-bit integer right after the header), unless the result is a
// row set. 08S01 "Can't get update count from server." when it cannot be
// read.
SQLRETURN ReadUpdateCount(CHStatement& statement, StatementExchange& exchange);

// The update count of a later result of a batch: its "Row-Count" item,
// which describe has taken as the total row count.
void TakeUpdateCountFromRowCount(CHStatement& statement);

}  // namespace kestrion
