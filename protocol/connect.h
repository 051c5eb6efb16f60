// Connecting and disconnecting: the connect procedure behind SQLConnectW and
// SQLDriverConnectW, LOGIN, and the disconnect that logs out.
#pragma once

#include <cstdint>

#include "driver/odbc.h"
#include "protocol/settings.h"

namespace kestrion {

class CHConnection;

// The body of SQLDriverConnectW. `out_bytes` is the out buffer's size in
// bytes; `out_length` receives the completed string's length in characters.
SQLRETURN ConnectProcedure(CHConnection& connection, void* window, const SQLWCHAR* in,
                           SQLSMALLINT in_length, SQLWCHAR* out, SQLSMALLINT out_bytes,
                           SQLSMALLINT* out_length, SQLUSMALLINT completion);

// The body of SQLConnectW.
SQLRETURN ConnectWithDataSource(CHConnection& connection, const SQLWCHAR* dsn,
                                SQLSMALLINT dsn_length, const SQLWCHAR* user,
                                SQLSMALLINT user_length, const SQLWCHAR* password,
                                SQLSMALLINT password_length);

// Applies the settings to the connection, opens the link and logs in.
void Login(CHConnection& connection, const Settings& settings);

// Logs out (LOGOUT, QUIT) when the link is alive and closes it; 01002
// "Disconnect error" when there is no link. After a failed login there is no
// session to log out of, and only QUIT is sent.
void Disconnect(CHConnection& connection, bool logged_in = true);

}  // namespace kestrion
