// The driver log of a connection as its connect chooses it, and the
// connection string as the log shows it.
#pragma once

#include <string>
#include <string_view>

#include "driver/driver_log.h"
#include "protocol/settings.h"

namespace kestrion {

// LogFile and LogLevel from the connection string, else from the data source
// it names, else the process's target (KESTRION_ODBC_LOG). A LogFile without
// a LogLevel logs at info; an unknown level counts as info; "off" turns the
// log off for the connection.
LogTarget ChooseLogTarget(std::u16string_view connection_string, const DataSourceReader& read_dsn);

// The connection string in UTF-8 with every password replaced by "***". A
// password runs from its PWD item up to the next item that names a known key,
// so a password holding ";" is hidden whole however it is cut.
std::string MaskedConnectionString(std::u16string_view connection_string);

}  // namespace kestrion
