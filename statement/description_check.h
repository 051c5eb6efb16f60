// The description lists of a prepare or execute answer checked against each
// other before anything is described from them, so that a malformed reply is
// an error instead of a misread result.
#pragma once

#include "statement/reply_lists.h"

namespace kestrion {

class CHStatement;

// Column-Count items are column counts (0 to 32767) whose sum is the number
// of items of each per-column list; Result-Type (and, after an execute,
// Row-Count, each 0 to 2147483647) has one item per result; no list came in
// Base64 that does not decode. False, with HY000 naming the fault posted on
// the statement, when one of these does not hold.
bool CheckDescription(CHStatement& statement, const ReplyLists& lists, bool with_row_count);

}  // namespace kestrion
