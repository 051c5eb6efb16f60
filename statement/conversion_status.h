// The outcome of a value conversion. Conversions post no diagnostics; the
// statement code turns a failure into its SQLSTATE.
#pragma once

#include <cstdint>

namespace kestrion {

enum class Conversion : uint8_t {
  kOk = 0,
  kNotPossible,   // no conversion exists between the two types: 07006
  kOutOfRange,    // the value does not fit the target type: 22003
  kInvalidText,   // a text that does not read as the target type: 22018
  kDatetimeOverflow,  // a span of time that is no time of day: 22008
  kNoMemory,      // memory for the value could not be had: HY001
};

}  // namespace kestrion
