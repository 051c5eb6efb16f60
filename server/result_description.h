// The reply fields that describe results: Column-Count, Column-Types,
// Column-Aliases, Column-Updateability, Result-Type and, after an execute,
// Row-Count.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "server/reply.h"
#include "server/result_set.h"

namespace kestrion::server {

// An alias as one list item that the driver's tokenizer reads back whole:
// plain when it can be, else in double quotes, square brackets or
// apostrophes, whichever it does not contain.
std::string QuoteAlias(const std::string& alias);

// The description lines of one result, kept with what they describe, so that
// a statement executed again and again builds them once. A result whose
// columns differ in anything (a kind taken from the values, a changed table)
// gets them built anew.
class DescriptionMemo {
 public:
  // The lines DescribeResults writes for `r` before its Row-Count.
  std::string_view Lines(const ResultSet& r, bool sizes);

 private:
  bool valid_ = false;
  bool sizes_ = false;
  bool row_set_ = false;
  bool updatable_ = false;
  std::vector<ResultColumn> columns_;
  std::string lines_;
};

// Adds the description fields of `results` to the reply; with `row_counts`,
// also "Row-Count"; with `sizes`, also "Column-Sizes" (the declared size of
// each column, 0 for an update count). Aliases that are not plain printable ASCII make the whole
// list go as "Column-Aliases-Base64". A single result takes its lines from
// `memo` when one is given.
void DescribeResults(Reply& reply, const std::vector<ResultSet>& results, bool row_counts,
                     bool sizes, DescriptionMemo* memo = nullptr);

}  // namespace kestrion::server
