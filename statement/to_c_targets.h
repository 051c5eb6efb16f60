// The target-class converters behind ConvertToC; one file each.
#pragma once

#include "statement/convert_to_c.h"

namespace kestrion::to_c {

CResult Text(const CTarget& t, const corvane::VValue& v);
CResult Binary(const CTarget& t, const corvane::VValue& v);
CResult Numeric(const CTarget& t, const corvane::VValue& v);
CResult DateTime(const CTarget& t, const corvane::VValue& v);
CResult Interval(const CTarget& t, const corvane::VValue& v);
CResult Guid(const CTarget& t, const corvane::VValue& v);

// Copies a fixed-size result, cut to the capacity, and reports its size.
CResult Fixed(const CTarget& t, const void* bytes, int64_t size);

}  // namespace kestrion::to_c
