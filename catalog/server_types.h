// The server's column type codes, as its catalog tables give them: the SQL
// type of each code and the type name the server uses for it.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace kestrion {

// The SQL type of a server type code; 0 (SQL_UNKNOWN_TYPE) for a code the
// table does not know.
int16_t ServerSqlType(int64_t code);

// The server's own name of a type code ("VARCHAR", "INT32" ...); nothing for
// a code without one.
std::optional<std::u16string_view> ServerTypeName(int64_t code);

}  // namespace kestrion
