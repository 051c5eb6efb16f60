// Parameters of a prepare or execute request: the "PARAMETER-TYPES:" header
// line and the body of status bytes and values.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "statement/parameter_buffer.h"

namespace kestrion {

class CHStatement;

enum class ParameterUse { kPrepare, kExecute };

// Adds the parameters to a request. When the statement has markers and
// parameters are bound, `header` gets the "PARAMETER-TYPES:" line (naming
// the kind of every value sent) and `body` one status byte per marker, '1'
// and the value or '0' for NULL. Parameters bound beyond the markers are
// ignored. An execute with fewer parameters bound than markers posts 07002;
// a prepare then sends no parameters. A value that cannot be converted to
// the kind of its described SQL type posts its SQLSTATE. False when
// nothing may be sent.
//
// `set` is the 0-based set of a parameter array (SQL_ATTR_PARAMSET_SIZE)
// whose values are sent.
bool AddParameters(CHStatement& statement, ParameterUse use, std::string& header,
                   std::vector<std::uint8_t>& body, std::int64_t set = 0);

// Whether every marker has a bound parameter; posts 07002 when not.
bool EveryMarkerBound(CHStatement& statement);

// The application's buffer of parameter `number` in parameter set `set`, as
// its APD record, the parameter binding type (column-wise: each array steps
// by its element size; row-wise: by the structure size) and the parameter
// bind offset describe it.
ParameterBuffer ApplicationParameter(CHStatement& statement, std::int16_t number,
                                     std::int64_t set = 0);

// Whether parameter `number` of set `set` waits for data at execution: a
// character or binary parameter whose indicator is SQL_DATA_AT_EXEC or
// SQL_LEN_DATA_AT_EXEC(n).
bool NeedsData(CHStatement& statement, std::int16_t number, std::int64_t set = 0);

}  // namespace kestrion
