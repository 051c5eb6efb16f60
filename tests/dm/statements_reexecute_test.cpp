// A prepared statement executed again and again: each execute's result is
// described as its reply says, whether that description is the one before
// (a point select in a loop) or another one (the table was altered, the
// kinds come from the values, a row set turns into an update count). Each
// runs against a server that announces its capabilities and a
// base-protocol one.
#include <string>
#include <vector>

#include "tests/dm/statements_fixture.h"

namespace kestrion_dm {
namespace {

template <class Server>
class ReexecuteTest : public StatementsTest {
 public:
  static void SetUpTestSuite() { StartServer(Server::Arguments()); }

 protected:
  void SetUp() override {
    StatementsTest::SetUp();
    table_ = TableName("again");
    // `v` has no declared type: its kind is each value's own.
    Run("CREATE TABLE " + table_ + " (id INTEGER PRIMARY KEY, n INTEGER, v)");
    Run("INSERT INTO " + table_ + " VALUES (1, 10, 42), (2, 20, 'text'), (3, 30, 4.5)");
  }

  SQLHSTMT Prepared(const std::string& sql, SQLINTEGER* key) {
    SQLHSTMT stmt = NewStatement();
    std::u16string text = Utf16(sql);
    EXPECT_TRUE(SQL_SUCCEEDED(SQLPrepareW(stmt, Wide(text), SQL_NTS))) << Diagnostics(SQL_HANDLE_STMT, stmt);
    if (key != nullptr) {
      EXPECT_TRUE(SQL_SUCCEEDED(
          SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, key, 0, nullptr)));
    }
    return stmt;
  }

  // Column `n`'s name and SQL type as SQLDescribeColW gives them.
  static std::pair<std::string, SQLSMALLINT> Column(SQLHSTMT stmt, SQLUSMALLINT n) {
    SQLWCHAR name[64] = {};
    SQLSMALLINT length = 0, type = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    EXPECT_TRUE(SQL_SUCCEEDED(SQLDescribeColW(stmt, n, name, 64, &length, &type, &size, &digits, &nullable)))
        << Diagnostics(SQL_HANDLE_STMT, stmt);
    return {Utf8(std::u16string(reinterpret_cast<const char16_t*>(name), static_cast<std::size_t>(length))),
            type};
  }

  static SQLSMALLINT Columns(SQLHSTMT stmt) {
    SQLSMALLINT count = -1;
    EXPECT_TRUE(SQL_SUCCEEDED(SQLNumResultCols(stmt, &count)));
    return count;
  }

  static std::string Text(SQLHSTMT stmt, SQLUSMALLINT column) {
    char buffer[64] = {};
    SQLLEN ind = 0;
    EXPECT_TRUE(SQL_SUCCEEDED(SQLGetData(stmt, column, SQL_C_CHAR, buffer, sizeof buffer, &ind)))
        << Diagnostics(SQL_HANDLE_STMT, stmt);
    return ind == SQL_NULL_DATA ? "NULL" : std::string(buffer);
  }

  std::string table_;
};

using Servers = ::testing::Types<Announced, BaseProtocol>;
TYPED_TEST_SUITE(ReexecuteTest, Servers);

TYPED_TEST(ReexecuteTest, RowCountsAndRowsFollowEachExecute) {
  SQLINTEGER key = 0;
  SQLHSTMT stmt = this->Prepared("SELECT id, n FROM " + this->table_ + " WHERE id <= ? ORDER BY id", &key);
  for (const SQLINTEGER k : {3, 1, 0, 2, 3}) {
    key = k;
    STMT_OK(SQLExecute(stmt));
    EXPECT_EQ(this->Columns(stmt), 2);
    EXPECT_EQ(this->Column(stmt, 2), (std::pair<std::string, SQLSMALLINT>{"n", SQL_INTEGER}));
    SQLLEN rows = -1;
    STMT_OK(SQLRowCount(stmt, &rows));
    int fetched = 0;
    while (SQLFetch(stmt) == SQL_SUCCESS) {
      ++fetched;
      EXPECT_EQ(this->Text(stmt, 1), std::to_string(fetched));
      EXPECT_EQ(this->Text(stmt, 2), std::to_string(fetched * 10));
    }
    EXPECT_EQ(fetched, k) << "key " << k;
    STMT_OK(SQLFreeStmt(stmt, SQL_CLOSE));
  }
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
}

TYPED_TEST(ReexecuteTest, UpdateCountsFollowEachExecute) {
  SQLINTEGER key = 0;
  SQLHSTMT stmt = this->Prepared("UPDATE " + this->table_ + " SET n = n + 1 WHERE id <= ?", &key);
  for (const SQLINTEGER k : {3, 1, 0, 2}) {
    key = k;
    STMT_OK(SQLExecute(stmt));
    SQLLEN rows = -1;
    STMT_OK(SQLRowCount(stmt, &rows));
    EXPECT_EQ(rows, k);
    EXPECT_EQ(this->Columns(stmt), 0);
  }
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
}

// What the application reads of a column's description: the same on a
// statement executed again as on a fresh one, though the last execute's
// rows grew the lengths.
TYPED_TEST(ReexecuteTest, DescriptionsReadAsOnAFreshStatement) {
  // Longer than the 32767 characters text is described with: its page grows
  // the lengths.
  this->Run("INSERT INTO " + this->table_ + " VALUES (4, 40, '" + std::string(40000, 'x') + "')");
  const std::string sql = "SELECT upper(v) AS u, n FROM " + this->table_ + " WHERE id = ?";
  SQLINTEGER key = 0;
  SQLHSTMT stmt = this->Prepared(sql, &key);
  auto description = [this](SQLHSTMT stmt) {
    std::vector<SQLLEN> out;
    for (SQLUSMALLINT c = 1; c <= 2; ++c) {
      for (const SQLUSMALLINT field : {SQL_DESC_OCTET_LENGTH, SQL_DESC_DISPLAY_SIZE, SQL_DESC_LENGTH}) {
        SQLLEN value = -1;
        EXPECT_TRUE(SQL_SUCCEEDED(SQLColAttributeW(stmt, c, field, nullptr, 0, nullptr, &value)));
        out.push_back(value);
      }
    }
    return out;
  };
  for (const SQLINTEGER k : {4, 2, 4, 2}) {
    key = k;
    STMT_OK(SQLExecute(stmt));
    ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS) << Diagnostics(SQL_HANDLE_STMT, stmt);
    SQLINTEGER fresh_key = k;
    SQLHSTMT fresh = this->Prepared(sql, &fresh_key);
    ASSERT_TRUE(SQL_SUCCEEDED(SQLExecute(fresh))) << Diagnostics(SQL_HANDLE_STMT, fresh);
    ASSERT_EQ(SQLFetch(fresh), SQL_SUCCESS);
    EXPECT_EQ(description(stmt), description(fresh)) << "key " << k;
    SQLFreeHandle(SQL_HANDLE_STMT, fresh);
    STMT_OK(SQLFreeStmt(stmt, SQL_CLOSE));
  }
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
}

TYPED_TEST(ReexecuteTest, KindsTakenFromTheValuesAreDescribedAnewEachTime) {
  SQLINTEGER key = 0;
  SQLHSTMT stmt = this->Prepared("SELECT v FROM " + this->table_ + " WHERE id = ?", &key);
  const std::pair<int, std::string> expected[] = {{1, "42"}, {2, "text"}, {1, "42"}, {3, "4.5"}, {2, "text"}};
  SQLSMALLINT first_type = 0;
  for (const auto& [k, value] : expected) {
    key = k;
    STMT_OK(SQLExecute(stmt));
    const SQLSMALLINT type = this->Column(stmt, 1).second;
    if (k == 1) first_type = type;
    // The text and the number are described with kinds of their own.
    if (k == 2) {
      EXPECT_NE(type, first_type);
    } else if (k == 1) {
      EXPECT_EQ(type, first_type);
    }
    ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS) << Diagnostics(SQL_HANDLE_STMT, stmt);
    EXPECT_EQ(this->Text(stmt, 1), value);
    STMT_OK(SQLFreeStmt(stmt, SQL_CLOSE));
  }
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
}

TYPED_TEST(ReexecuteTest, AnAlteredTableIsDescribedAsItIsNow) {
  SQLHSTMT stmt = this->Prepared("SELECT * FROM " + this->table_ + " WHERE id = 1", nullptr);
  STMT_OK(SQLExecute(stmt));
  EXPECT_EQ(this->Columns(stmt), 3);
  STMT_OK(SQLFreeStmt(stmt, SQL_CLOSE));
  this->Run("ALTER TABLE " + this->table_ + " ADD COLUMN extra VARCHAR(10) DEFAULT 'more'");
  STMT_OK(SQLExecute(stmt));
  ASSERT_EQ(this->Columns(stmt), 4);
  EXPECT_EQ(this->Column(stmt, 4).first, "extra");
  ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS) << Diagnostics(SQL_HANDLE_STMT, stmt);
  EXPECT_EQ(this->Text(stmt, 4), "more");
  STMT_OK(SQLFreeStmt(stmt, SQL_CLOSE));
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
}

TYPED_TEST(ReexecuteTest, OneHandleSwitchingBetweenRowSetsAndUpdateCounts) {
  SQLHSTMT stmt = this->NewStatement();
  const std::string select = "SELECT n FROM " + this->table_ + " WHERE id = 2";
  for (int round = 0; round < 2; ++round) {
    ASSERT_TRUE(this->ExecDirect(stmt, select));
    EXPECT_EQ(this->Columns(stmt), 1);
    ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS);
    EXPECT_EQ(this->Text(stmt, 1), std::to_string(20 + round));
    STMT_OK(SQLFreeStmt(stmt, SQL_CLOSE));
    ASSERT_TRUE(this->ExecDirect(stmt, "UPDATE " + this->table_ + " SET n = n + 1 WHERE id = 2"));
    EXPECT_EQ(this->Columns(stmt), 0);
    SQLLEN rows = -1;
    STMT_OK(SQLRowCount(stmt, &rows));
    EXPECT_EQ(rows, 1);
    EXPECT_EQ(SQLFetch(stmt), SQL_ERROR);  // no result set
    STMT_OK(SQLFreeStmt(stmt, SQL_CLOSE));
  }
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
}

TYPED_TEST(ReexecuteTest, ADescriptorChangedByTheApplicationIsBuiltAgain) {
  SQLINTEGER key = 1;
  SQLHSTMT stmt = this->Prepared("SELECT id, n FROM " + this->table_ + " WHERE id = ?", &key);
  STMT_OK(SQLExecute(stmt));
  STMT_OK(SQLFreeStmt(stmt, SQL_CLOSE));
  SQLHDESC ird = nullptr;
  STMT_OK(SQLGetStmtAttr(stmt, SQL_ATTR_IMP_ROW_DESC, &ird, 0, nullptr));
  if (SQL_SUCCEEDED(SQLSetDescField(ird, 0, SQL_DESC_COUNT, reinterpret_cast<SQLPOINTER>(1), 0))) {
    STMT_OK(SQLExecute(stmt));
    EXPECT_EQ(this->Columns(stmt), 2);
    EXPECT_EQ(this->Column(stmt, 2).first, "n");
    ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS);
    EXPECT_EQ(this->Text(stmt, 2), "10");
  }
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
}

}  // namespace
}  // namespace kestrion_dm
