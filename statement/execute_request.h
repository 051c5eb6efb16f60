// The EXECUTE-STATEMENT request of one parameter set and the reading of its
// reply, shared by an execute that waits for each reply in turn and by the
// parameter array whose requests leave together.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "driver/odbc.h"
#include "toolbox/vstring.h"

namespace kestrion {

class CHStatement;
class StatementExchange;

// The header and parameter body of an EXECUTE-STATEMENT with the values of
// parameter set `set`. False, with the reason posted, when a value cannot
// be sent.
bool BuildExecuteRequest(CHStatement& statement, std::int64_t set, std::string& header,
                         std::vector<std::uint8_t>& body);

// Takes the successful reply `reply` whose body `exchange` reads: describes
// the first result, reads its update count or caches its first page of rows.
// Answers the statement's return code.
SQLRETURN TakeExecuteReply(CHStatement& statement, StatementExchange& exchange,
                           const corvane::VString& reply);

// Whether a warning was posted on the statement since record `first`.
bool WarningSince(const CHStatement& statement, std::size_t first);

}  // namespace kestrion
