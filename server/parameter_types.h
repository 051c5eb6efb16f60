// "Parameter-Types" of a prepare: the kind of each parameter marker whose
// place shows it (an INSERT value, an UPDATE SET, a comparison with a column),
// in marker order, up to the first marker that cannot be placed.
#pragma once

#include <sqlite3.h>

#include <string>
#include <string_view>
#include <vector>

namespace kestrion::server {

std::vector<std::string> DescribeParameterKinds(sqlite3* db, std::string_view sql);

}  // namespace kestrion::server
