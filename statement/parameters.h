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
bool AddParameters(CHStatement& statement, ParameterUse use, std::string& header,
                   std::vector<std::uint8_t>& body);

// The application's buffer of parameter `number` as its APD record and the
// parameter bind offset describe it.
ParameterBuffer ApplicationParameter(CHStatement& statement, std::int16_t number);

// Whether parameter `number` waits for data at execution: a character or
// binary parameter whose indicator is SQL_DATA_AT_EXEC or
// SQL_LEN_DATA_AT_EXEC(n).
bool NeedsData(CHStatement& statement, std::int16_t number);

}  // namespace kestrion
