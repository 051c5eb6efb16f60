// Delivery of one cell of the row cache into an application buffer: the
// NULL indicator, the conversion, the SQLSTATE of a failed conversion.
#pragma once

#include <cstdint>

#include "driver/odbc.h"
#include "statement/convert_to_c.h"

namespace kestrion {

class CHStatement;

// Where one column of one row goes.
struct CellTarget {
  void* data = nullptr;
  std::int64_t buffer_length = 0;
  std::int16_t c_class = kClassNone;  // folded; SQL_C_DEFAULT already resolved
  std::int16_t scale = 0;
  std::int64_t offset = 0;            // SQLGetData piece offset
  bool unsigned_integer = false;      // an unsigned C integer type
};

struct CellResult {
  bool null = false;
  bool failed = false;      // a conversion error was posted
  bool truncated = false;   // the whole data did not fit the buffer
  CResult conversion;
  CTarget target;
};

// Converts `value` (NULL or not) into the target. A NULL writes an empty
// text into a text buffer that has room for one. A conversion that cannot
// be made posts 07006, 22003 or 22018 on the statement and writes nothing.
// A fraction cut off (01S07) is left to the caller: a fetch reports it once.
CellResult DeliverValue(CHStatement& statement, const CellTarget& cell,
                        const corvane::VValue& value);

// The SQLSTATE of a failed conversion.
void PostConversionFailure(CHStatement& statement, Conversion status);

}  // namespace kestrion
