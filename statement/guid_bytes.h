// SQLGUID and the 16 bytes of a UUID value. A UUID travels and is stored in
// its canonical order, the order of its text form (time_low, time_mid and
// time_hi as big-endian integers, then the 8 remaining bytes); SQLGUID keeps
// the first three as native integers.
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <array>
#include <cstdint>

namespace kestrion {

std::array<std::uint8_t, 16> CanonicalGuidBytes(const SQLGUID& g);
SQLGUID GuidOfCanonicalBytes(const std::array<std::uint8_t, 16>& bytes);

}  // namespace kestrion
