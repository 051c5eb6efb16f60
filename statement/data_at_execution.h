// Data at execution: SQLExecute answering SQL_NEED_DATA, SQLParamData
// naming each parameter in turn, SQLPutData gathering its pieces.
#pragma once

#include <cstdint>

#include "driver/odbc.h"

namespace kestrion {

class CHStatement;

// The first parameter that waits for data, without starting its pieces
// (SQLExecute, SQLExecDirectW); 0 when none does. Forgets any pieces of an
// abandoned earlier execute.
std::int16_t FirstParameterNeedingData(CHStatement& statement);

// SQLParamData: finishes the parameter whose pieces were being put, then
// answers the next one that waits for data (its token in `*token`) and
// starts its pieces; 0 when all have their data.
std::int16_t NextParameterNeedingData(CHStatement& statement, SQLPOINTER* token);

// SQLPutData: appends a piece to the current parameter. SQL_NTS measures a
// terminated text; SQL_NULL_DATA makes the parameter NULL.
SQLRETURN PutData(CHStatement& statement, SQLPOINTER data, SQLLEN length);

}  // namespace kestrion
