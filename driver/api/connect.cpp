// SQLConnectW, SQLDriverConnectW and SQLDisconnect.
#include "driver/connection.h"
#include "driver/entry_guard.h"
#include "protocol/connect.h"

using namespace kestrion;

extern "C" {

KESTRION_EXPORT SQLRETURN SQL_API SQLConnectW(SQLHDBC hdbc, SQLWCHAR* szDSN, SQLSMALLINT cbDSN,
                                              SQLWCHAR* szUID, SQLSMALLINT cbUID,
                                              SQLWCHAR* szAuthStr, SQLSMALLINT cbAuthStr) {
  return Guarded<CHConnection>(hdbc, HandleKind::Connection, [&](CHConnection& c) {
    return ConnectWithDataSource(c, szDSN, cbDSN, szUID, cbUID, szAuthStr, cbAuthStr);
  });
}

KESTRION_EXPORT SQLRETURN SQL_API SQLDriverConnectW(SQLHDBC hdbc, SQLHWND hwnd,
                                                    SQLWCHAR* szConnStrIn, SQLSMALLINT cbConnStrIn,
                                                    SQLWCHAR* szConnStrOut,
                                                    SQLSMALLINT cbConnStrOutMax,
                                                    SQLSMALLINT* pcbConnStrOut,
                                                    SQLUSMALLINT fDriverCompletion) {
  return Guarded<CHConnection>(hdbc, HandleKind::Connection, [&](CHConnection& c) {
    return ConnectProcedure(c, hwnd, szConnStrIn, cbConnStrIn, szConnStrOut, cbConnStrOutMax,
                            pcbConnStrOut, fDriverCompletion);
  });
}

KESTRION_EXPORT SQLRETURN SQL_API SQLDisconnect(SQLHDBC ConnectionHandle) {
  return Guarded<CHConnection>(ConnectionHandle, HandleKind::Connection, [](CHConnection& c) {
    Disconnect(c);
    return c.return_code();
  });
}

}  // extern "C"
