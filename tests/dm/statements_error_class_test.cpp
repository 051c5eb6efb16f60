// Server errors carry the class the server gives them: a duplicate key is an
// integrity violation, a syntax error or an unknown table or column a
// programming error, and the connection stays usable after each.
#include "tests/dm/statements_fixture.h"

namespace kestrion_dm {
namespace {

class ErrorClassTest : public StatementsTest {};

TEST_F(ErrorClassTest, EachServerErrorHasItsSqlState) {
  const std::string table = TableName("cls");
  Run("CREATE TABLE " + table + " (id INTEGER PRIMARY KEY, n INTEGER NOT NULL)");
  Run("INSERT INTO " + table + " VALUES (1, 1)");
  const std::pair<std::string, std::string> cases[] = {
      {"INSERT INTO " + table + " VALUES (1, 2)", "23000"},
      {"INSERT INTO " + table + " (id) VALUES (5)", "23000"},
      {"SELEC 1", "42000"},
      {"SELECT * FROM no_such_table_here", "42S02"},
      {"SELECT no_such_column FROM " + table, "42S22"},
      {"CREATE TABLE " + table + " (x INTEGER)", "42S01"},
  };
  SQLHSTMT stmt = NewStatement();
  for (const auto& [sql, state] : cases) {
    std::u16string text = Utf16(sql);
    EXPECT_EQ(SQLExecDirectW(stmt, Wide(text), SQL_NTS), SQL_ERROR) << sql;
    EXPECT_EQ(FirstState(SQL_HANDLE_STMT, stmt), state) << sql << "\n" << Diagnostics(SQL_HANDLE_STMT, stmt);
    SQLINTEGER native = 0;
    SQLWCHAR sqlstate[6];
    SQLGetDiagRecW(SQL_HANDLE_STMT, stmt, 1, sqlstate, &native, nullptr, 0, nullptr);
    EXPECT_GT(native, 4000) << "the server's own code is kept";
  }
  ASSERT_TRUE(ExecDirect(stmt, "SELECT COUNT(*) FROM " + table));
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
}

}  // namespace
}  // namespace kestrion_dm
