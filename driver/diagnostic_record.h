// One diagnostic record of a handle.
#pragma once

#include <cstdint>

#include "driver/sqlstate.h"
#include "toolbox/vstring.h"

namespace kestrion {

struct DiagnosticRecord {
  SqlState state;
  int32_t native_error = 0;
  corvane::VString message;  // the poster's own text; empty when none
  // The row (of a rowset, or the set of a parameter array) and the column
  // the record concerns, from 1; -1 when none (SQL_NO_ROW_NUMBER,
  // SQL_NO_COLUMN_NUMBER).
  int64_t row_number = -1;
  int32_t column_number = -1;

  // The text an application reads: the default text, then ":" LF and the
  // message when there is one.
  corvane::VString FullText() const;
};

}  // namespace kestrion
