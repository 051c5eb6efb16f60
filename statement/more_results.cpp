#include "statement/more_results.h"

#include "driver/statement.h"
#include "statement/describe_result.h"
#include "statement/update_count.h"

namespace kestrion {

SQLRETURN MoreResults(CHStatement& statement) {
  const SQLRETURN rc = DescribeResult(statement);
  if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) return rc;
  // The count of a later update is not in the reply body: reading it there
  // could block, or take bytes of the next reply.
  TakeUpdateCountFromRowCount(statement);
  return statement.return_code();
}

}  // namespace kestrion
