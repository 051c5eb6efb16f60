// The generic attribute setter and getter: the buffer handling shared by the
// environment, connection, statement and descriptor attribute functions, and
// by driver code that reads or writes attributes with the internal modes.
#pragma once


#include <cstdint>

#include "driver/handle.h"

namespace kestrion {

// Looks the attribute up for `access`, builds the value of a string cell
// (`length` in bytes or SQL_NTS) and stores it through _SetAttribute unless
// something was refused. Refusals are posted on `handle`.
void SetAttributeValue(CSQLHandle& handle, int32_t id, SQLPOINTER value, SQLLEN length,
                       int16_t record, uint32_t access);

// Copies an attribute into `buffer`. `length` holds the buffer's size in
// bytes (consulted for strings only) and receives the length of the answer.
void GetAttributeValue(CSQLHandle& handle, int32_t id, SQLPOINTER buffer, SQLLEN& length,
                       int16_t record, uint32_t access);

// The exported set and get entries: kind check, clearing, the generic
// routine with the application modes; answer the handle return code.
// `where` is the exported function, named in the driver log's call lines.
SQLRETURN SetAttributeEntry(HandleKind kind, SQLHANDLE handle, int32_t id, SQLPOINTER value,
                            SQLLEN length, int16_t record,
                            const char* where = __builtin_FUNCTION());
SQLRETURN GetAttributeEntry(HandleKind kind, SQLHANDLE handle, int32_t id, SQLPOINTER buffer,
                            SQLINTEGER buffer_length, SQLINTEGER* string_length, int16_t record,
                            const char* where = __builtin_FUNCTION());

}  // namespace kestrion
