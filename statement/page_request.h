// Bringing a page of rows into the row cache with FETCH-RESULT.
#pragma once

#include <cstdint>

namespace kestrion {

class CHStatement;
class StatementExchange;

// Makes sure result row `row` (0-based) is in the row cache, asking the
// server for the page that starts there when it is not; `wanted` is the
// number of rows the current rowset still needs. False when the row cannot
// be had (the diagnostics are on the statement).
bool EnsureRowCached(CHStatement& statement, StatementExchange& exchange, std::int64_t row,
                     std::int64_t wanted);

// Sends FETCH-RESULT for the page starting at `first` and decodes it into
// the cache; one retry when decoding fails.
bool RequestPage(CHStatement& statement, StatementExchange& exchange, std::int64_t first,
                 std::int64_t wanted);

}  // namespace kestrion
