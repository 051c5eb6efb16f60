// SQLGetInfoW and SQLNativeSqlW.
#include "catalog/driver_info.h"
#include "catalog/native_sql.h"
#include "driver/connection.h"
#include "driver/entry_guard.h"

using namespace kestrion;

extern "C" {

KESTRION_EXPORT SQLRETURN SQL_API SQLGetInfoW(SQLHDBC ConnectionHandle, SQLUSMALLINT InfoType,
                                              SQLPOINTER InfoValuePtr, SQLSMALLINT BufferLength,
                                              SQLSMALLINT* StringLengthPtr) {
  return Guarded<CHConnection>(ConnectionHandle, HandleKind::Connection, [&](CHConnection& c) {
    return GetInfo(c, InfoType, InfoValuePtr, BufferLength, StringLengthPtr);
  });
}

KESTRION_EXPORT SQLRETURN SQL_API SQLNativeSqlW(SQLHDBC ConnectionHandle, SQLWCHAR* InStatementText,
                                                SQLINTEGER TextLength1, SQLWCHAR* OutStatementText,
                                                SQLINTEGER BufferLength,
                                                SQLINTEGER* TextLength2Ptr) {
  return Guarded<CHConnection>(ConnectionHandle, HandleKind::Connection, [&](CHConnection& c) {
    return NativeSql(c, InStatementText, TextLength1, OutStatementText, BufferLength,
                     TextLength2Ptr);
  });
}

}  // extern "C"
