// Binding one descriptor record to an application buffer: the operation
// behind SQLBindCol and SQLBindParameter, also used by driver code that binds
// its own buffers.
#pragma once

#include <cstdint>

#include "driver/odbc.h"

namespace kestrion {

class CHDescriptor;

// Fills record `record` (which must exist) for a buffer of the type class
// `type`: data pointer, lengths, concise type with its derivations,
// nullability, signedness, verbose type and subcode, type name, and the one
// pointer that serves as both indicator and octet length pointer.
void BindRecord(CHDescriptor& descriptor, int16_t record, int16_t type, SQLPOINTER data,
                SQLLEN buffer_length, SQLLEN* length_or_indicator);

}  // namespace kestrion
