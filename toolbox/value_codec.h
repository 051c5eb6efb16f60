// Binary layouts of values on the wire (little-endian):
//   Boolean   16-bit, 1 true / 0 false (any non-zero reads as true)
//   Byte      16-bit, the byte sign-extended (the low 8 bits are kept on reading)
//   Word      16-bit; Long 32-bit; Long8 and Duration (milliseconds) 64-bit
//   Real      64-bit IEEE 754 double
//   Float     exponent int32, sign int8, digit count n int32, then n bytes:
//             the first (n+1)/2 hold digit pairs (0..99), the rest are zero
//   Time      year u16, month u8, day u8, milliseconds since midnight u32
//   Text      written as -n (int32) and n UTF-16LE units; read also as 0 (empty)
//             or as n > 0, charset code 1 or 2, then n+1 units with a final zero
//   Blob      int32 length n, then n bytes (Image likewise)
//   Uuid      the 16 bytes as stored
// A null value is never encoded: the status byte in front of it says so.
#pragma once

#include <cstdint>

#include "toolbox/stream.h"
#include "toolbox/value.h"

namespace corvane {

// Largest byte length accepted for a text, blob or decimal read from a stream.
inline constexpr std::int64_t kMaxValueBytes = std::int64_t{1} << 30;

// Writes the payload of `v` in the layout of its kind (a null value writes
// the layout of an empty or zero value). Unknown kinds fail with kBadValue.
bool WriteValue(VStream& s, const VValue& v);

// Reads one value of `kind`. On failure the stream's error is set and `out`
// holds a null value of the kind. Lengths are bounded by kMaxValueBytes, and
// long texts and blobs are read in chunks, so memory grows only as bytes
// actually arrive.
bool ReadValue(VStream& s, VKind kind, VValue& out);

// ReadValue into a value that may already hold one: a text or a decimal is
// read into the storage `out` holds (up to 64K units of it), so that a row
// cache read page after page does not allocate per cell.
bool ReadValueInPlace(VStream& s, VKind kind, VValue& out);

// The decimal layout alone, for callers that keep VFloat outside a VValue.
bool WriteFloat(VStream& s, const VFloat& f);
bool ReadFloat(VStream& s, VFloat& out);

}  // namespace corvane
