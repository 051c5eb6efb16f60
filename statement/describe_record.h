// Filling an implementation (or driver-bound application) descriptor record
// from an SQL type and size: the bind-a-record operation as the statement
// paths use it for described columns and parameters.
#pragma once

#include <cstdint>

#include "driver/odbc.h"

namespace kestrion {

class CHDescriptor;

// Makes sure the descriptor has `record` records, then binds the record:
// data pointer, lengths, concise type (with its derived display size and
// precision), nullable, unsigned, verbose type and interval code, type name
// and the indicator/length pointer. A timestamp's SQL_DESC_LENGTH is its
// length in characters.
void BindDescribedRecord(CHDescriptor& descriptor, std::int16_t record, std::int16_t type,
                         void* data, std::int64_t buffer_length, SQLLEN* indicator);

}  // namespace kestrion
