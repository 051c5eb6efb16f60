// The ODBC interface as the driver sees it: the unixODBC headers and the
// marker for the functions the library exports.
#pragma once

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

// Exported ODBC entry points (everything else in the library is hidden).
#define KESTRION_EXPORT __attribute__((visibility("default")))

// The driver's own statement attribute: dynamic binding of result columns.
#define SQLKESTRION_ATTR_DYNAMIC_BIND 1000
