#include "catalog/server_types.h"

#include <array>

#include <sql.h>
#include <sqlext.h>

namespace kestrion {

namespace {

// By server code 1 to 20.
constexpr std::array<int16_t, 20> kSqlTypes = {
    SQL_BIT,       SQL_TINYINT, SQL_SMALLINT, SQL_INTEGER, SQL_BIGINT,
    SQL_REAL,      SQL_DOUBLE,  SQL_TYPE_TIMESTAMP, SQL_INTERVAL_DAY_TO_SECOND, SQL_WCHAR,
    SQL_BINARY,    SQL_BINARY,  SQL_GUID,     SQL_WCHAR,   SQL_BIGINT,
    SQL_BIGINT,    SQL_WCHAR,   SQL_BINARY,   SQL_WCHAR,   SQL_WCHAR,
};

struct NamedCode {
  int64_t code;
  std::u16string_view name;
};

constexpr std::array<NamedCode, 13> kNames = {{
    {10, u"VARCHAR"}, {8, u"INTERVAL"}, {9, u"INTERVAL"}, {1, u"BOOLEAN"},
    {2, u"INT8"},     {3, u"INT16"},    {4, u"INT32"},    {5, u"INT64"},
    {6, u"REAL"},     {7, u"DOUBLE PRECISION"}, {11, u"BLOB"}, {12, u"IMAGE"},
    {14, u"CLOB"},
}};

}  // namespace

int16_t ServerSqlType(int64_t code) {
  if (code < 1 || code > static_cast<int64_t>(kSqlTypes.size())) return SQL_UNKNOWN_TYPE;
  return kSqlTypes[static_cast<std::size_t>(code - 1)];
}

std::optional<std::u16string_view> ServerTypeName(int64_t code) {
  for (const NamedCode& n : kNames) {
    if (n.code == code) return n.name;
  }
  return std::nullopt;
}

}  // namespace kestrion
