// Parameter arrays through the Driver Manager: SQL_ATTR_PARAMSET_SIZE above
// one runs the statement once per set, column-wise and row-wise, with
// ignored sets, failing sets, NULLs and data at execution; statuses, the
// processed count and the summed row count report what happened. Every
// test runs against a server that takes the sets' requests together
// (pipeline) and against a base-protocol one that gets them one at a time.
#include <cstring>
#include <type_traits>
#include <vector>

#include "tests/dm/statements_fixture.h"

namespace kestrion_dm {
namespace {

template <class Server>
class ParamArrayTest : public StatementsTest {
 public:
  static void SetUpTestSuite() { StartServer(Server::Arguments()); }

 protected:
  void SetUp() override {
    StatementsTest::SetUp();
    table_ = TableName("arr");
    Run("CREATE TABLE " + table_ + " (id INTEGER PRIMARY KEY, name VARCHAR(20))");
  }

  static SQLPOINTER Value(SQLULEN v) { return reinterpret_cast<SQLPOINTER>(v); }

  void SetArray(SQLHSTMT stmt, SQLULEN size, SQLUSMALLINT* status, SQLULEN* processed) {
    KESTRION_EXPECT_OK(SQLSetStmtAttr(stmt, SQL_ATTR_PARAMSET_SIZE, Value(size), 0), SQL_HANDLE_STMT, stmt);
    KESTRION_EXPECT_OK(SQLSetStmtAttr(stmt, SQL_ATTR_PARAM_STATUS_PTR, status, 0), SQL_HANDLE_STMT, stmt);
    KESTRION_EXPECT_OK(SQLSetStmtAttr(stmt, SQL_ATTR_PARAMS_PROCESSED_PTR, processed, 0), SQL_HANDLE_STMT,
                       stmt);
  }

  // The rows of the table as "id:name" (name "-" for NULL), in id order.
  std::vector<std::string> Rows() {
    std::vector<std::string> rows;
    SQLHSTMT stmt = NewStatement();
    EXPECT_TRUE(ExecDirect(stmt, "SELECT id, name FROM " + table_ + " ORDER BY id"));
    SQLINTEGER id = 0;
    char name[32];
    SQLLEN id_ind = 0, name_ind = 0;
    SQLBindCol(stmt, 1, SQL_C_SLONG, &id, 0, &id_ind);
    SQLBindCol(stmt, 2, SQL_C_CHAR, name, sizeof name, &name_ind);
    while (SQL_SUCCEEDED(SQLFetch(stmt))) {
      rows.push_back(std::to_string(id) + ":" + (name_ind == SQL_NULL_DATA ? "-" : name));
    }
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return rows;
  }

  std::string table_;
};

using Servers = ::testing::Types<Announced, BaseProtocol>;
class ServerNames {
 public:
  template <class T>
  static std::string GetName(int) {
    return std::is_same_v<T, Announced> ? "Pipeline" : "BaseProtocol";
  }
};
TYPED_TEST_SUITE(ParamArrayTest, Servers, ServerNames);

TYPED_TEST(ParamArrayTest, ColumnWiseArrayStoresEverySetWithNulls) {
  for (SQLULEN size : {SQLULEN{1}, SQLULEN{100}}) {
    this->Run("DELETE FROM " + this->table_);
    SQLHSTMT stmt = this->NewStatement();
    std::vector<SQLINTEGER> ids(size);
    std::vector<char> names(size * 21);
    std::vector<SQLLEN> name_inds(size);
    std::vector<SQLUSMALLINT> status(size, 99);
    SQLULEN processed = 0;
    for (SQLULEN i = 0; i < size; ++i) {
      ids[i] = static_cast<SQLINTEGER>(i + 1);
      std::snprintf(&names[i * 21], 21, "name %u", static_cast<unsigned>(i + 1));
      name_inds[i] = i % 10 == 3 ? SQL_NULL_DATA : SQL_NTS;
    }
    this->SetArray(stmt, size, status.data(), &processed);
    STMT_OK(SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, ids.data(), 0, nullptr));
    STMT_OK(SQLBindParameter(stmt, 2, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 20, 0, names.data(), 21,
                             name_inds.data()));
    ASSERT_TRUE(this->ExecDirect(stmt, "INSERT INTO " + this->table_ + " VALUES (?, ?)"));
    EXPECT_EQ(processed, size);
    SQLLEN count = 0;
    STMT_OK(SQLRowCount(stmt, &count));
    EXPECT_EQ(count, static_cast<SQLLEN>(size)) << "the row count is the sum over the sets";
    for (SQLULEN i = 0; i < size; ++i) EXPECT_EQ(status[i], SQL_PARAM_SUCCESS) << i;
    SQLULEN read_back = 0;
    STMT_OK(SQLGetStmtAttr(stmt, SQL_ATTR_PARAMSET_SIZE, &read_back, 0, nullptr));
    EXPECT_EQ(read_back, size);
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    const std::vector<std::string> rows = this->Rows();
    ASSERT_EQ(rows.size(), size);
    EXPECT_EQ(rows.front(), "1:name 1");
    if (size > 4) {
      EXPECT_EQ(rows[3], "4:-");
    }
    EXPECT_EQ(rows.back(), std::to_string(size) + ":name " + std::to_string(size));
  }
}

TYPED_TEST(ParamArrayTest, RowWiseArrayOfTenThousandSetsWithABindOffset) {
  struct Row {
    SQLINTEGER id;
    SQLLEN id_ind;
    char name[21];
    SQLLEN name_ind;
  };
  const SQLULEN size = 10000;
  std::vector<Row> rows(size + 1);  // the first element is skipped by the bind offset
  for (SQLULEN i = 0; i < size; ++i) {
    Row& r = rows[i + 1];
    r.id = static_cast<SQLINTEGER>(i + 1);
    r.id_ind = 0;
    std::snprintf(r.name, sizeof r.name, "r%u", static_cast<unsigned>(i + 1));
    r.name_ind = SQL_NTS;
  }
  SQLHSTMT stmt = this->NewStatement();
  std::vector<SQLUSMALLINT> status(size, 99);
  SQLULEN processed = 0;
  SQLLEN offset = sizeof(Row);
  this->SetArray(stmt, size, status.data(), &processed);
  STMT_OK(SQLSetStmtAttr(stmt, SQL_ATTR_PARAM_BIND_TYPE, this->Value(sizeof(Row)), 0));
  STMT_OK(SQLSetStmtAttr(stmt, SQL_ATTR_PARAM_BIND_OFFSET_PTR, &offset, 0));
  STMT_OK(SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &rows[0].id, 0,
                           &rows[0].id_ind));
  STMT_OK(SQLBindParameter(stmt, 2, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 20, 0, rows[0].name, 21,
                           &rows[0].name_ind));
  STMT_OK(SQLPrepare(stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>(
                               ("INSERT INTO " + this->table_ + " VALUES (?, ?)").c_str())),
                     SQL_NTS));
  STMT_OK(SQLExecute(stmt));
  EXPECT_EQ(processed, size);
  SQLLEN count = 0;
  STMT_OK(SQLRowCount(stmt, &count));
  EXPECT_EQ(count, static_cast<SQLLEN>(size));
  EXPECT_EQ(status[size - 1], SQL_PARAM_SUCCESS);
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  const std::vector<std::string> stored = this->Rows();
  ASSERT_EQ(stored.size(), size);
  EXPECT_EQ(stored[0], "1:r1");
  EXPECT_EQ(stored[size - 1], "10000:r10000");
}

// A set that fails (a duplicate key) is marked, its diagnostic names the set,
// and the sets after it still run; an ignored set is left out.
TYPED_TEST(ParamArrayTest, FailingAndIgnoredSetsInTheMiddle) {
  this->Run("INSERT INTO " + this->table_ + " VALUES (3, 'there before')");
  SQLHSTMT stmt = this->NewStatement();
  SQLINTEGER ids[5] = {1, 2, 3, 4, 5};
  SQLUSMALLINT operations[5] = {SQL_PARAM_PROCEED, SQL_PARAM_IGNORE, SQL_PARAM_PROCEED, SQL_PARAM_PROCEED,
                                SQL_PARAM_PROCEED};
  SQLUSMALLINT status[5] = {99, 99, 99, 99, 99};
  SQLULEN processed = 0;
  this->SetArray(stmt, 5, status, &processed);
  STMT_OK(SQLSetStmtAttr(stmt, SQL_ATTR_PARAM_OPERATION_PTR, operations, 0));
  STMT_OK(SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, ids, 0, nullptr));
  std::u16string sql = Utf16("INSERT INTO " + this->table_ + " (id) VALUES (?)");
  EXPECT_EQ(SQLExecDirectW(stmt, Wide(sql), SQL_NTS), SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(status[0], SQL_PARAM_SUCCESS);
  EXPECT_EQ(status[1], SQL_PARAM_UNUSED);
  EXPECT_EQ(status[2], SQL_PARAM_ERROR);
  EXPECT_EQ(status[3], SQL_PARAM_SUCCESS);
  EXPECT_EQ(status[4], SQL_PARAM_SUCCESS);
  EXPECT_EQ(processed, 5u);
  EXPECT_EQ(FirstState(SQL_HANDLE_STMT, stmt), "23000") << Diagnostics(SQL_HANDLE_STMT, stmt);
  SQLLEN row = 0;
  EXPECT_EQ(SQLGetDiagField(SQL_HANDLE_STMT, stmt, 1, SQL_DIAG_ROW_NUMBER, &row, 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(row, 3);
  SQLLEN count = 0;
  STMT_OK(SQLRowCount(stmt, &count));
  EXPECT_EQ(count, 3);
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  EXPECT_EQ(this->Rows(), (std::vector<std::string>{"1:-", "3:there before", "4:-", "5:-"}));

  // When every set fails the call fails.
  stmt = this->NewStatement();
  SQLINTEGER taken[2] = {1, 3};
  this->SetArray(stmt, 2, status, &processed);
  STMT_OK(SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, taken, 0, nullptr));
  EXPECT_EQ(SQLExecDirectW(stmt, Wide(sql), SQL_NTS), SQL_ERROR);
  EXPECT_EQ(status[0], SQL_PARAM_ERROR);
  EXPECT_EQ(status[1], SQL_PARAM_ERROR);
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
}

// Data at execution walks the sets in turn; the token is the set's element.
TYPED_TEST(ParamArrayTest, DataAtExecutionAcrossSets) {
  SQLHSTMT stmt = this->NewStatement();
  SQLINTEGER ids[3] = {1, 2, 3};
  char tokens[3][8] = {"a", "b", "c"};
  SQLLEN inds[3] = {SQL_DATA_AT_EXEC, SQL_DATA_AT_EXEC, SQL_DATA_AT_EXEC};
  SQLUSMALLINT status[3];
  SQLULEN processed = 0;
  this->SetArray(stmt, 3, status, &processed);
  STMT_OK(SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, ids, 0, nullptr));
  STMT_OK(SQLBindParameter(stmt, 2, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 20, 0, tokens, 8, inds));
  std::u16string sql = Utf16("INSERT INTO " + this->table_ + " VALUES (?, ?)");
  ASSERT_EQ(SQLExecDirectW(stmt, Wide(sql), SQL_NTS), SQL_NEED_DATA) << Diagnostics(SQL_HANDLE_STMT, stmt);
  SQLPOINTER token = nullptr;
  const char* values[3] = {"first", nullptr, "third"};
  for (int set = 0; set < 3; ++set) {
    ASSERT_EQ(SQLParamData(stmt, &token), SQL_NEED_DATA) << Diagnostics(SQL_HANDLE_STMT, stmt);
    EXPECT_EQ(token, tokens[set]);
    EXPECT_EQ(processed, static_cast<SQLULEN>(set + 1));
    if (values[set] == nullptr) {
      STMT_OK(SQLPutData(stmt, nullptr, SQL_NULL_DATA));
    } else {
      STMT_OK(SQLPutData(stmt, const_cast<char*>(values[set]), 3));
      STMT_OK(SQLPutData(stmt, const_cast<char*>(values[set]) + 3, SQL_NTS));
    }
  }
  STMT_OK(SQLParamData(stmt, &token));
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  EXPECT_EQ(this->Rows(), (std::vector<std::string>{"1:first", "2:-", "3:third"}));
}

// Arrays join an open transaction when autocommit is off.
TYPED_TEST(ParamArrayTest, ArrayJoinsTheOpenTransaction) {
  KESTRION_ASSERT_OK(SQLSetConnectAttr(this->dbc_, SQL_ATTR_AUTOCOMMIT, this->Value(SQL_AUTOCOMMIT_OFF), 0),
                     SQL_HANDLE_DBC, this->dbc_);
  SQLHSTMT stmt = this->NewStatement();
  SQLINTEGER ids[4] = {1, 2, 3, 4};
  SQLUSMALLINT status[4];
  SQLULEN processed = 0;
  this->SetArray(stmt, 4, status, &processed);
  STMT_OK(SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, ids, 0, nullptr));
  ASSERT_TRUE(this->ExecDirect(stmt, "INSERT INTO " + this->table_ + " (id) VALUES (?)"));
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  KESTRION_ASSERT_OK(SQLEndTran(SQL_HANDLE_DBC, this->dbc_, SQL_ROLLBACK), SQL_HANDLE_DBC, this->dbc_);
  EXPECT_TRUE(this->Rows().empty()) << "the rollback kept rows of the array";
}

TYPED_TEST(ParamArrayTest, ArraysAreRefusedForStatementsThatReturnRows) {
  SQLHSTMT stmt = this->NewStatement();
  SQLINTEGER ids[2] = {1, 2};
  SQLUSMALLINT status[2];
  SQLULEN processed = 0;
  this->SetArray(stmt, 2, status, &processed);
  STMT_OK(SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, ids, 0, nullptr));
  std::u16string sql = Utf16("SELECT id FROM " + this->table_ + " WHERE id = ?");
  EXPECT_EQ(SQLExecDirectW(stmt, Wide(sql), SQL_NTS), SQL_ERROR);
  EXPECT_EQ(FirstState(SQL_HANDLE_STMT, stmt), "HYC00");
  SQLUINTEGER selects = 0, counts = 0;
  SQLGetInfo(this->dbc_, SQL_PARAM_ARRAY_SELECTS, &selects, sizeof selects, nullptr);
  SQLGetInfo(this->dbc_, SQL_PARAM_ARRAY_ROW_COUNTS, &counts, sizeof counts, nullptr);
  EXPECT_EQ(selects, static_cast<SQLUINTEGER>(SQL_PAS_NO_SELECT));
  EXPECT_EQ(counts, static_cast<SQLUINTEGER>(SQL_PARC_NO_BATCH));
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
}

}  // namespace
}  // namespace kestrion_dm
