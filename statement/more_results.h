// SQLMoreResults: the next result of a batch.
#pragma once

#include "driver/odbc.h"

namespace kestrion {

class CHStatement;

// Describes the next result from the reply lists. Its rows, when it is a row
// set, come with FETCH-RESULT; its update count is its "Row-Count" item.
// SQL_NO_DATA when the lists are used up.
SQLRETURN MoreResults(CHStatement& statement);

}  // namespace kestrion
