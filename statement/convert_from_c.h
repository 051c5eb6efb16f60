// The value sent for one bound parameter: made from the application's buffer
// and brought to the kind of the parameter's SQL type.
#pragma once

#include <cstdint>

#include "statement/conversion_status.h"
#include "statement/kind_conversion.h"
#include "statement/parameter_buffer.h"

namespace kestrion {

struct ParameterValue {
  BufferValue state = BufferValue::kNoValue;  // kValue: `value` is to be sent
  Conversion status = Conversion::kOk;        // a failed conversion: post its SQLSTATE, send nothing
};

// Makes the value of parameter `p` for a parameter of SQL type class
// `sql_class` (the IPD's, folded). When the server described the parameter
// (a class other than the default class 99 or 0), a text bound for a
// non-text class is read as that class (date and time escapes, hexadecimal
// for binary, numbers) and the value is converted to the class's kind
// (ConvertToKind); the kind of `out` is then always KindOfClass(sql_class).
// An undescribed parameter keeps the kind of its C type. The kind to name on
// the request is KindName(out.kind()).
//
// `out` may be a null value of its kind: a date escape or structure that is
// no real date. It is sent as NULL, or as the empty value of its kind.
// Never throws: a failed allocation is status kNoMemory.
ParameterValue MakeParameterValue(const ParameterBuffer& p, int16_t sql_class, corvane::VValue& out);

}  // namespace kestrion
