// The catalog functions against the development server's sample schema,
// through the exported functions: tables and views, columns with their
// types and sizes, keys, special columns, the empty catalogs, and the
// properties every local result shares.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "driver/registry.h"
#include "tests/catalog/catalog_fixture.h"

namespace kestrion_test {
namespace {

using Names = std::vector<std::string>;

class CatalogTest : public SampleServerTest {
 protected:
  Rows Tables(const char* table, const char* type = nullptr, const char* catalog = nullptr,
              SQLRETURN expected = SQL_SUCCESS) {
    std::u16string t = table ? U(table) : u"", ty = type ? U(type) : u"", c = catalog ? U(catalog) : u"";
    EXPECT_EQ(SQLTablesW(stmt, catalog ? W(c) : nullptr, SQL_NTS, nullptr, 0, table ? W(t) : nullptr,
                         SQL_NTS, type ? W(ty) : nullptr, SQL_NTS),
              expected)
        << StatementDiagnostics();
    return FetchAll();
  }
  Rows Columns(const char* table) {
    std::u16string t = table ? U(table) : u"";
    EXPECT_EQ(SQLColumnsW(stmt, nullptr, 0, nullptr, 0, table ? W(t) : nullptr, SQL_NTS, nullptr, 0),
              SQL_SUCCESS)
        << StatementDiagnostics();
    return FetchAll();
  }
  Rows PrimaryKeys(const char* table) {
    std::u16string t = table ? U(table) : u"";
    EXPECT_EQ(SQLPrimaryKeysW(stmt, nullptr, 0, nullptr, 0, table ? W(t) : nullptr, SQL_NTS),
              SQL_SUCCESS)
        << StatementDiagnostics();
    return FetchAll();
  }
  Rows ForeignKeys(const char* pk, const char* fk) {
    std::u16string p = pk ? U(pk) : u"", f = fk ? U(fk) : u"";
    EXPECT_EQ(SQLForeignKeysW(stmt, nullptr, 0, nullptr, 0, pk ? W(p) : nullptr, SQL_NTS, nullptr, 0,
                              nullptr, 0, fk ? W(f) : nullptr, SQL_NTS),
              SQL_SUCCESS)
        << StatementDiagnostics();
    return FetchAll();
  }
  Rows SpecialColumns(SQLUSMALLINT type, const char* table, SQLUSMALLINT nullable) {
    std::u16string t = table ? U(table) : u"";
    EXPECT_EQ(SQLSpecialColumnsW(stmt, type, nullptr, 0, nullptr, 0, table ? W(t) : nullptr, SQL_NTS,
                                 SQL_SCOPE_SESSION, nullable),
              SQL_SUCCESS)
        << StatementDiagnostics();
    return FetchAll();
  }
  // The row of one column in an SQLColumnsW answer.
  static std::vector<Cell> RowOf(const Rows& rows, const std::string& column) {
    for (const auto& r : rows) {
      if (r.at(3) == column) return r;
    }
    ADD_FAILURE() << "no column " << column;
    return std::vector<Cell>(18);
  }
};

TEST_F(CatalogTest, TablesListsTablesByNameThenViews) {
  const Rows rows = Tables(nullptr);
  ASSERT_EQ(ColumnCount(), 5);
  EXPECT_EQ(ColumnName(1), "TABLE_CAT");
  EXPECT_EQ(ColumnName(5), "REMARKS");
  EXPECT_EQ(Texts(rows, 3), (Names{"customers", "order_lines", "orders", "products", "returns", "order_totals"}));
  EXPECT_EQ(Texts(rows, 4), (Names{"TABLE", "TABLE", "TABLE", "TABLE", "TABLE", "VIEW"}));
  for (const auto& r : rows) {
    EXPECT_FALSE(r[0]) << "catalog";
    EXPECT_FALSE(r[1]) << "schema";
    EXPECT_FALSE(r[4]) << "remarks";
  }
  // "%" alone is every name; so is a name padded to "%" only by its length.
  EXPECT_EQ(Tables("%").size(), 6u);
}

TEST_F(CatalogTest, TablesByNamePresentAbsentAndTrimmed) {
  EXPECT_EQ(Texts(Tables("orders"), 3), (Names{"orders"}));
  EXPECT_EQ(Texts(Tables("  order_totals\t"), 4), (Names{"VIEW"}));
  EXPECT_TRUE(Tables("no_such_table").empty());
}

TEST_F(CatalogTest, TableTypeWords) {
  EXPECT_EQ(Tables(nullptr, "'TABLE'").size(), 5u);
  EXPECT_EQ(Texts(Tables(nullptr, "'VIEW'"), 3), (Names{"order_totals"}));
  EXPECT_EQ(Tables(nullptr, "'TABLE','VIEW'").size(), 6u);
  EXPECT_EQ(Tables(nullptr, "table, view").size(), 6u);
  EXPECT_TRUE(Tables(nullptr, "SYSTEM TABLE").empty());
  EXPECT_EQ(Tables(nullptr, "SYNONYM").size(), 6u);
  EXPECT_EQ(Texts(Tables(nullptr, "SYSTEM TABLE,VIEW"), 3), (Names{"order_totals"}));
  EXPECT_EQ(Tables(nullptr, "SYSTEM TABLE,TABLE").size(), 5u);
}

TEST_F(CatalogTest, TablesWarnsForCatalogAndSchemaButStillAnswers) {
  std::u16string pct = u"%", sch = u"main";
  ASSERT_EQ(SQLTablesW(stmt, W(pct), SQL_NTS, W(sch), SQL_NTS, nullptr, 0, nullptr, 0),
            SQL_SUCCESS_WITH_INFO);
  const std::string diags = StatementDiagnostics();
  EXPECT_NE(diags.find("01000"), std::string::npos);
  EXPECT_NE(diags.find("Catalog not implemented in Kestrion.\nCan't return catalogs list."), std::string::npos);
  EXPECT_NE(diags.find("Schema not implemented in Kestrion.\nCan't return schemas list."), std::string::npos);
  EXPECT_EQ(FetchAll().size(), 6u);
}

TEST_F(CatalogTest, TablesEnumerationForms) {
  // Present but empty names, each with an explicit length of 0 or as "".
  std::u16string pct = u"%", empty = u"";
  auto call = [&](SQLWCHAR* catalog, SQLWCHAR* schema, SQLWCHAR* table, SQLWCHAR* type) {
    EXPECT_EQ(SQLTablesW(stmt, catalog, SQL_NTS, schema, SQL_NTS, table, SQL_NTS, type, SQL_NTS),
              SQL_SUCCESS)
        << StatementDiagnostics();
    EXPECT_EQ(ColumnCount(), 5);
    return FetchAll();
  };
  // Catalogs and schemas: the server has none.
  EXPECT_TRUE(call(W(pct), W(empty), W(empty), nullptr).empty());
  EXPECT_TRUE(call(W(empty), W(pct), W(empty), nullptr).empty());
  ASSERT_EQ(SQLTablesW(stmt, W(pct), SQL_NTS, W(pct), 0, W(pct), 0, nullptr, 0), SQL_SUCCESS);
  EXPECT_TRUE(FetchAll().empty());
  // Table types: one row each, every other column NULL.
  const Rows types = call(W(empty), W(empty), W(empty), W(pct));
  EXPECT_EQ(Texts(types, 4), (Names{"TABLE", "VIEW"}));
  for (const auto& r : types) {
    EXPECT_FALSE(r[0]);
    EXPECT_FALSE(r[1]);
    EXPECT_FALSE(r[2]);
    EXPECT_FALSE(r[4]);
  }
  // A client that knows there are no catalogs nor schemas passes them null.
  EXPECT_EQ(Texts(call(nullptr, nullptr, W(empty), W(pct)), 4), (Names{"TABLE", "VIEW"}));
}

TEST_F(CatalogTest, TablesWithNullNamesAreNoEnumeration) {
  std::u16string pct = u"%", empty = u"";
  // Null table name: every table and view, as before, with the warnings of
  // a catalog or schema given.
  EXPECT_EQ(Tables(nullptr, "%").size(), 6u);
  ASSERT_EQ(SQLTablesW(stmt, W(pct), SQL_NTS, nullptr, 0, nullptr, 0, nullptr, 0), SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(FetchAll().size(), 6u);
  ASSERT_EQ(SQLTablesW(stmt, nullptr, 0, W(pct), SQL_NTS, W(empty), SQL_NTS, nullptr, 0),
            SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(FetchAll().size(), 6u);
  // A table name given: no enumeration either.
  std::u16string orders = u"orders";
  ASSERT_EQ(SQLTablesW(stmt, W(empty), SQL_NTS, W(empty), SQL_NTS, W(orders), SQL_NTS, W(pct), SQL_NTS),
            SQL_SUCCESS);
  EXPECT_EQ(Texts(FetchAll(), 3), (Names{"orders"}));
}

TEST_F(CatalogTest, QuoteInANameIsDataNotSql) {
  // Without the doubling, the name would end the literal and the condition
  // would hold for every row.
  EXPECT_TRUE(Tables("x' or '1'='1").empty());
  EXPECT_TRUE(Columns("x' or '1'='1").empty());
  EXPECT_TRUE(PrimaryKeys("x' or '1'='1").empty());
  EXPECT_TRUE(ForeignKeys("x' or '1'='1", nullptr).empty());
  EXPECT_TRUE(SpecialColumns(SQL_BEST_ROWID, "x' or '1'='1", SQL_NULLABLE).empty());
  // A table whose name holds a quote is found by its name.
  SQLHSTMT ddl = nullptr;
  ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &ddl), SQL_SUCCESS);
  std::u16string create = u"CREATE TEMP TABLE [it's] (a INTEGER)";
  ASSERT_TRUE(SQL_SUCCEEDED(SQLExecDirectW(ddl, W(create), SQL_NTS))) << Diagnostics(SQL_HANDLE_STMT, ddl);
  SQLFreeHandle(SQL_HANDLE_STMT, ddl);
  EXPECT_EQ(Texts(Columns("it's"), 4), (Names{"a"}));
}

TEST_F(CatalogTest, ColumnsOfATableWithTypesAndSizes) {
  const Rows rows = Columns("customers");
  ASSERT_EQ(ColumnCount(), 18);
  EXPECT_EQ(ColumnName(17), "ORDINAL_POSITION");
  EXPECT_EQ(Texts(rows, 4), (Names{"id", "name", "email", "vip", "created", "notes", "token"}));
  EXPECT_EQ(Texts(rows, 17), (Names{"1", "2", "3", "4", "5", "6", "7"}));
  const auto name = RowOf(rows, "name");  // VARCHAR(40): 80 bytes
  EXPECT_EQ(name[4], "1");
  EXPECT_EQ(name[5], "CLOB");
  EXPECT_EQ(name[6], "40");
  EXPECT_EQ(name[7], "80");
  EXPECT_EQ(name[10], "0");
  EXPECT_EQ(name[17], "NO");
  EXPECT_EQ(name[15], "80");
  const auto email = RowOf(rows, "email");
  EXPECT_EQ(email[10], "1");
  EXPECT_EQ(email[17], "YES");
  const auto created = RowOf(rows, "created");  // server code 8
  EXPECT_EQ(created[4], "93");  // concise for an ODBC 3 application
  EXPECT_EQ(created[5], "TIMESTAMP");
  EXPECT_EQ(created[6], "23");  // as described: with milliseconds
  EXPECT_EQ(created[8], "3");
  EXPECT_EQ(created[13], "9");  // verbose, with its subcode
  EXPECT_EQ(created[14], "3");
  const auto id = RowOf(rows, "id");
  EXPECT_EQ(id[4], "4");
  EXPECT_EQ(id[5], "INT32");
  EXPECT_EQ(id[6], "11");
  EXPECT_FALSE(id[0]);
  EXPECT_FALSE(id[1]);
  EXPECT_FALSE(id[11]);
  const auto token = RowOf(rows, "token");  // a UUID has no size without the flag
  EXPECT_EQ(token[4], "-11");
  EXPECT_EQ(token[6], "0");
}

TEST_F(CatalogTest, ColumnsDateTimeCodesFollowTheOdbcVersion) {
  const auto preparation = RowOf(Columns("orders"), "preparation");  // TIME
  EXPECT_EQ(preparation[4], "92");
  EXPECT_EQ(preparation[13], "9");
  EXPECT_EQ(preparation[14], "2");
  Open(Server(), "", SQL_OV_ODBC2);
  const auto created = RowOf(Columns("customers"), "created");
  EXPECT_EQ(created[4], "11");
  EXPECT_EQ(created[13], "11");
  EXPECT_EQ(RowOf(Columns("orders"), "preparation")[4], "10");
}

TEST_F(CatalogTest, ColumnNameRulesBracketsAndBackslashes) {
  EXPECT_EQ(Columns("[orders]").size(), 6u);
  EXPECT_EQ(Columns("order\\_lines").size(), 5u);
  EXPECT_TRUE(Columns("no_such").empty());
}

TEST_F(CatalogTest, ColumnsOfAViewAndOfEverything) {
  const Rows view = Columns("order_totals");
  EXPECT_EQ(Texts(view, 4), (Names{"order_id", "customer", "ordered", "total"}));
  EXPECT_EQ(Texts(view, 17), (Names{"1", "2", "3", "4"}));
  const Rows all = Columns(nullptr);
  // 7 + 5 + 6 + 10 + 5 table columns, then the 4 view columns.
  ASSERT_EQ(all.size(), 37u);
  EXPECT_EQ(all[0][2], "customers");
  EXPECT_EQ(all[33][2], "order_totals");
  EXPECT_EQ(all[33][16], "1");
  EXPECT_EQ(all[36][16], "4");
}

TEST_F(CatalogTest, ColumnsWithTheAccessCompatibilityFlag) {
  Open(Server(), ";MSAccess=true");
  const Rows rows = Columns("customers");
  EXPECT_EQ(RowOf(rows, "name")[4], "-8");
  EXPECT_EQ(RowOf(rows, "created")[4], "11");
  const auto token = RowOf(rows, "token");
  EXPECT_EQ(token[4], "-8");
  EXPECT_EQ(token[6], "32");
  EXPECT_EQ(token[7], "64");
  const Rows products = Columns("products");
  EXPECT_EQ(RowOf(products, "weight")[4], "8");  // REAL reads as DOUBLE
}

TEST_F(CatalogTest, PrimaryKeys) {
  const Rows rows = PrimaryKeys("order_lines");
  ASSERT_EQ(ColumnCount(), 6);
  // The primary key and the composite foreign key of returns that refers to
  // it: KEY_SEQ is the place in the key, not in the table.
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(Texts(rows, 4), (Names{"order_id", "order_id", "line", "line"}));
  EXPECT_EQ(Texts(rows, 5), (Names{"1", "1", "2", "2"}));
  EXPECT_EQ(rows[0][5], "");  // PK_NAME empty, not NULL
  // customers is also the related table of the orders foreign key.
  EXPECT_EQ(Texts(PrimaryKeys("customers"), 4), (Names{"id", "id"}));
  EXPECT_EQ(Texts(PrimaryKeys("customers"), 5), (Names{"1", "1"}));
  EXPECT_TRUE(PrimaryKeys("no_such").empty());
  EXPECT_TRUE(PrimaryKeys(nullptr).empty());
}

TEST_F(CatalogTest, ForeignKeys) {
  const Rows lines = ForeignKeys(nullptr, "order_lines");
  ASSERT_EQ(ColumnCount(), 14);
  EXPECT_EQ(ColumnName(12), "FKNAME");
  std::set<std::string> pairs;
  for (const auto& r : lines) pairs.insert(r[2].value_or("") + "." + r[3].value_or("") + "<-" + r[7].value_or(""));
  // Only the keys to other tables: the table's own primary key is no
  // foreign key.
  EXPECT_EQ(pairs, (std::set<std::string>{"orders.id<-order_id", "products.id<-product_id"}));
  for (const auto& r : lines) {
    EXPECT_EQ(r[6], "order_lines");
    EXPECT_EQ(r[8], "1");
    EXPECT_EQ(r[9], "3");
    EXPECT_EQ(r[10], "3");
    EXPECT_EQ(r[13], "7");
  }
  const Rows to_customers = ForeignKeys("customers", "orders");
  ASSERT_EQ(to_customers.size(), 1u);
  EXPECT_EQ(to_customers[0][7], "customer_id");
  EXPECT_EQ(to_customers[0][8], "1");
  // A composite key numbered within the key, and a column referring to
  // another column of its own table.
  const Rows returns = ForeignKeys(nullptr, "returns");
  std::vector<std::string> seen;
  for (const auto& r : returns)
    seen.push_back(r[2].value_or("") + "." + r[3].value_or("") + "<-" + r[7].value_or("") + "#" + r[8].value_or(""));
  EXPECT_EQ(seen, (std::vector<std::string>{"order_lines.order_id<-order_id#1", "order_lines.line<-line#2",
                                            "returns.id<-replaces#1"}));
  // Without names: every foreign key column, ordered by related table.
  const Rows all = ForeignKeys(nullptr, nullptr);
  EXPECT_EQ(all.size(), 6u);
  for (const auto& r : all) EXPECT_FALSE(r[2] == r[6] && r[3] == r[7]);
  EXPECT_TRUE(std::is_sorted(all.begin(), all.end(),
                             [](const auto& a, const auto& b) { return a[2] < b[2]; }));
}

TEST_F(CatalogTest, SpecialColumns) {
  const Rows lines = SpecialColumns(SQL_BEST_ROWID, "order_lines", SQL_NULLABLE);
  ASSERT_EQ(ColumnCount(), 8);
  EXPECT_EQ(ColumnName(7), "DECIMAL_DIGIT");
  EXPECT_EQ(Texts(lines, 2), (Names{"order_id", "line"}));
  EXPECT_EQ(lines[0][0], "2");
  EXPECT_EQ(lines[0][2], "4");
  EXPECT_EQ(lines[0][3], "INT32");
  EXPECT_EQ(lines[0][4], "11");
  EXPECT_EQ(lines[0][5], "4");
  EXPECT_EQ(lines[0][7], "1");
  EXPECT_EQ(lines[1][3], "INT16");
  // customers.id is related by two constraints and listed once.
  EXPECT_EQ(Texts(SpecialColumns(SQL_BEST_ROWID, "customers", SQL_NULLABLE), 2), (Names{"id"}));
  // Key columns are never nullable here, so SQL_NO_NULLS keeps them.
  EXPECT_EQ(SpecialColumns(SQL_BEST_ROWID, "order_lines", SQL_NO_NULLS).size(), 2u);
  EXPECT_TRUE(SpecialColumns(SQL_ROWVER, "order_lines", SQL_NULLABLE).empty());
  EXPECT_EQ(ColumnCount(), 8);
}

TEST_F(CatalogTest, EmptyCatalogsAreDescribed) {
  ASSERT_EQ(SQLStatisticsW(stmt, nullptr, 0, nullptr, 0, nullptr, 0, SQL_INDEX_ALL, SQL_QUICK), SQL_SUCCESS);
  EXPECT_EQ(ColumnCount(), 13);
  EXPECT_EQ(SQLFetch(stmt), SQL_NO_DATA);
  ASSERT_EQ(SQLProceduresW(stmt, nullptr, 0, nullptr, 0, nullptr, 0), SQL_SUCCESS);
  EXPECT_EQ(ColumnCount(), 8);
  EXPECT_EQ(SQLFetch(stmt), SQL_NO_DATA);
  ASSERT_EQ(SQLProcedureColumnsW(stmt, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0), SQL_SUCCESS);
  EXPECT_EQ(ColumnCount(), 19);
  ASSERT_EQ(SQLTablePrivilegesW(stmt, nullptr, 0, nullptr, 0, nullptr, 0), SQL_SUCCESS);
  EXPECT_EQ(ColumnCount(), 7);
  ASSERT_EQ(SQLColumnPrivilegesW(stmt, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0), SQL_SUCCESS);
  EXPECT_EQ(ColumnCount(), 8);
  EXPECT_EQ(SQLFetch(stmt), SQL_NO_DATA);
}

TEST_F(CatalogTest, LocalResultCountsAndNeedsNoServerPages) {
  SQLULEN fetched = 99;
  ASSERT_EQ(SQLSetStmtAttrW(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0), SQL_SUCCESS);
  std::u16string t = u"customers";
  const std::size_t handles = kestrion::HandleRegistry::Count();
  ASSERT_EQ(SQLColumnsW(stmt, nullptr, 0, nullptr, 0, W(t), SQL_NTS, nullptr, 0), SQL_SUCCESS);
  // The query statement and the type oracle are gone.
  EXPECT_EQ(kestrion::HandleRegistry::Count(), handles);
  SQLLEN count = 0;
  ASSERT_EQ(SQLRowCount(stmt, &count), SQL_SUCCESS);
  EXPECT_EQ(count, 7);
  EXPECT_EQ(fetched, 7u);
  EXPECT_EQ(statement().state.statement_id, 0);
  // A fetch past the cache would need a page from the server; none is asked.
  ASSERT_EQ(SQLFetchScroll(stmt, SQL_FETCH_ABSOLUTE, 7), SQL_SUCCESS);
  EXPECT_EQ(fetched, 1u);
  SQLWCHAR name[64] = {0};
  SQLLEN ind = 0;
  ASSERT_EQ(SQLGetData(stmt, 4, SQL_C_WCHAR, name, sizeof name, &ind), SQL_SUCCESS);
  EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(name)), u"token");
  ASSERT_EQ(SQLFetchScroll(stmt, SQL_FETCH_FIRST, 0), SQL_SUCCESS);
  // Column types: text as wide characters, words and longs as integers.
  SQLSMALLINT type = 0;
  SQLWCHAR buf[64];
  SQLSMALLINT len = 0, digits = 0, nullable = 0;
  SQLULEN size = 0;
  SQLDescribeColW(stmt, 5, buf, 64, &len, &type, &size, &digits, &nullable);
  EXPECT_EQ(type, SQL_SMALLINT);
  SQLDescribeColW(stmt, 7, buf, 64, &len, &type, &size, &digits, &nullable);
  EXPECT_EQ(type, SQL_INTEGER);
  SQLINTEGER ordinal = 0;
  ASSERT_EQ(SQLGetData(stmt, 17, SQL_C_SLONG, &ordinal, 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(ordinal, 1);
  EXPECT_EQ(SQLCloseCursor(stmt), SQL_SUCCESS);
}

TEST_F(CatalogTest, RejectedQueryGivesEmptyResultWithoutDiagnostics) {
  // An empty bracketed name leaves nothing after "=", which the server refuses.
  std::u16string t = u"[]";
  ASSERT_EQ(SQLPrimaryKeysW(stmt, nullptr, 0, nullptr, 0, W(t), SQL_NTS), SQL_SUCCESS);
  EXPECT_EQ(StatementDiagnostics(), "");
  EXPECT_EQ(ColumnCount(), 6);
  EXPECT_EQ(SQLFetch(stmt), SQL_NO_DATA);
}

TEST_F(CatalogTest, CatalogCallClosesAnOpenServerResult) {
  ASSERT_TRUE(SQL_SUCCEEDED(Exec("SELECT id FROM customers")));
  EXPECT_NE(statement().state.statement_id, 0);
  ASSERT_EQ(Tables("orders").size(), 1u);
  EXPECT_EQ(statement().state.statement_id, 0);
  ASSERT_TRUE(SQL_SUCCEEDED(Exec("SELECT count(*) FROM orders")));
  EXPECT_EQ(FetchAll().at(0).at(0), "1000");
}

}  // namespace
}  // namespace kestrion_test
