// SQLGetTypeInfoW: the server's data types as a local result.
#include <array>

#include "catalog/catalog_functions.h"
#include "catalog/local_result_set.h"
#include "catalog/type_info_table.h"
#include "driver/statement.h"
#include "statement/statement_settings.h"

namespace kestrion {

SQLRETURN GetTypeInfo(CHStatement& statement, SQLSMALLINT data_type) {
  const auto rows = SelectTypeInfoRows(data_type, OdbcVersion(statement));
  if (!rows) return statement.Post(SqlState::HY004);
  static const std::array<LocalColumn, kTypeInfoColumnCount> columns = [] {
    std::array<LocalColumn, kTypeInfoColumnCount> list{};
    for (std::size_t i = 0; i < kTypeInfoColumnCount; ++i) {
      list[i] = LocalColumn{TypeInfoColumns()[i].name, TypeInfoColumns()[i].kind};
    }
    return list;
  }();
  OpenLocalResultSet(statement, columns);
  // A type of a known class that has no row answers the empty result.
  for (const TypeInfoRow& row : *rows) {
    if (!statement.ok()) break;
    AppendLocalRow(statement, TypeInfoLocalRow(row, statement.open_query));
  }
  AllocateRowStatus(statement, statement.state.cache.rows());
  return statement.return_code();
}

}  // namespace kestrion
