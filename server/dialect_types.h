// Type declarations of other SQL dialects that SQLite's grammar refuses,
// rewritten into forms it accepts before a statement is prepared.
#pragma once

#include <string>

namespace kestrion::server {

// Removes the length "(MAX)" after VARCHAR, NVARCHAR and VARBINARY, outside
// string literals, quoted identifiers and comments: the declared type then
// reads as unbounded text or as a blob. Any other text comes back unchanged.
std::string WithoutMaxLengths(std::string sql);

}  // namespace kestrion::server
