// Result description: one result's share of the reply lists turned into the
// implementation row descriptor, and the decision between a row set and an
// update count.
//
// Local result sets fill the statement's reply lists themselves (see
// ReplyLists) and then call DescribeResult, exactly as an execute does.
#pragma once

#include <cstdint>

#include "driver/odbc.h"

namespace kestrion {

class CHStatement;

// Consumes the next result's items of the reply lists and describes it into
// the IRD (and, under dynamic binding, the ARD). SQL_NO_DATA when no further
// result is described or the result has no "Row-Count" item; the statement's
// row number is reset to 0 so that the next SQL_FETCH_NEXT starts at the
// first row.
SQLRETURN DescribeResult(CHStatement& statement);

// Describes a result of `total_rows` rows (or update count) whose
// description equals the statement's kept one (KeptDescription): the
// descriptors and the column state built for it stay, the result state
// starts again as DescribeResult starts it.
SQLRETURN DescribeKeptResult(CHStatement& statement, std::int64_t total_rows);

}  // namespace kestrion
