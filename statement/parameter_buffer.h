// The value an application's parameter buffer holds, read by its C type and
// by its length and indicator as ODBC defines them.
#pragma once

#include <cstdint>
#include <optional>

#include "driver/handle.h"
#include "statement/type_tables.h"
#include "toolbox/value.h"

namespace kestrion {

// One bound parameter as the application descriptor gives it.
struct ParameterBuffer {
  int16_t c_type = 0;              // the C type as bound (SQL_C_ULONG ...), for its sign
  int16_t c_class = kClassNone;    // the folded C type
  const void* data = nullptr;      // the data pointer, with any bind offset applied
  int64_t buffer_length = 0;       // the octet length field (SQLBindParameter's BufferLength)
  std::optional<int64_t> indicator;  // the value at the indicator pointer, when it is set
  std::optional<int64_t> length;     // the value at the octet-length pointer, when it is set
  Charset charset = Charset::Utf8;   // of narrow text
  // The Windev setting: a text of length 0 is read up to its terminator and
  // its trailing spaces are dropped.
  bool windev = false;
};

enum class BufferValue : uint8_t {
  kValue,    // a value was made
  kNull,     // the application asked for NULL (SQL_NULL_DATA, or no data pointer)
  kPending,  // data at execution not supplied yet (SQL_DATA_AT_EXEC, SQL_LEN_DATA_AT_EXEC(n))
  kNoValue,  // no value can be made (an unknown C type, a length that means nothing)
};

// Makes the value of a parameter buffer by its C class:
//   SQL_C_CHAR   text in the connection's character set; SQL_C_WCHAR UTF-16 text.
//                The length is the exact byte length when it is 0 or more (the
//                text still ends at a zero within it), up to the terminator for
//                SQL_NTS or without a length pointer (within the buffer length
//                when that is positive). An empty text is an empty value.
//   SQL_C_BINARY a blob of the exact length, or of the buffer length without a
//                length pointer.
//   SQL_C_BIT boolean; SQL_C_STINYINT byte; SQL_C_SSHORT word; SQL_C_SLONG long;
//   SQL_C_SBIGINT long8; the unsigned types the next wider kind (a UBIGINT past
//   the int64 range a decimal); SQL_C_FLOAT real; SQL_C_DOUBLE decimal;
//   SQL_C_NUMERIC decimal; SQL_C_GUID uuid; SQL_C_TYPE_DATE and _TIMESTAMP a
//   time value, SQL_C_TYPE_TIME and the day-to-second interval a duration
//   (a date or time structure that is no real date or time gives a null time).
// SQL_NULL_DATA at the indicator gives kNull whatever the type.
// A failed allocation throws std::bad_alloc (MakeParameterValue catches it).
BufferValue ReadParameterBuffer(const ParameterBuffer& p, corvane::VValue& out);

}  // namespace kestrion
