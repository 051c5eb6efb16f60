// Declared SQL column types and the value kinds and catalog type codes they
// travel as.
#pragma once

#include <cstdint>
#include <string_view>

#include "toolbox/value.h"

namespace kestrion::server {

struct ColumnType {
  corvane::VKind kind = corvane::VKind::Unknown;  // Unknown: no recognised declaration
  int server_code = 0;                            // the catalog's DATA_TYPE code
  std::int32_t data_length = 0;                   // the catalog's DATA_LENGTH
};

// From a declared type such as "VARCHAR(40)", "bigint", "DOUBLE PRECISION".
// A missing or unrecognised declaration gives kind Unknown, code 14.
ColumnType ColumnTypeFromDeclared(std::string_view declared);

// The size a declaration gives a result column: characters for bounded text
// (VARCHAR(40) gives 40), 2147483647 for unbounded text and byte strings, 0
// for kinds without a size.
std::int32_t DeclaredSize(const ColumnType& type);

}  // namespace kestrion::server
