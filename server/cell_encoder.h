// Encodes one SQLite value as a row cell of a given kind: the status byte '1'
// and the value, '0' for NULL, or '2' and a 32-bit code when the value cannot
// be represented in the kind without change.
#pragma once

#include <sqlite3.h>

#include <cstdint>

#include "server/byte_buffer.h"
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

// One sqlite3_column_value and value reads on it: each sqlite3_column_*
// call would look the column up and check for allocation failure again.
// Texts and blobs: the pointer first, then the size, as SQLite asks.
inline SqlCell CellFromColumn(sqlite3_stmt* s, int col) {
  sqlite3_value* v = sqlite3_column_value(s, col);
  SqlCell c;
  c.type = sqlite3_value_type(v);
  switch (c.type) {
    case SQLITE_INTEGER: c.i = sqlite3_value_int64(v); break;
    case SQLITE_FLOAT: c.d = sqlite3_value_double(v); break;
    case SQLITE_TEXT:
      c.p = sqlite3_value_text(v);
      c.n = sqlite3_value_bytes(v);
      break;
    case SQLITE_BLOB:
      c.p = static_cast<const unsigned char*>(sqlite3_value_blob(v));
      c.n = sqlite3_value_bytes(v);
      break;
    default: break;
  }
  return c;
}

void EncodeCell(ByteBuffer& out, corvane::VKind kind, const SqlCell& cell);

// UTF-8 to UTF-16LE units appended to `out` (invalid sequences become U+FFFD);
// returns the number of units.
std::size_t AppendUtf16(ByteBuffer& out, const unsigned char* p, std::size_t n);

}  // namespace kestrion::server
