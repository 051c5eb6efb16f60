// The pieces of the catalog functions that do not need a server: name
// arguments and their quoting, the TableType words, the exact query texts,
// the server type tables, and the column builders' answer for a type code
// the driver does not know.
#include <gtest/gtest.h>

#include "catalog/catalog_functions.h"
#include "catalog/name_argument.h"
#include "catalog/server_types.h"
#include "catalog/type_oracle.h"
#include "tests/catalog/catalog_fixture.h"

namespace kestrion_test {
namespace {

using corvane::VString;
using corvane::VValue;
using kestrion::NameRules;

std::optional<std::u16string> Prepared(std::u16string text, SQLSMALLINT length, const NameRules& rules) {
  auto r = kestrion::PrepareName(reinterpret_cast<SQLWCHAR*>(text.data()), length, rules);
  if (!r) return std::nullopt;
  return std::u16string(*r);
}

TEST(NameArgument, AbsentForNullEmptyZeroLengthAndBadLengths) {
  std::u16string name = u"orders";
  EXPECT_FALSE(kestrion::TakeNameArgument(nullptr, SQL_NTS));
  EXPECT_FALSE(kestrion::TakeNameArgument(reinterpret_cast<SQLWCHAR*>(name.data()), 0));
  EXPECT_FALSE(kestrion::TakeNameArgument(reinterpret_cast<SQLWCHAR*>(name.data()), -5));
  std::u16string empty;
  EXPECT_FALSE(kestrion::TakeNameArgument(reinterpret_cast<SQLWCHAR*>(empty.data()), SQL_NTS));
  EXPECT_EQ(*kestrion::TakeNameArgument(reinterpret_cast<SQLWCHAR*>(name.data()), 5), u"order");
  std::u16string inner(u"ab\0cd", 5);
  EXPECT_EQ(*kestrion::TakeNameArgument(reinterpret_cast<SQLWCHAR*>(inner.data()), 5), u"ab");
}

TEST(NameArgument, RulesOfEachFunction) {
  // SQLTablesW: "%" alone is absent, spaces and tabs trimmed, the rest kept.
  EXPECT_FALSE(Prepared(u"%", SQL_NTS, kestrion::kTablesNameRules));
  EXPECT_FALSE(Prepared(u"%x", 1, kestrion::kTablesNameRules));
  EXPECT_EQ(Prepared(u"%x", SQL_NTS, kestrion::kTablesNameRules), u"%x");
  EXPECT_EQ(Prepared(u" \t[My\\_T] ", SQL_NTS, kestrion::kTablesNameRules), u"[My\\_T]");
  // SQLColumnsW: backslashes and enclosing brackets removed, no trimming.
  EXPECT_EQ(Prepared(u"[My Table]", SQL_NTS, kestrion::kColumnsNameRules), u"My Table");
  EXPECT_EQ(Prepared(u"My\\_Table", SQL_NTS, kestrion::kColumnsNameRules), u"My_Table");
  EXPECT_EQ(Prepared(u"%", SQL_NTS, kestrion::kColumnsNameRules), u"%");
  EXPECT_EQ(Prepared(u" x ", SQL_NTS, kestrion::kColumnsNameRules), u" x ");
  // Keys: brackets removed, backslashes kept.
  EXPECT_EQ(Prepared(u"[a\\_b]", SQL_NTS, kestrion::kKeyNameRules), u"a\\_b");
  EXPECT_EQ(Prepared(u"[x", SQL_NTS, kestrion::kKeyNameRules), u"[x");
}

TEST(NameArgument, QuotingDoublesQuotes) {
  EXPECT_EQ(kestrion::QuotedName(VString(u"orders")), u"'orders'");
  EXPECT_EQ(kestrion::QuotedName(VString(u"it's")), u"'it''s'");
  EXPECT_EQ(kestrion::QuotedName(VString(u"'")), u"''''");
  EXPECT_EQ(kestrion::QuotedName(VString()), u"");
}

TEST(TableType, Words) {
  auto choose = [](const char16_t* text) {
    const auto c = kestrion::ChooseTableTypes(text ? std::optional<VString>(VString(text)) : std::nullopt);
    return std::string(c.tables ? "T" : "") + (c.views ? "V" : "");
  };
  EXPECT_EQ(choose(nullptr), "TV");
  EXPECT_EQ(choose(u""), "TV");
  EXPECT_EQ(choose(u"'TABLE'"), "T");
  EXPECT_EQ(choose(u"'view'"), "V");
  EXPECT_EQ(choose(u"'TABLE','VIEW'"), "TV");
  EXPECT_EQ(choose(u"SYSTEM TABLE"), "");
  EXPECT_EQ(choose(u"SYNONYM"), "TV");
  EXPECT_EQ(choose(u"SYSTEM TABLE,VIEW"), "V");
  EXPECT_EQ(choose(u"SYSTEM TABLE,TABLE"), "T");
  EXPECT_EQ(choose(u"TABLE,SYSTEM TABLE"), "T");
}

TEST(CatalogQueries, ExactTexts) {
  const std::optional<VString> none;
  const std::optional<VString> t(VString(u"it's"));
  EXPECT_EQ(kestrion::TablesQuery(none),
            u"select [table_name],[temporary] from [_user_tables] order by [table_name]");
  EXPECT_EQ(kestrion::TablesQuery(t),
            u"select [table_name],[temporary] from [_user_tables] where [table_name]='it''s'");
  EXPECT_EQ(kestrion::ViewsQuery(none), u"select [view_name] from [_user_views] order by [view_name]");
  EXPECT_EQ(kestrion::ColumnsTableQuery(t),
            u"select [TABLE_NAME],[COLUMN_NAME],[DATA_TYPE],[NULLABLE],[COLUMN_ID],[DATA_LENGTH] from "
            u"[_USER_COLUMNS] where [TABLE_NAME]='it''s' order by [COLUMN_ID]");
  EXPECT_EQ(kestrion::ColumnsTableQuery(none),
            u"select [TABLE_NAME],[COLUMN_NAME],[DATA_TYPE],[NULLABLE],[COLUMN_ID],[DATA_LENGTH] from "
            u"[_USER_COLUMNS] order by [TABLE_NAME],[COLUMN_ID]");
  EXPECT_EQ(kestrion::ColumnsViewQuery(t),
            u"select [VIEW_NAME],[COLUMN_NAME],[DATA_TYPE],[NULLABLE],[DATA_LENGTH] from "
            u"[_USER_VIEW_COLUMNS] where [VIEW_NAME]='it''s'");
  EXPECT_EQ(kestrion::PrimaryKeysQuery(none),
            u"select [_USER_CONSTRAINTS].[RELATED_TABLE_NAME],[_USER_CONS_COLUMNS].[RELATED_COLUMN_NAME],"
            u"[_USER_CONS_COLUMNS].[RELATED_COLUMN_ID] from [_USER_CONSTRAINTS],[_USER_CONS_COLUMNS] where "
            u"([_USER_CONSTRAINTS].[RELATED_TABLE_NAME]= and [_USER_CONS_COLUMNS].[CONSTRAINT_ID]="
            u"[_USER_CONSTRAINTS].[CONSTRAINT_ID]) order by [_USER_CONSTRAINTS].[RELATED_TABLE_NAME],"
            u"[_USER_CONS_COLUMNS].[RELATED_COLUMN_ID]");
  EXPECT_EQ(kestrion::ForeignKeysQuery(none, t),
            u"select [_USER_CONSTRAINTS].[RELATED_TABLE_NAME],[_USER_CONS_COLUMNS].[RELATED_COLUMN_NAME],"
            u"[_USER_CONS_COLUMNS].[TABLE_NAME],[_USER_CONS_COLUMNS].[COLUMN_NAME],"
            u"[_USER_CONS_COLUMNS].[COLUMN_ID] from [_USER_CONS_COLUMNS],[_USER_CONSTRAINTS] where "
            u"([_USER_CONS_COLUMNS].[CONSTRAINT_ID]=[_USER_CONSTRAINTS].[CONSTRAINT_ID] and "
            u"[_USER_CONS_COLUMNS].[TABLE_NAME]='it''s') order by "
            u"[_USER_CONSTRAINTS].[RELATED_TABLE_NAME],[_USER_CONS_COLUMNS].[COLUMN_ID]");
  EXPECT_EQ(kestrion::SpecialColumnsQuery(t, true),
            u"select [_USER_COLUMNS].[DATA_TYPE],[_USER_COLUMNS].[COLUMN_NAME],[_USER_COLUMNS].[COLUMN_ID] "
            u"from [_USER_COLUMNS],[_USER_CONSTRAINTS],[_USER_CONS_COLUMNS] where "
            u"([_USER_CONSTRAINTS].[RELATED_TABLE_NAME]='it''s' and "
            u"[_USER_CONS_COLUMNS].[CONSTRAINT_ID]=[_USER_CONSTRAINTS].[CONSTRAINT_ID] and "
            u"[_USER_COLUMNS].[COLUMN_ID]=[_USER_CONS_COLUMNS].[RELATED_COLUMN_ID] and "
            u"[_USER_COLUMNS].[TABLE_ID]=[_USER_CONSTRAINTS].[RELATED_TABLE_ID] and "
            u"[_USER_COLUMNS].[NULLABLE]=cast(0 as Boolean) ) order by [_USER_COLUMNS].[COLUMN_ID]");
}

TEST(ServerTypes, Tables) {
  EXPECT_EQ(kestrion::ServerSqlType(1), SQL_BIT);
  EXPECT_EQ(kestrion::ServerSqlType(8), SQL_TYPE_TIMESTAMP);
  EXPECT_EQ(kestrion::ServerSqlType(9), SQL_INTERVAL_DAY_TO_SECOND);
  EXPECT_EQ(kestrion::ServerSqlType(13), SQL_GUID);
  EXPECT_EQ(kestrion::ServerSqlType(20), SQL_WCHAR);
  EXPECT_EQ(kestrion::ServerSqlType(0), 0);
  EXPECT_EQ(kestrion::ServerSqlType(21), 0);
  EXPECT_EQ(*kestrion::ServerTypeName(10), u"VARCHAR");
  EXPECT_EQ(*kestrion::ServerTypeName(12), u"IMAGE");
  EXPECT_FALSE(kestrion::ServerTypeName(13));
  EXPECT_FALSE(kestrion::ServerTypeName(99));
}

// The column builders bind a type oracle per row; a code the driver does
// not know must not inherit the type of the row before it.
class UnknownTypeCode : public SampleServerTest {};

TEST_F(UnknownTypeCode, ColumnsReportsUnknownTypeWithNoNameAndNoSizes) {
  kestrion::TypeOracle oracle(statement());
  ASSERT_TRUE(oracle.ok());
  const kestrion::ColumnFlags flags{false, false, false};
  auto server_row = [](int64_t code) {
    return std::vector<VValue>{VValue(VString(u"t")), VValue(VString(u"c")), corvane::VLong(static_cast<int32_t>(code)),
                               corvane::VBoolean(true), corvane::VLong(1), corvane::VLong(80)};
  };
  kestrion::LocalRow known{corvane::VLong8(0)};
  ASSERT_TRUE(kestrion::BuildColumnRow(&oracle, flags, known, server_row(4)));
  EXPECT_EQ(known.at(5).integer(), SQL_INTEGER);
  EXPECT_EQ(known.at(6).text(), u"INT32");
  kestrion::LocalRow unknown{corvane::VLong8(1)};
  ASSERT_TRUE(kestrion::BuildColumnRow(&oracle, flags, unknown, server_row(77)));
  ASSERT_EQ(unknown.size(), 19u);
  EXPECT_EQ(unknown[5].integer(), SQL_UNKNOWN_TYPE);
  EXPECT_TRUE(unknown[6].is_null());
  EXPECT_EQ(unknown[7].integer(), 0);
  EXPECT_EQ(unknown[8].integer(), 0);
  EXPECT_EQ(unknown[14].integer(), SQL_UNKNOWN_TYPE);
  EXPECT_EQ(unknown[16].integer(), 0);
}

TEST_F(UnknownTypeCode, SpecialColumnsReportsUnknownType) {
  kestrion::TypeOracle oracle(statement());
  std::vector<VValue> known{corvane::VLong(4), VValue(VString(u"id")), corvane::VLong(1)};
  std::vector<VValue> unknown{corvane::VLong(55), VValue(VString(u"x")), corvane::VLong(2)};
  kestrion::LocalRow a{corvane::VLong8(0)}, b{corvane::VLong8(1)};
  ASSERT_TRUE(kestrion::BuildSpecialColumnRow(&oracle, false, a, known));
  ASSERT_TRUE(kestrion::BuildSpecialColumnRow(&oracle, false, b, unknown));
  EXPECT_EQ(a[3].integer(), SQL_INTEGER);
  EXPECT_EQ(b[3].integer(), SQL_UNKNOWN_TYPE);
  EXPECT_TRUE(b[4].is_null());
  EXPECT_EQ(b[5].integer(), 0);
  EXPECT_EQ(b[6].integer(), 0);
}

}  // namespace
}  // namespace kestrion_test
