// Decoding rows of a reply body into the row cache.
#pragma once

#include <cstdint>

namespace kestrion {

class CHStatement;
class StatementExchange;

// Reads rows `first` to `last` (0-based, inclusive) of the current result
// from the reply body into the statement's row cache, replacing what it
// held, and updates the IRD's octet lengths and display sizes from the
// longest text and binary values of the page. On failure the cache is
// empty and the cause is on the statement: a lost link (08S01), the time-out
// (HYT00) or a body that does not match its description (HY000, the link put
// back in step or closed). Cells the server could not represent, and dates
// that are no dates, mark their row SQL_ROW_ERROR and are kept as faults.
bool DecodeRows(CHStatement& statement, StatementExchange& exchange, std::int64_t first,
                std::int64_t last);

}  // namespace kestrion
