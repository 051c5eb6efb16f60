// Delivery of one value into an application buffer of a C type: bound
// columns during a fetch and SQLGetData, long data in pieces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "driver/handle.h"
#include "statement/conversion_status.h"
#include "statement/type_tables.h"
#include "toolbox/value.h"

namespace kestrion {

// Kept by a caller that delivers one value in pieces (SQLGetData), so that
// each narrow-text piece costs only its own size: the value's narrow
// encoding is made at the first piece (offset 0) and sliced afterwards.
struct PieceCache {
  std::string narrow;
  const void* source = nullptr;
  std::size_t units = 0;
  Charset charset = Charset::Utf8;
};

// Where and how one value is delivered.
struct CTarget {
  int16_t c_class = kClassNone;  // folded C type (FoldType)
  void* buffer = nullptr;        // nothing is written when null
  int64_t capacity = 0;          // bytes the buffer holds (FixedBufferSize)
  Charset charset = Charset::Utf8;  // of narrow text
  int32_t scale = 0;             // of SQL_C_NUMERIC
  bool unsigned_integer = false; // an unsigned C integer type (SQL_C_ULONG...)
  int64_t offset = 0;            // bytes of the data already delivered (SQLGetData pieces)
  // The Access-compatibility setting: a duration delivered as a timestamp
  // gets today's date (UTC) instead of the empty date.
  bool access_compatible = false;
  // Optional; see PieceCache. Without it a piece of narrow text re-encodes
  // the text up to the piece.
  PieceCache* pieces = nullptr;
};

struct CResult {
  Conversion status = Conversion::kOk;
  // The whole data in bytes, the terminator included for text, whatever the
  // offset and the capacity.
  int64_t full_length = 0;
  // Bytes of data written by this call, the terminator not counted; a
  // SQLGetData piece offset advances by this.
  int64_t delivered = 0;
  // A fractional part was cut off to deliver the value (01S07).
  bool fraction_lost = false;
};

// Converts a non-null value into the target. A text target receives the
// piece from `offset` on, as much as fits with a terminator; a binary target
// the bytes from `offset` on; a fixed-size target its structure or scalar,
// cut to the capacity. Numbers into integer targets lose their fraction
// (fraction_lost); a bit takes 0 or 1, and a fraction between 0 and 2.
//
// Failures: a time value into a numeric target, a blob into a date, and the
// like is kNotPossible; a value outside the range of an integer or float
// target (a negative one into an unsigned type included), one that no
// SQL_NUMERIC_STRUCT holds, or a negative duration into a date or time,
// kOutOfRange; a text that is not a number into a numeric target, or no date
// or time into a date or time target, kInvalidText; a failed allocation,
// kNoMemory. Nothing is written then, and nothing is thrown.
CResult ConvertToC(const CTarget& target, const corvane::VValue& value);

// The terminator of a text class in bytes: 2 for wide text, 1 for narrow,
// 0 for every other class.
inline int64_t TerminatorSize(int16_t c_class) {
  return c_class == kClassWChar ? 2 : c_class == kClassChar ? 1 : 0;
}

// What SQLGetData reports as remaining: the full length less the offset and
// the terminator; never negative.
inline int64_t RemainingLength(const CTarget& target, const CResult& r) {
  int64_t left = r.full_length - target.offset - TerminatorSize(target.c_class);
  return left > 0 ? left : 0;
}

}  // namespace kestrion
