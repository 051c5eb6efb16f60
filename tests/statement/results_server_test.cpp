// Prepare, execute, fetch and SQLGetData against the development server.
#include <cstring>

#include "tests/statement/statement_fixture.h"

namespace kestrion_test {
namespace {

class ResultsTest : public DevServerTest {};

TEST_F(ResultsTest, InsertsWithParametersAndReadsBack) {
  Run("CREATE TABLE t1 (id INTEGER, name VARCHAR(20), amount DOUBLE PRECISION)");
  ASSERT_EQ(Prepare(stmt, "INSERT INTO t1 VALUES (?, ?, ?)"), SQL_SUCCESS)
      << Diagnostics(SQL_HANDLE_STMT, stmt);
  SQLSMALLINT params = 0;
  SQLNumParams(stmt, &params);
  EXPECT_EQ(params, 3);
  SQLINTEGER id = 0;
  SQLWCHAR name[21] = {};
  double amount = 0;
  SQLLEN name_ind = SQL_NTS, amount_ind = 0;
  ASSERT_EQ(SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &id, 0, nullptr),
            SQL_SUCCESS);
  ASSERT_EQ(SQLBindParameter(stmt, 2, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR, 20, 0, name,
                             sizeof name, &name_ind),
            SQL_SUCCESS);
  ASSERT_EQ(SQLBindParameter(stmt, 3, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 0, 0, &amount, 0,
                             &amount_ind),
            SQL_SUCCESS);
  for (int i = 1; i <= 3; ++i) {
    id = i;
    const std::u16string n = W("name" + std::to_string(i));
    std::memcpy(name, n.c_str(), (n.size() + 1) * 2);
    amount = i * 1.5;
    amount_ind = i == 2 ? SQL_NULL_DATA : 0;
    ASSERT_EQ(SQLExecute(stmt), SQL_SUCCESS) << Diagnostics(SQL_HANDLE_STMT, stmt);
    SQLLEN count = -1;
    SQLRowCount(stmt, &count);
    EXPECT_EQ(count, 1);
  }
  SQLHSTMT q = h->NewStatement();
  ASSERT_EQ(ExecDirect(q, "SELECT id, name, amount FROM t1 ORDER BY id"), SQL_SUCCESS)
      << Diagnostics(SQL_HANDLE_STMT, q);
  const auto rows = AllRows(q);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"1", "name1", "1.5"}));
  EXPECT_EQ(rows[1], (std::vector<std::string>{"2", "name2", "NULL"}));
  EXPECT_EQ(rows[2][0], "3");
}

}  // namespace
}  // namespace kestrion_test
