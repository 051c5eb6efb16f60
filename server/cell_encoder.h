// Encodes one SQLite value as a row cell of a given kind: the status byte '1'
// and the value, '0' for NULL, or '2' and a 32-bit code when the value cannot
// be represented in the kind without change.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <vector>

#include "toolbox/value.h"

namespace kestrion::server {

// Codes after status '2'.
enum CellError : std::int32_t {
  kCellOutOfRange = 1,   // a number outside the kind's range or precision
  kCellWrongSort = 2,    // a value of another sort (text in a number column, ...)
  kCellBadDateTime = 3,  // text that is no valid date, time or duration
};

// A SQLite value: its storage class and payload. Text is UTF-8.
struct SqlCell {
  int type = SQLITE_NULL;
  std::int64_t i = 0;
  double d = 0;
  const unsigned char* p = nullptr;
  int n = 0;
};

inline SqlCell CellFromColumn(sqlite3_stmt* s, int col) {
  SqlCell c;
  c.type = sqlite3_column_type(s, col);
  switch (c.type) {
    case SQLITE_INTEGER: c.i = sqlite3_column_int64(s, col); break;
    case SQLITE_FLOAT: c.d = sqlite3_column_double(s, col); break;
    case SQLITE_TEXT:
      c.p = sqlite3_column_text(s, col);
      c.n = sqlite3_column_bytes(s, col);
      break;
    case SQLITE_BLOB:
      c.p = static_cast<const unsigned char*>(sqlite3_column_blob(s, col));
      c.n = sqlite3_column_bytes(s, col);
      break;
    default: break;
  }
  return c;
}

void EncodeCell(std::vector<std::uint8_t>& out, corvane::VKind kind, const SqlCell& cell);

// UTF-8 to UTF-16LE units appended to `out` (invalid sequences become U+FFFD);
// returns the number of units.
std::size_t AppendUtf16(std::vector<std::uint8_t>& out, const unsigned char* p, std::size_t n);

}  // namespace kestrion::server
