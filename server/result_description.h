// The reply fields that describe results: Column-Count, Column-Types,
// Column-Aliases, Column-Updateability, Result-Type and, after an execute,
// Row-Count.
#pragma once

#include <string>
#include <vector>

#include "server/reply.h"
#include "server/result_set.h"

namespace kestrion::server {

// An alias as one list item that the driver's tokenizer reads back whole:
// plain when it can be, else in double quotes, square brackets or
// apostrophes, whichever it does not contain.
std::string QuoteAlias(const std::string& alias);

// Adds the description fields of `results` to the reply; with `row_counts`,
// also "Row-Count"; with `sizes`, also "Column-Sizes" (the declared size of
// each column, 0 for an update count). Aliases that are not plain printable ASCII make the whole
// list go as "Column-Aliases-Base64".
void DescribeResults(Reply& reply, const std::vector<ResultSet>& results, bool row_counts,
                     bool sizes);

}  // namespace kestrion::server
