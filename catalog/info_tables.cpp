// The information table. Entries are written grouped by answer, as a reader
// compares them with the driver's documented answers, and sorted by id at
// compile time for the lookup.
#include "catalog/info_tables.h"

#include <algorithm>
#include <array>

#include "driver/odbc.h"

namespace kestrion {

namespace {

// The number SQL_OJ_CAPABILITIES had before ODBC 3 moved it to 115.
constexpr uint16_t kOuterJoinCapabilitiesOld = 65003;

constexpr InfoEntry Text(uint16_t id, std::u16string_view text) {
  return {id, InfoForm::Text, InfoSource::Constant, 0, text};
}
constexpr InfoEntry Computed(uint16_t id, InfoSource source) {
  return {id, InfoForm::Text, source, 0, {}};
}
constexpr InfoEntry U16(uint16_t id, uint32_t value) {
  return {id, InfoForm::U16, InfoSource::Constant, value, {}};
}
constexpr InfoEntry U32(uint16_t id, uint32_t value) {
  return {id, InfoForm::U32, InfoSource::Constant, value, {}};
}

constexpr std::array kWritten = {
    // Text answers.
    Computed(SQL_DATA_SOURCE_NAME, InfoSource::DataSourceName),
    Text(SQL_DRIVER_NAME, u"ODBCKestrion.dll"),
    Text(SQL_DRIVER_VER, u"18.00.0.0"),
    Computed(SQL_ODBC_VER, InfoSource::OdbcVer),
    Text(SQL_ROW_UPDATES, u"N"),
    Computed(SQL_SERVER_NAME, InfoSource::ServerName),
    Text(SQL_SEARCH_PATTERN_ESCAPE, u"\\"),
    Text(SQL_DATABASE_NAME, u""),
    Text(SQL_DBMS_NAME, u"Kestrion"),
    Text(SQL_DBMS_VER, u"18.00.0000.0000"),
    Text(SQL_ACCESSIBLE_TABLES, u"Y"),
    Text(SQL_ACCESSIBLE_PROCEDURES, u"Y"),
    Text(SQL_PROCEDURES, u"N"),
    Text(SQL_DATA_SOURCE_READ_ONLY, u"N"),
    Text(SQL_EXPRESSIONS_IN_ORDERBY, u"Y"),
    Text(SQL_IDENTIFIER_QUOTE_CHAR, u"`"),
    Text(SQL_MULT_RESULT_SETS, u"Y"),
    Text(SQL_MULTIPLE_ACTIVE_TXN, u"N"),
    Text(SQL_SCHEMA_TERM, u"Owner"),
    Text(SQL_PROCEDURE_TERM, u"Procedure"),
    Text(SQL_CATALOG_NAME_SEPARATOR, u"."),
    Text(SQL_CATALOG_TERM, u""),
    Text(SQL_TABLE_TERM, u"Table"),
    Computed(SQL_USER_NAME, InfoSource::UserName),
    Text(SQL_INTEGRITY, u"Y"),
    Computed(SQL_DRIVER_ODBC_VER, InfoSource::DriverOdbcVer),
    Text(SQL_COLUMN_ALIAS, u"N"),
    Computed(SQL_KEYWORDS, InfoSource::Keywords),
    Text(SQL_ORDER_BY_COLUMNS_IN_SELECT, u"N"),
    Text(SQL_SPECIAL_CHARACTERS, u""),
    Text(SQL_MAX_ROW_SIZE_INCLUDES_LONG, u"N"),
    Text(SQL_NEED_LONG_DATA_LEN, u"N"),
    Text(SQL_LIKE_ESCAPE_CLAUSE, u"Y"),
    Text(SQL_XOPEN_CLI_YEAR, u"1995"),
    Text(SQL_DESCRIBE_PARAMETER, u"Y"),
    Text(SQL_CATALOG_NAME, u"N"),
    Computed(SQL_COLLATION_SEQ, InfoSource::CollationSeq),

    // 16-bit answers.
    U16(SQL_MAX_DRIVER_CONNECTIONS, 0),
    U16(SQL_MAX_CONCURRENT_ACTIVITIES, 0),
    U16(SQL_CONCAT_NULL_BEHAVIOR, 0),
    U16(SQL_MAX_CURSOR_NAME_LEN, 0),
    U16(SQL_MAX_CATALOG_NAME_LEN, 0),
    U16(SQL_FILE_USAGE, 0),
    U16(SQL_NULL_COLLATION, 0),
    U16(SQL_MAX_COLUMNS_IN_GROUP_BY, 0),
    U16(SQL_MAX_COLUMNS_IN_INDEX, 0),
    U16(SQL_MAX_COLUMNS_IN_ORDER_BY, 0),
    U16(SQL_MAX_COLUMNS_IN_SELECT, 0),
    U16(SQL_MAX_COLUMNS_IN_TABLE, 0),
    U16(SQL_MAX_TABLES_IN_SELECT, 0),
    U16(SQL_CATALOG_LOCATION, 0),
    U16(SQL_NON_NULLABLE_COLUMNS, 1),
    U16(SQL_ACTIVE_ENVIRONMENTS, 1),
    U16(SQL_ODBC_API_CONFORMANCE, 2),
    U16(SQL_ODBC_SQL_CONFORMANCE, 2),
    U16(SQL_CURSOR_COMMIT_BEHAVIOR, 2),
    U16(SQL_CURSOR_ROLLBACK_BEHAVIOR, 2),
    U16(SQL_TXN_CAPABLE, 2),
    U16(SQL_CORRELATION_NAME, 2),
    U16(SQL_GROUP_BY, 2),
    U16(SQL_IDENTIFIER_CASE, 4),
    U16(SQL_QUOTED_IDENTIFIER_CASE, 4),
    U16(SQL_MAX_COLUMN_NAME_LEN, 30),
    U16(SQL_MAX_SCHEMA_NAME_LEN, 30),
    U16(SQL_MAX_TABLE_NAME_LEN, 30),
    U16(SQL_MAX_USER_NAME_LEN, 30),
    U16(SQL_MAX_IDENTIFIER_LEN, 30),
    U16(SQL_MAX_PROCEDURE_NAME_LEN, 92),

    // 32-bit answers.
    U32(SQL_DEFAULT_TXN_ISOLATION, 0),
    U32(SQL_SCROLL_CONCURRENCY, 0),
    U32(SQL_SYSTEM_FUNCTIONS, 0),
    U32(SQL_CONVERT_BINARY, 0),
    U32(SQL_CONVERT_VARBINARY, 0),
    U32(SQL_CONVERT_LONGVARBINARY, 0),
    U32(SQL_STATIC_SENSITIVITY, 0),
    U32(SQL_SCHEMA_USAGE, 0),
    U32(SQL_CATALOG_USAGE, 0),
    U32(SQL_UNION, 0),
    U32(SQL_MAX_INDEX_SIZE, 0),
    U32(SQL_MAX_ROW_SIZE, 0),
    U32(SQL_MAX_STATEMENT_LEN, 0),
    U32(SQL_MAX_CHAR_LITERAL_LEN, 0),
    U32(SQL_MAX_BINARY_LITERAL_LEN, 0),
    U32(SQL_ALTER_DOMAIN, 0),
    U32(SQL_CONVERT_INTERVAL_YEAR_MONTH, 0),
    U32(SQL_CREATE_ASSERTION, 0),
    U32(SQL_CREATE_CHARACTER_SET, 0),
    U32(SQL_CREATE_COLLATION, 0),
    U32(SQL_CREATE_DOMAIN, 0),
    U32(SQL_CREATE_SCHEMA, 0),
    U32(SQL_CREATE_TRANSLATION, 0),
    U32(SQL_CREATE_VIEW, 0),
    U32(SQL_DROP_ASSERTION, 0),
    U32(SQL_DROP_CHARACTER_SET, 0),
    U32(SQL_DROP_COLLATION, 0),
    U32(SQL_DROP_DOMAIN, 0),
    U32(SQL_DROP_SCHEMA, 0),
    U32(SQL_DROP_TRANSLATION, 0),
    U32(SQL_DYNAMIC_CURSOR_ATTRIBUTES2, 0),
    U32(SQL_FORWARD_ONLY_CURSOR_ATTRIBUTES2, 0),
    U32(SQL_INDEX_KEYWORDS, 0),
    U32(SQL_INFO_SCHEMA_VIEWS, 0),
    U32(SQL_KEYSET_CURSOR_ATTRIBUTES2, 0),
    U32(SQL_SQL92_FOREIGN_KEY_DELETE_RULE, 0),
    U32(SQL_SQL92_FOREIGN_KEY_UPDATE_RULE, 0),
    U32(SQL_SQL92_GRANT, 0),
    U32(SQL_SQL92_REVOKE, 0),
    U32(SQL_SQL92_ROW_VALUE_CONSTRUCTOR, 0),
    U32(SQL_STATIC_CURSOR_ATTRIBUTES2, 0),
    U32(SQL_CONVERT_GUID, 0),
    U32(SQL_DTC_TRANSITION_COST, 0),
    U32(SQL_ASYNC_MODE, 0),
    U32(SQL_MAX_ASYNC_CONCURRENT_STATEMENTS, 0),
    U32(SQL_FETCH_DIRECTION, 1),
    U32(SQL_POS_OPERATIONS, 1),
    U32(SQL_DROP_TABLE, 1),
    U32(SQL_DROP_VIEW, 1),
    U32(SQL_FORWARD_ONLY_CURSOR_ATTRIBUTES1, 1),
    U32(SQL_PARAM_ARRAY_ROW_COUNTS, SQL_PARC_NO_BATCH),  // one count, the sum over the sets
    U32(SQL_PARAM_ARRAY_SELECTS, SQL_PAS_NO_SELECT),  // arrays only for statements without rows
    U32(SQL_CURSOR_SENSITIVITY, 1),
    U32(SQL_BATCH_ROW_COUNT, 2),
    U32(SQL_STANDARD_CLI_CONFORMANCE, 2),
    U32(SQL_POSITIONED_STATEMENTS, 3),
    U32(SQL_CONVERT_FUNCTIONS, 3),
    U32(SQL_BATCH_SUPPORT, 3),
    U32(SQL_ODBC_INTERFACE_CONFORMANCE, 3),
    U32(SQL_DDL_INDEX, 3),
    U32(SQL_INSERT_STATEMENT, 3),
    U32(SQL_LOCK_TYPES, 7),
    U32(SQL_SQL92_DATETIME_FUNCTIONS, 7),
    U32(SQL_SQL_CONFORMANCE, 8),
    U32(SQL_TXN_ISOLATION_OPTION, 0xA),
    U32(SQL_GETDATA_EXTENSIONS, 0xF),
    U32(SQL_SQL92_VALUE_EXPRESSIONS, 0xF),
    U32(SQL_SUBQUERIES, 0x17),
    U32(SQL_BOOKMARK_PERSISTENCE, 0x1D),
    U32(SQL_SCROLL_OPTIONS, 0x1F),
    U32(SQL_OJ_CAPABILITIES, 0x27),
    U32(kOuterJoinCapabilitiesOld, 0x27),
    U32(SQL_SQL92_NUMERIC_VALUE_FUNCTIONS, 0x3F),
    U32(SQL_AGGREGATE_FUNCTIONS, 0x7F),
    U32(SQL_SQL92_STRING_FUNCTIONS, 0xEE),
    U32(SQL_SQL92_RELATIONAL_JOIN_OPERATORS, 0x158),
    U32(SQL_TIMEDATE_ADD_INTERVALS, 0x15F),
    U32(SQL_TIMEDATE_DIFF_INTERVALS, 0x15F),
    U32(SQL_CONVERT_CHAR, 0x301),
    U32(SQL_DATETIME_LITERALS, 0x1007),
    U32(SQL_CREATE_TABLE, 0x1601),
    U32(SQL_SQL92_PREDICATES, 0x1F07),
    U32(SQL_CONVERT_BIGINT, 0x63FB),
    U32(SQL_CONVERT_DECIMAL, 0x63FB),
    U32(SQL_CONVERT_DOUBLE, 0x63FB),
    U32(SQL_CONVERT_FLOAT, 0x63FB),
    U32(SQL_CONVERT_INTEGER, 0x63FB),
    U32(SQL_CONVERT_LONGVARCHAR, 0x63FB),
    U32(SQL_CONVERT_NUMERIC, 0x63FB),
    U32(SQL_CONVERT_REAL, 0x63FB),
    U32(SQL_CONVERT_SMALLINT, 0x63FB),
    U32(SQL_CONVERT_TINYINT, 0x63FB),
    U32(SQL_CONVERT_VARCHAR, 0x63FB),
    U32(SQL_CONVERT_BIT, 0x73FB),
    U32(SQL_CONVERT_DATE, 0x8301),
    U32(SQL_CONVERT_TIME, 0x163FB),
    U32(SQL_CONVERT_TIMESTAMP, 0x263FB),
    U32(SQL_DYNAMIC_CURSOR_ATTRIBUTES1, 0x78E0F),
    U32(SQL_KEYSET_CURSOR_ATTRIBUTES1, 0x78E0F),
    U32(SQL_STATIC_CURSOR_ATTRIBUTES1, 0x78E0F),
    U32(SQL_CONVERT_INTERVAL_DAY_TIME, 0x1063FB),
    U32(SQL_TIMEDATE_FUNCTIONS, 0x1F9FFE),
    U32(SQL_STRING_FUNCTIONS, 0xFC7FBF),
    U32(SQL_NUMERIC_FUNCTIONS, 0xFFFFFF),
    InfoEntry{SQL_ALTER_TABLE, InfoForm::U32, InfoSource::AlterTable, 0, {}},
};

constexpr auto kSorted = [] {
  auto entries = kWritten;
  std::sort(entries.begin(), entries.end(),
            [](const InfoEntry& a, const InfoEntry& b) { return a.id < b.id; });
  return entries;
}();

constexpr bool IdsUnique() {
  for (size_t i = 1; i < kSorted.size(); ++i) {
    if (kSorted[i - 1].id == kSorted[i].id) return false;
  }
  return true;
}
static_assert(IdsUnique(), "an information type is listed twice");

}  // namespace

std::span<const InfoEntry> InfoEntries() { return kSorted; }

const InfoEntry* FindInfoEntry(uint16_t id) {
  auto it = std::lower_bound(kSorted.begin(), kSorted.end(), id,
                             [](const InfoEntry& e, uint16_t key) { return e.id < key; });
  return (it != kSorted.end() && it->id == id) ? &*it : nullptr;
}

}  // namespace kestrion
