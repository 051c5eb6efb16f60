// The addresses one fetch writes a bound column to, advanced row by row.
#pragma once

#include <cstdint>

#include <sql.h>

#include "statement/type_tables.h"

namespace kestrion {

struct FetchPointer {
  std::uint8_t* data = nullptr;
  std::int64_t buffer_length = 0;
  SQLLEN* indicator = nullptr;
  SQLLEN* octet_length = nullptr;
  std::int16_t c_class = kClassNone;
  std::int16_t scale = 0;
  std::int16_t sql_class = kClassNone;
  bool unsigned_integer = false;
};

}  // namespace kestrion
