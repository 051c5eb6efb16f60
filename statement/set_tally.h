// The outcome of each set of a parameter array as it becomes known: the
// application's parameter status array and processed count, the row number
// of the set's diagnostics, the summed row count and the call's return code.
#pragma once

#include <cstddef>
#include <cstdint>

#include "driver/odbc.h"

namespace kestrion {

class CHStatement;

class SetTally {
 public:
  explicit SetTally(CHStatement& statement);

  // A set left out (ignored by the application, or after the link was lost).
  void Unused(std::int64_t set);
  // Starts a set: it runs with a return code of its own, the records of the
  // sets before stay. Answers where its diagnostics begin.
  std::size_t Begin();
  // Ends set `set`, whose diagnostics begin at `first`: an error among them
  // makes it a failed set (the statement is closed), else its row count adds
  // to the total.
  void End(std::int64_t set, std::size_t first);
  // The summed row count and the call's return code: an error when every
  // set failed, success with info when some did or a warning was posted.
  SQLRETURN Finish();

 private:
  CHStatement& statement_;
  SQLUSMALLINT* status_;
  SQLULEN* processed_;
  std::int64_t succeeded_ = 0;
  std::int64_t failed_ = 0;
  std::int64_t total_ = 0;
};

}  // namespace kestrion
