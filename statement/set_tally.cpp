#include "statement/set_tally.h"

#include "driver/statement.h"
#include "statement/close_statement.h"
#include "statement/execute_request.h"

namespace kestrion {

SetTally::SetTally(CHStatement& statement)
    : statement_(statement),
      status_(statement.param_status_ptr()),
      processed_(statement.params_processed_ptr()) {}

void SetTally::Unused(std::int64_t set) {
  if (status_ != nullptr) status_[set] = SQL_PARAM_UNUSED;
}

std::size_t SetTally::Begin() {
  statement_.set_return_code(SQL_SUCCESS);
  return statement_.diagnostics().size();
}

void SetTally::End(std::int64_t set, std::size_t first) {
  statement_.SetRowAndColumn(first, set + 1, -1);
  if (processed_ != nullptr) *processed_ = static_cast<SQLULEN>(set + 1);
  if (ErrorSince(statement_, first)) {
    CloseStatement(statement_);
    ++failed_;
    if (status_ != nullptr) status_[set] = SQL_PARAM_ERROR;
    return;
  }
  ++succeeded_;
  total_ += statement_.state.row_count;
  if (status_ != nullptr) {
    status_[set] = WarningSince(statement_, first) ? SQL_PARAM_SUCCESS_WITH_INFO : SQL_PARAM_SUCCESS;
  }
}

SQLRETURN SetTally::Finish() {
  statement_.state.row_count = total_;
  const bool warned = WarningSince(statement_, 0);
  statement_.set_return_code(failed_ > 0 ? (succeeded_ > 0 ? SQL_SUCCESS_WITH_INFO : SQL_ERROR)
                             : warned    ? SQL_SUCCESS_WITH_INFO
                                         : SQL_SUCCESS);
  return statement_.return_code();
}

}  // namespace kestrion
