// ODBC escape clauses, which applications write in braces and the driver
// passes on unchanged, rewritten into the SQL that SQLite understands before
// a statement is prepared.
#pragma once

#include <string>

namespace kestrion::server {

// {d '...'}, {t '...'} and {ts '...'} become the quoted literal, {fn ...} the
// function call, {oj ...} the join and {escape '...'} an ESCAPE clause: the
// braces and the leading keyword give way to spaces. Braces in string
// literals, quoted names and comments, and other braced text, are left as
// they are.
std::string WithoutOdbcEscapes(std::string sql);

}  // namespace kestrion::server
