// Transaction ends: a statement's COMMIT or ROLLBACK, SQLEndTran on a
// connection or an environment, and the commit when autocommit is switched
// back on.
#pragma once

#include <cstdint>

#include "driver/odbc.h"

namespace kestrion {

class CHConnection;
class CSQLHandle;

// SQLEndTran on an environment or connection handle (already checked to be
// a live handle of its kind). Each statement ends the transaction on its own
// request; when the connection's driver-opened server transaction is still
// open afterwards (for instance, no statement is left), the connection ends
// it with one request of its own.
SQLRETURN EndTransaction(CSQLHandle& handle, SQLSMALLINT completion);

// The connection-level end: commits or rolls back the server transaction the
// driver opened, when one is open. Diagnostics go to the connection.
void EndConnectionTransaction(CHConnection& connection, std::int16_t completion);

// Autocommit switched on: commits the transaction left open, if any.
void CommitOpenTransaction(CHConnection& connection);

}  // namespace kestrion
