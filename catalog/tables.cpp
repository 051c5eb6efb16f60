// SQLTablesW: the tables, then the views, of the server.
#include <array>

#include "catalog/catalog_functions.h"
#include "catalog/local_result_set.h"
#include "catalog/name_argument.h"
#include "driver/statement.h"

namespace kestrion {

using corvane::VString;
using corvane::VValue;

namespace {

constexpr std::array<LocalColumn, 5> kColumns = {{
    {"TABLE_CAT", "VK_TEXT"},
    {"TABLE_SCHEM", "VK_TEXT"},
    {"TABLE_NAME", "VK_TEXT"},
    {"TABLE_TYPE", "VK_TEXT"},
    {"REMARKS", "VK_TEXT"},
}};

VValue NullText() { return VValue::Null(corvane::VKind::Text); }

void AppendTableRow(LocalRow& row, const VValue& name, std::u16string_view type) {
  row.push_back(NullText());
  row.push_back(NullText());
  row.push_back(TextOrNull(name));
  row.push_back(VValue(VString(type)));
  row.push_back(NullText());
}

VString WithCondition(std::u16string_view select, std::u16string_view column, const OptionalName& name) {
  VString q(select);
  if (name) {
    q += u" where ";
    q += column;
    q += u"=";
    q += QuotedName(*name);
  } else {
    q += u" order by ";
    q += column;
  }
  return q;
}

// ODBC's enumeration forms of SQLTablesW, recognised from the arguments as
// given: "%" as the catalog, schema or table type with the other names
// present but empty. For the table types a null catalog or schema counts as
// empty too: this server has neither, and clients that learn so from
// SQLGetInfo pass null for them (Perl DBI's table_info('', '', '', '%')
// arrives as null, null, "" and "%").
enum class Enumeration { kNone, kCatalogs, kSchemas, kTableTypes };

struct TablesArguments {
  const SQLWCHAR* catalog;
  SQLSMALLINT catalog_length;
  const SQLWCHAR* schema;
  SQLSMALLINT schema_length;
  const SQLWCHAR* table;
  SQLSMALLINT table_length;
  const SQLWCHAR* table_type;
  SQLSMALLINT table_type_length;
};

bool IsAllPattern(const SQLWCHAR* name, SQLSMALLINT length) {
  const std::optional<VString> text = TakeNameArgument(name, length);
  return text && *text == u"%";
}

Enumeration EnumerationOf(const TablesArguments& a) {
  const bool catalog_empty = IsEmptyNameArgument(a.catalog, a.catalog_length);
  const bool schema_empty = IsEmptyNameArgument(a.schema, a.schema_length);
  const bool table_empty = IsEmptyNameArgument(a.table, a.table_length);
  if (!table_empty) return Enumeration::kNone;
  if (schema_empty && IsAllPattern(a.catalog, a.catalog_length)) return Enumeration::kCatalogs;
  if (catalog_empty && IsAllPattern(a.schema, a.schema_length)) return Enumeration::kSchemas;
  if ((catalog_empty || a.catalog == nullptr) && (schema_empty || a.schema == nullptr)) {
    const std::optional<VString> type = TakeNameArgument(a.table_type, a.table_type_length);
    if (type && type->Trimmed() == u"%") return Enumeration::kTableTypes;
  }
  return Enumeration::kNone;
}

// Answers an enumeration: the server has no catalogs and no schemas, and
// knows two table types.
SQLRETURN AnswerEnumeration(CHStatement& statement, Enumeration what) {
  if (what == Enumeration::kTableTypes) {
    for (std::u16string_view type : {std::u16string_view(u"TABLE"), std::u16string_view(u"VIEW")}) {
      if (!statement.ok()) break;
      LocalRow row{corvane::VLong8(0)};
      AppendTableRow(row, NullText(), type);
      AppendLocalRow(statement, std::move(row));
    }
  }
  AllocateRowStatus(statement, statement.state.cache.rows());
  return statement.return_code();
}

}  // namespace

VString TablesQuery(const OptionalName& name) {
  return WithCondition(u"select [table_name],[temporary] from [_user_tables]", u"[table_name]", name);
}

VString ViewsQuery(const OptionalName& name) {
  return WithCondition(u"select [view_name] from [_user_views]", u"[view_name]", name);
}

TableTypeChoice ChooseTableTypes(const std::optional<VString>& table_type) {
  TableTypeChoice choice;
  if (!table_type || table_type->empty()) return choice;
  const std::u16string_view text = *table_type;
  auto position = [&](std::u16string_view word, std::size_t from) -> std::size_t {
    const std::size_t at = VString::FindFolded(text, word, from);
    return at == std::u16string_view::npos ? 0 : at + 1;
  };
  std::size_t t = position(u"TABLE", 0);
  bool system = false;
  if (t > 0) {
    const std::size_t s = position(u"SYSTEM TABLE", 0);
    if (s > 0 && s < t) {
      system = true;
      t = position(u"TABLE", s + 10);
    }
  }
  const bool v = position(u"VIEW", 0) > 0;
  if (t > 0) {
    choice.tables = true;
    choice.views = v;
  } else if (v) {
    choice.tables = false;
    choice.views = true;
  } else if (system) {
    choice.tables = false;
    choice.views = false;
  }
  return choice;
}

SQLRETURN CatalogTables(CHStatement& statement, const SQLWCHAR* catalog, SQLSMALLINT catalog_length,
                        const SQLWCHAR* schema, SQLSMALLINT schema_length, const SQLWCHAR* table,
                        SQLSMALLINT table_length, const SQLWCHAR* table_type,
                        SQLSMALLINT table_type_length) {
  OpenLocalResultSet(statement, kColumns);
  const Enumeration enumeration =
      EnumerationOf({catalog, catalog_length, schema, schema_length, table, table_length,
                     table_type, table_type_length});
  if (enumeration != Enumeration::kNone) {
    if (!statement.ok()) return statement.return_code();
    return AnswerEnumeration(statement, enumeration);
  }
  if (TakeNameArgument(catalog, catalog_length)) {
    statement.Post(SqlState::S01000, u"Catalog not implemented in Kestrion.\nCan't return catalogs list.");
  }
  if (TakeNameArgument(schema, schema_length)) {
    statement.Post(SqlState::S01000, u"Schema not implemented in Kestrion.\nCan't return schemas list.");
  }
  if (!statement.ok()) return statement.return_code();

  const OptionalName name = PrepareName(table, table_length, kTablesNameRules);
  std::optional<VString> type = TakeNameArgument(table_type, table_type_length);
  if (type) type = type->Trimmed();
  const TableTypeChoice choice = ChooseTableTypes(type);

  if (choice.tables) {
    RunCatalogQuery(statement, TablesQuery(name), [](LocalRow& row, std::span<const VValue> server) {
      if (server.size() < 2 || IntegerValue(server[1]) != 0) return false;  // temporary table
      AppendTableRow(row, server[0], u"TABLE");
      return true;
    });
  }
  if (choice.views) {
    RunCatalogQuery(statement, ViewsQuery(name), [](LocalRow& row, std::span<const VValue> server) {
      if (server.empty()) return false;
      AppendTableRow(row, server[0], u"VIEW");
      return true;
    });
  }
  AllocateRowStatus(statement, statement.state.cache.rows());
  return statement.return_code();
}

}  // namespace kestrion
