// The body of ConfigDSNW: adds and configures data sources through the
// configuration dialog, removes them without one.
#pragma once

#include "driver/odbc.h"
#include "toolbox/vstring.h"

namespace kestrion {

// ODBC_ADD_DSN, ODBC_CONFIG_DSN and their system forms show the dialog;
// ODBC_REMOVE_DSN, ODBC_REMOVE_SYS_DSN and ODBC_REMOVE_DEFAULT_DSN remove the
// data source named by the first attribute "DSN=name". `driver` is the name
// under which the installer knows the driver; the data source is written with
// it. TRUE when the request was carried out (the dialog ended with OK).
int ConfigureDataSource(void* parent, int request, const SQLWCHAR* driver,
                        const SQLWCHAR* attributes);

// The data source name in the first attribute of `attributes`: the text after
// "DSN=" (any letter case) up to ";" or the end; empty when there is none.
corvane::VString DataSourceNameOf(const SQLWCHAR* attributes);

}  // namespace kestrion
