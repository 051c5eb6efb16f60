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
// empty, the link is put back in step and 40001 "Can't get value." is on the
// statement.
bool DecodeRows(CHStatement& statement, StatementExchange& exchange, std::int64_t first,
                std::int64_t last);

}  // namespace kestrion
