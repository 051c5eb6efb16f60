// Every C target type asked of every kind, through SQLGetData and bound
// columns: exact answers where ODBC defines one, an error where a date is
// asked for as a number (07006), and never a crash or an answer made up from
// the wrong bytes. Values outside a target's range, and text that is not a
// number read as one, are errors that name the row and the column.
#include <cstring>
#include <functional>
#include <set>
#include <vector>

#include "tests/dm/statements_fixture.h"

namespace kestrion_dm {
namespace {

const std::vector<std::pair<SQLSMALLINT, const char*>> kCTypes = {
    {SQL_C_CHAR, "CHAR"},
    {SQL_C_WCHAR, "WCHAR"},
    {SQL_C_BIT, "BIT"},
    {SQL_C_STINYINT, "STINYINT"},
    {SQL_C_UTINYINT, "UTINYINT"},
    {SQL_C_SSHORT, "SSHORT"},
    {SQL_C_USHORT, "USHORT"},
    {SQL_C_SLONG, "SLONG"},
    {SQL_C_ULONG, "ULONG"},
    {SQL_C_SBIGINT, "SBIGINT"},
    {SQL_C_UBIGINT, "UBIGINT"},
    {SQL_C_FLOAT, "FLOAT"},
    {SQL_C_DOUBLE, "DOUBLE"},
    {SQL_C_NUMERIC, "NUMERIC"},
    {SQL_C_TYPE_DATE, "DATE"},
    {SQL_C_TYPE_TIME, "TIME"},
    {SQL_C_TYPE_TIMESTAMP, "TIMESTAMP"},
    {SQL_C_BINARY, "BINARY"},
    {SQL_C_GUID, "GUID"},
    {SQL_C_INTERVAL_DAY_TO_SECOND, "INTERVAL_DAY_TO_SECOND"},
    {SQL_C_DEFAULT, "DEFAULT"},
};

const char* const kColumns[] = {"b", "t", "s", "i", "g", "r", "d", "ts", "tm", "v", "x", "bl", "u", "p"};

class ConversionTest : public StatementsTest {
 protected:
  void SetUp() override {
    StatementsTest::SetUp();
    table_ = TableName("conv");
    Run("CREATE TABLE " + table_ +
        " (b BOOLEAN, t TINYINT, s SMALLINT, i INTEGER, g BIGINT, r REAL, d DOUBLE,"
        " ts TIMESTAMP, tm TIME, v VARCHAR(20), x TEXT, bl BLOB, u UUID, p PICTURE)");
    SQLHSTMT stmt = NewStatement();
    SQL_TIMESTAMP_STRUCT ts{2021, 3, 4, 5, 6, 7, 0};
    SQL_TIME_STRUCT tm{1, 2, 3};
    SQLGUID u{0x01020304, 0x0506, 0x0708, {9, 10, 11, 12, 13, 14, 15, 16}};
    unsigned char blob[2] = {0x01, 0xAB};
    SQLLEN blob_len = 2;
    STMT_OK(SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, 19, 0, &ts, 0,
                             nullptr));
    STMT_OK(SQLBindParameter(stmt, 2, SQL_PARAM_INPUT, SQL_C_TYPE_TIME, SQL_TYPE_TIME, 8, 0, &tm, 0, nullptr));
    STMT_OK(SQLBindParameter(stmt, 3, SQL_PARAM_INPUT, SQL_C_BINARY, SQL_VARBINARY, 2, 0, blob, 2, &blob_len));
    STMT_OK(SQLBindParameter(stmt, 4, SQL_PARAM_INPUT, SQL_C_GUID, SQL_GUID, 16, 0, &u, 0, nullptr));
    unsigned char png[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    SQLLEN png_len = 8;
    STMT_OK(SQLBindParameter(stmt, 5, SQL_PARAM_INPUT, SQL_C_BINARY, SQL_LONGVARBINARY, 8, 0, png, 8, &png_len));
    ASSERT_TRUE(ExecDirect(stmt, "INSERT INTO " + table_ +
                                     " VALUES (1, 42, -300, 123456, 1099511627776, 2.5, -1234.5, ?, ?, '123',"
                                     " 'hello', ?, ?, ?)"));
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  }

  // Runs the SELECT and fetches its one row on a new statement.
  SQLHSTMT Select() {
    SQLHSTMT stmt = NewStatement();
    std::string cols;
    for (const char* c : kColumns) cols += std::string(cols.empty() ? "" : ", ") + c;
    EXPECT_TRUE(ExecDirect(stmt, "SELECT " + cols + " FROM " + table_));
    EXPECT_EQ(SQLFetch(stmt), SQL_SUCCESS) << Diagnostics(SQL_HANDLE_STMT, stmt);
    return stmt;
  }

  // SQLGetData of column `col` (1-based) into `buf` on a fresh cursor (a
  // column is delivered once per row); returns the SQLSTATE ("" for
  // SQL_SUCCESS, the 01xxx state for a warning).
  std::string Get(SQLHSTMT& stmt, int col, SQLSMALLINT ctype, void* buf, SQLLEN len, SQLLEN* ind) {
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    stmt = Select();
    return GetNext(stmt, col, ctype, buf, len, ind);
  }
  // SQLGetData on the current row as it stands.
  std::string GetNext(SQLHSTMT stmt, int col, SQLSMALLINT ctype, void* buf, SQLLEN len, SQLLEN* ind) {
    SQLRETURN rc = SQLGetData(stmt, static_cast<SQLUSMALLINT>(col), ctype, buf, len, ind);
    if (rc == SQL_SUCCESS) return "";
    if (rc == SQL_NO_DATA) return "NO_DATA";
    std::string state = FirstState(SQL_HANDLE_STMT, stmt);
    return state.empty() ? "rc" + std::to_string(rc) : state;
  }

  std::string table_;
};

int Column(const char* name) {
  for (size_t i = 0; i < std::size(kColumns); ++i) {
    if (std::strcmp(kColumns[i], name) == 0) return static_cast<int>(i + 1);
  }
  return 0;
}

// Every pair answers success or a state ODBC allows for it; nothing else.
TEST_F(ConversionTest, EveryCTypeOfEveryKindAnswersSuccessOrAnOdbcState) {
  const std::set<std::string> allowed = {"", "01004", "01S07", "07006", "22003", "22018", "22007", "22008"};
  for (const auto& [ctype, cname] : kCTypes) {
    SQLHSTMT stmt = Select();
    for (size_t col = 1; col <= std::size(kColumns); ++col) {
      alignas(16) unsigned char buf[256];
      std::memset(buf, 0xCC, sizeof buf);
      SQLLEN ind = 12345;
      std::string state = GetNext(stmt, static_cast<int>(col), ctype, buf, 200, &ind);
      EXPECT_TRUE(allowed.count(state) > 0)
          << kColumns[col - 1] << " as " << cname << " answered " << state << "\n"
          << Diagnostics(SQL_HANDLE_STMT, stmt);
      if (state.empty() || (state[0] == '0' && state[1] == '1')) {
        EXPECT_NE(ind, 12345) << kColumns[col - 1] << " as " << cname << ": no length reported";
        EXPECT_NE(ind, SQL_NULL_DATA) << kColumns[col - 1] << " as " << cname;
      }
    }
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  }
}

TEST_F(ConversionTest, IntegerToEveryTarget) {
  SQLHSTMT stmt = Select();
  const int i = Column("i");
  SQLLEN ind = 0;
  char text[32];
  EXPECT_EQ(Get(stmt, i, SQL_C_CHAR, text, sizeof text, &ind), "");
  EXPECT_STREQ(text, "123456");
  EXPECT_EQ(ind, 6);
  SQLWCHAR wide[32];
  EXPECT_EQ(Get(stmt, i, SQL_C_WCHAR, wide, sizeof wide, &ind), "");
  EXPECT_EQ(Utf8(reinterpret_cast<char16_t*>(wide)), "123456");
  EXPECT_EQ(ind, 12);
  double d = 0;
  EXPECT_EQ(Get(stmt, i, SQL_C_DOUBLE, &d, 0, &ind), "");
  EXPECT_EQ(d, 123456.0);
  SQLBIGINT big = 0;
  EXPECT_EQ(Get(stmt, i, SQL_C_SBIGINT, &big, 0, &ind), "");
  EXPECT_EQ(big, 123456);
  SQL_NUMERIC_STRUCT num{};
  EXPECT_EQ(Get(stmt, i, SQL_C_NUMERIC, &num, sizeof num, &ind), "");
  EXPECT_EQ(num.precision, 6);  // the number of digits of the value
  EXPECT_EQ(num.scale, 0);
  EXPECT_EQ(num.sign, 1);
  EXPECT_EQ(num.val[0] | num.val[1] << 8 | num.val[2] << 16, 123456);
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
}

TEST_F(ConversionTest, BigIntegersAsTextAndUnsigned) {
  SQLHSTMT stmt = Select();
  const int g = Column("g");
  SQLLEN ind = 0;
  char text[32];
  EXPECT_EQ(Get(stmt, g, SQL_C_CHAR, text, sizeof text, &ind), "");
  EXPECT_STREQ(text, "1099511627776");
  SQLUBIGINT ub = 0;
  EXPECT_EQ(Get(stmt, g, SQL_C_UBIGINT, &ub, 0, &ind), "");
  EXPECT_EQ(ub, 1099511627776ull);
  SQLSCHAR st = 0;
  EXPECT_EQ(Get(stmt, Column("t"), SQL_C_STINYINT, &st, 0, &ind), "");
  EXPECT_EQ(st, 42);
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
}

TEST_F(ConversionTest, TimestampToDateTimeTextAndNotToNumbers) {
  SQLHSTMT stmt = Select();
  const int ts = Column("ts");
  SQLLEN ind = 0;
  SQL_TIMESTAMP_STRUCT t{};
  EXPECT_EQ(Get(stmt, ts, SQL_C_TYPE_TIMESTAMP, &t, sizeof t, &ind), "");
  EXPECT_EQ(t.year, 2021);
  EXPECT_EQ(t.month, 3);
  EXPECT_EQ(t.day, 4);
  EXPECT_EQ(t.hour, 5);
  EXPECT_EQ(t.minute, 6);
  EXPECT_EQ(t.second, 7);
  SQL_DATE_STRUCT d{};
  EXPECT_EQ(Get(stmt, ts, SQL_C_TYPE_DATE, &d, sizeof d, &ind), "");
  EXPECT_EQ(d.year, 2021);
  EXPECT_EQ(d.month, 3);
  EXPECT_EQ(d.day, 4);
  // ODBC has no date-to-number conversion.
  SQLINTEGER l = 7;
  EXPECT_EQ(Get(stmt, ts, SQL_C_SLONG, &l, 0, &ind), "07006");
  double dbl = 7;
  EXPECT_EQ(Get(stmt, ts, SQL_C_DOUBLE, &dbl, 0, &ind), "07006");
  SQL_NUMERIC_STRUCT num{};
  EXPECT_EQ(Get(stmt, ts, SQL_C_NUMERIC, &num, sizeof num, &ind), "07006");
  char text[64];
  EXPECT_EQ(Get(stmt, ts, SQL_C_CHAR, text, sizeof text, &ind), "");
  EXPECT_STREQ(text, "2021-03-04 05:06:07");
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
}

TEST_F(ConversionTest, RealsAreDoublesToTheLastDigit) {
  const std::string reals = TableName("reals");
  Run("CREATE TABLE " + reals + " (r REAL)");
  Run("INSERT INTO " + reals + " VALUES (3.141592653589793)");
  SQLHSTMT q = NewStatement();
  ASSERT_TRUE(ExecDirect(q, "SELECT r FROM " + reals));
  SQLSMALLINT type = 0;
  SQLULEN size = 0;
  ASSERT_EQ(SQLDescribeCol(q, 1, nullptr, 0, nullptr, &type, &size, nullptr, nullptr), SQL_SUCCESS);
  EXPECT_EQ(type, SQL_DOUBLE);
  ASSERT_EQ(SQLFetch(q), SQL_SUCCESS);
  double d = 0;
  SQLLEN ind = 0;
  EXPECT_EQ(GetNext(q, 1, SQL_C_DEFAULT, &d, sizeof d, &ind), "");
  EXPECT_EQ(d, 3.141592653589793);
  EXPECT_EQ(ind, 8);
  SQLFreeHandle(SQL_HANDLE_STMT, q);
}

TEST_F(ConversionTest, GuidsBooleansAndTimesAsOdbcText) {
  SQLHSTMT stmt = Select();
  SQLLEN ind = 0;
  // The structure bound at the insert comes back field by field, and its
  // bytes travel in the order of the text form.
  SQLGUID g{};
  EXPECT_EQ(Get(stmt, Column("u"), SQL_C_GUID, &g, sizeof g, &ind), "");
  EXPECT_EQ(g.Data1, 0x01020304u);
  EXPECT_EQ(g.Data2, 0x0506);
  EXPECT_EQ(g.Data3, 0x0708);
  EXPECT_EQ(g.Data4[0], 9);
  EXPECT_EQ(g.Data4[7], 16);
  char text[64];
  EXPECT_EQ(Get(stmt, Column("u"), SQL_C_CHAR, text, sizeof text, &ind), "");
  EXPECT_STREQ(text, "01020304-0506-0708-090A-0B0C0D0E0F10");
  EXPECT_EQ(ind, 36);
  unsigned char bytes[16] = {};
  EXPECT_EQ(Get(stmt, Column("u"), SQL_C_BINARY, bytes, sizeof bytes, &ind), "");
  EXPECT_EQ(bytes[0], 0x01);
  EXPECT_EQ(bytes[3], 0x04);
  EXPECT_EQ(bytes[15], 0x10);
  EXPECT_EQ(Get(stmt, Column("b"), SQL_C_CHAR, text, sizeof text, &ind), "");
  EXPECT_STREQ(text, "1");
  SQLWCHAR wide[32];
  EXPECT_EQ(Get(stmt, Column("ts"), SQL_C_WCHAR, wide, sizeof wide, &ind), "");
  EXPECT_EQ(ind, 2 * 19);
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);

  // Found by a GUID structure and by its text, with or without braces.
  for (int form = 0; form < 3; ++form) {
    SQLHSTMT q = NewStatement();
    SQLGUID key{0x01020304, 0x0506, 0x0708, {9, 10, 11, 12, 13, 14, 15, 16}};
    const char* texts[] = {nullptr, "01020304-0506-0708-090a-0b0c0d0e0f10", "{0102030405060708090A0B0C0D0E0F10}"};
    SQLLEN len = SQL_NTS;
    if (form == 0) {
      STMT_OK(SQLBindParameter(q, 1, SQL_PARAM_INPUT, SQL_C_GUID, SQL_GUID, 16, 0, &key, 0, nullptr));
    } else {
      STMT_OK(SQLBindParameter(q, 1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 40, 0,
                               const_cast<char*>(texts[form]), 0, &len));
    }
    ASSERT_TRUE(ExecDirect(q, "SELECT COUNT(*) FROM " + table_ + " WHERE u = ?"));
    ASSERT_EQ(SQLFetch(q), SQL_SUCCESS);
    SQLINTEGER count = 0;
    EXPECT_EQ(SQLGetData(q, 1, SQL_C_SLONG, &count, 0, nullptr), SQL_SUCCESS);
    EXPECT_EQ(count, 1) << "form " << form;
    SQLFreeHandle(SQL_HANDLE_STMT, q);
  }
}

TEST_F(ConversionTest, DurationToTimeAndIntervalStructure) {
  SQLHSTMT stmt = Select();
  const int tm = Column("tm");
  SQLLEN ind = 0;
  SQL_TIME_STRUCT t{};
  EXPECT_EQ(Get(stmt, tm, SQL_C_TYPE_TIME, &t, sizeof t, &ind), "");
  EXPECT_EQ(t.hour, 1);
  EXPECT_EQ(t.minute, 2);
  EXPECT_EQ(t.second, 3);
  SQL_INTERVAL_STRUCT iv;
  std::memset(&iv, 0xFF, sizeof iv);
  EXPECT_EQ(Get(stmt, tm, SQL_C_INTERVAL_DAY_TO_SECOND, &iv, sizeof iv, &ind), "");
  EXPECT_EQ(iv.interval_type, SQL_IS_DAY_TO_SECOND);
  EXPECT_EQ(iv.interval_sign, 0);
  EXPECT_EQ(iv.intval.day_second.day, 0u);
  EXPECT_EQ(iv.intval.day_second.hour, 1u);
  EXPECT_EQ(iv.intval.day_second.minute, 2u);
  EXPECT_EQ(iv.intval.day_second.second, 3u);
  EXPECT_EQ(iv.intval.day_second.fraction, 0u);
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);

  // 25 hours is no time of day: 22008 rather than 01:00:00; as an interval
  // it is a day and an hour.
  const std::string spans = TableName("spans");
  Run("CREATE TABLE " + spans + " (d TIME)");
  Run("INSERT INTO " + spans + " VALUES (90000000)");
  auto get = [&](SQLSMALLINT ctype, void* buf, SQLLEN len) {
    SQLHSTMT q = NewStatement();
    EXPECT_TRUE(ExecDirect(q, "SELECT d FROM " + spans));
    EXPECT_EQ(SQLFetch(q), SQL_SUCCESS);
    std::string state = GetNext(q, 1, ctype, buf, len, &ind);
    SQLFreeHandle(SQL_HANDLE_STMT, q);
    return state;
  };
  EXPECT_EQ(get(SQL_C_TYPE_TIME, &t, sizeof t), "22008");
  EXPECT_EQ(get(SQL_C_INTERVAL_DAY_TO_SECOND, &iv, sizeof iv), "");
  EXPECT_EQ(iv.intval.day_second.day, 1u);
  EXPECT_EQ(iv.intval.day_second.hour, 1u);
}

TEST_F(ConversionTest, TextToNumbersAndBlobToHex) {
  SQLHSTMT stmt = Select();
  SQLLEN ind = 0;
  SQLINTEGER l = 0;
  EXPECT_EQ(Get(stmt, Column("v"), SQL_C_SLONG, &l, 0, &ind), "");
  EXPECT_EQ(l, 123);
  char hex[16];
  EXPECT_EQ(Get(stmt, Column("bl"), SQL_C_CHAR, hex, sizeof hex, &ind), "");
  EXPECT_EQ(std::string(hex), "01AB");
  SQLGUID g{};
  EXPECT_EQ(Get(stmt, Column("u"), SQL_C_GUID, &g, sizeof g, &ind), "");
  EXPECT_EQ(g.Data1, 0x01020304u);
  EXPECT_EQ(g.Data4[7], 16);
  double r = 0;
  EXPECT_EQ(Get(stmt, Column("r"), SQL_C_DOUBLE, &r, 0, &ind), "");
  EXPECT_EQ(r, 2.5);
  float f = 0;
  EXPECT_EQ(Get(stmt, Column("d"), SQL_C_FLOAT, &f, 0, &ind), "");
  EXPECT_EQ(f, -1234.5f);
  unsigned char bit = 9;
  EXPECT_EQ(Get(stmt, Column("b"), SQL_C_BIT, &bit, 0, &ind), "");
  EXPECT_EQ(bit, 1);
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
}

// Checked conversions through SQLGetData: a value that does not fit fails the
// call with 22003 and leaves the buffer alone, a text that is no number 22018,
// a fraction cut off 01S07.
TEST_F(ConversionTest, OutOfRangeAndNonNumericTextFailSqlGetData) {
  SQLHSTMT stmt = NewStatement();
  ASSERT_TRUE(ExecDirect(stmt, "SELECT 70000, -1, 'abc', 12.75, 300"));
  STMT_OK(SQLFetch(stmt));
  SQLSMALLINT small = 7;
  SQLLEN ind = 0;
  EXPECT_EQ(SQLGetData(stmt, 1, SQL_C_SSHORT, &small, 0, &ind), SQL_ERROR);
  EXPECT_EQ(FirstState(SQL_HANDLE_STMT, stmt), "22003");
  EXPECT_EQ(small, 7) << "the buffer was written";
  SQLUINTEGER u = 7;
  EXPECT_EQ(SQLGetData(stmt, 2, SQL_C_ULONG, &u, 0, &ind), SQL_ERROR);
  EXPECT_EQ(FirstState(SQL_HANDLE_STMT, stmt), "22003");
  SQLINTEGER i = 7;
  EXPECT_EQ(SQLGetData(stmt, 3, SQL_C_SLONG, &i, 0, &ind), SQL_ERROR);
  EXPECT_EQ(FirstState(SQL_HANDLE_STMT, stmt), "22018");
  EXPECT_EQ(i, 7);
  EXPECT_EQ(SQLGetData(stmt, 4, SQL_C_SLONG, &i, 0, &ind), SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(FirstState(SQL_HANDLE_STMT, stmt), "01S07");
  EXPECT_EQ(i, 12);
  SQLCHAR tiny = 0;
  EXPECT_EQ(SQLGetData(stmt, 5, SQL_C_UTINYINT, &tiny, 0, &ind), SQL_ERROR);
  EXPECT_EQ(FirstState(SQL_HANDLE_STMT, stmt), "22003");
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
}

// In a bound rowset a cell that cannot be delivered marks its row
// SQL_ROW_ERROR and names the row and the column; the other rows arrive and
// the fetch answers with a warning. A rowset of one row fails.
TEST_F(ConversionTest, OutOfRangeCellMarksItsRowInABoundRowset) {
  const std::string table = TableName("range");
  Run("CREATE TABLE " + table + " (id INTEGER, n INTEGER)");
  Run("INSERT INTO " + table + " VALUES (1, 10), (2, 70000), (3, 30)");
  SQLHSTMT stmt = NewStatement();
  SQLSMALLINT n[3] = {0, 0, 0};
  SQLLEN ind[3] = {0, 0, 0};
  SQLUSMALLINT status[3] = {99, 99, 99};
  SQLULEN fetched = 0;
  STMT_OK(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(3), 0));
  STMT_OK(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_STATUS_PTR, status, 0));
  STMT_OK(SQLSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0));
  STMT_OK(SQLBindCol(stmt, 1, SQL_C_SSHORT, n, 0, ind));
  ASSERT_TRUE(ExecDirect(stmt, "SELECT n FROM " + table + " ORDER BY id"));
  EXPECT_EQ(SQLFetch(stmt), SQL_SUCCESS_WITH_INFO) << Diagnostics(SQL_HANDLE_STMT, stmt);
  EXPECT_EQ(fetched, 3u);
  EXPECT_EQ(status[0], SQL_ROW_SUCCESS);
  EXPECT_EQ(status[1], SQL_ROW_ERROR);
  EXPECT_EQ(status[2], SQL_ROW_SUCCESS);
  EXPECT_EQ(n[0], 10);
  EXPECT_EQ(n[2], 30);
  EXPECT_EQ(FirstState(SQL_HANDLE_STMT, stmt), "22003");
  SQLLEN row = 0;
  SQLINTEGER column = 0;
  EXPECT_EQ(SQLGetDiagField(SQL_HANDLE_STMT, stmt, 1, SQL_DIAG_ROW_NUMBER, &row, 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(SQLGetDiagField(SQL_HANDLE_STMT, stmt, 1, SQL_DIAG_COLUMN_NUMBER, &column, 0, nullptr),
            SQL_SUCCESS);
  EXPECT_EQ(row, 2);
  EXPECT_EQ(column, 1);
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);

  stmt = NewStatement();
  SQLSMALLINT one = 0;
  SQLLEN one_ind = 0;
  STMT_OK(SQLBindCol(stmt, 1, SQL_C_SSHORT, &one, 0, &one_ind));
  ASSERT_TRUE(ExecDirect(stmt, "SELECT n FROM " + table + " WHERE id = 2"));
  EXPECT_EQ(SQLFetch(stmt), SQL_ERROR);
  EXPECT_EQ(FirstState(SQL_HANDLE_STMT, stmt), "22003");
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
}

// Bound columns take the same conversions; every column bound as text
// delivers the whole row.
TEST_F(ConversionTest, BoundColumnsAsTextAndAnImpossibleBinding) {
  for (SQLSMALLINT ctype : {SQL_C_CHAR, SQL_C_WCHAR}) {
    SQLHSTMT stmt = NewStatement();
    std::vector<std::vector<char>> bufs(std::size(kColumns), std::vector<char>(128));
    std::vector<SQLLEN> inds(std::size(kColumns), 0);
    for (size_t c = 0; c < std::size(kColumns); ++c) {
      STMT_OK(SQLBindCol(stmt, static_cast<SQLUSMALLINT>(c + 1), ctype, bufs[c].data(), 128, &inds[c]));
    }
    std::string cols;
    for (const char* c : kColumns) cols += std::string(cols.empty() ? "" : ", ") + c;
    ASSERT_TRUE(ExecDirect(stmt, "SELECT " + cols + " FROM " + table_));
    EXPECT_EQ(SQLFetch(stmt), SQL_SUCCESS) << Diagnostics(SQL_HANDLE_STMT, stmt);
    for (size_t c = 0; c < std::size(kColumns); ++c) {
      EXPECT_GT(inds[c], 0) << kColumns[c];
    }
    if (ctype == SQL_C_CHAR) {
      EXPECT_STREQ(bufs[Column("i") - 1].data(), "123456");
    }
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  }
  SQLHSTMT stmt = NewStatement();
  double d = 0;
  SQLLEN ind = 0;
  STMT_OK(SQLBindCol(stmt, 1, SQL_C_DOUBLE, &d, 0, &ind));
  ASSERT_TRUE(ExecDirect(stmt, "SELECT ts FROM " + table_));
  SQLRETURN rc = SQLFetch(stmt);
  EXPECT_FALSE(rc == SQL_SUCCESS) << "a timestamp delivered as a double: " << d;
  EXPECT_NE(Diagnostics(SQL_HANDLE_STMT, stmt).find("07006"), std::string::npos)
      << Diagnostics(SQL_HANDLE_STMT, stmt);
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
}

TEST_F(ConversionTest, PictureAsBinaryAndHexText) {
  SQLHSTMT stmt = Select();
  SQLLEN ind = 0;
  unsigned char bytes[16] = {};
  EXPECT_EQ(Get(stmt, Column("p"), SQL_C_BINARY, bytes, sizeof bytes, &ind), "");
  EXPECT_EQ(ind, 8);
  EXPECT_EQ(bytes[0], 0x89);
  EXPECT_EQ(bytes[7], 0x0A);
  char hex[32];
  EXPECT_EQ(Get(stmt, Column("p"), SQL_C_CHAR, hex, sizeof hex, &ind), "");
  EXPECT_STREQ(hex, "89504E470D0A1A0A");
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
}

// NULL in every kind reaches every C type as SQL_NULL_DATA.
TEST_F(ConversionTest, NullOfEveryKindIntoEveryCType) {
  const std::string nulls = TableName("nulls");
  Run("CREATE TABLE " + nulls +
      " (b BOOLEAN, t TINYINT, s SMALLINT, i INTEGER, g BIGINT, r REAL, d DOUBLE,"
      " ts TIMESTAMP, tm TIME, v VARCHAR(20), x TEXT, bl BLOB, u UUID, p PICTURE)");
  Run("INSERT INTO " + nulls + " (b) VALUES (NULL)");
  for (const auto& [ctype, cname] : kCTypes) {
    SQLHSTMT stmt = NewStatement();
    ASSERT_TRUE(ExecDirect(stmt, "SELECT * FROM " + nulls));
    STMT_OK(SQLFetch(stmt));
    for (size_t col = 1; col <= std::size(kColumns); ++col) {
      alignas(16) unsigned char buf[64];
      SQLLEN ind = 0;
      SQLRETURN rc = SQLGetData(stmt, static_cast<SQLUSMALLINT>(col), ctype, buf, sizeof buf, &ind);
      EXPECT_EQ(rc, SQL_SUCCESS) << kColumns[col - 1] << " as " << cname << "\n"
                                 << Diagnostics(SQL_HANDLE_STMT, stmt);
      EXPECT_EQ(ind, SQL_NULL_DATA) << kColumns[col - 1] << " as " << cname;
    }
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  }
}

// A NULL delivered where the application gave no indicator is an error
// (22002), not a success that leaves the buffer's old contents as the value.
TEST_F(ConversionTest, NullWithoutAnIndicatorIsAnError) {
  SQLHSTMT stmt = NewStatement();
  ASSERT_TRUE(ExecDirect(stmt, "SELECT NULL, 5"));
  STMT_OK(SQLFetch(stmt));
  SQLINTEGER v = 77;
  EXPECT_EQ(SQLGetData(stmt, 1, SQL_C_SLONG, &v, 0, nullptr), SQL_ERROR);
  EXPECT_EQ(FirstState(SQL_HANDLE_STMT, stmt), "22002");
  SQLLEN ind = 0;
  STMT_OK(SQLGetData(stmt, 1, SQL_C_SLONG, &v, 0, &ind));
  EXPECT_EQ(ind, SQL_NULL_DATA);
  // A value needs no indicator.
  STMT_OK(SQLGetData(stmt, 2, SQL_C_SLONG, &v, 0, nullptr));
  EXPECT_EQ(v, 5);
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);

  stmt = NewStatement();
  SQLINTEGER a = 77, b = 0;
  STMT_OK(SQLBindCol(stmt, 1, SQL_C_SLONG, &a, 0, nullptr));
  STMT_OK(SQLBindCol(stmt, 2, SQL_C_SLONG, &b, 0, nullptr));
  ASSERT_TRUE(ExecDirect(stmt, "SELECT NULL, 5"));
  SQLRETURN rc = SQLFetch(stmt);
  EXPECT_FALSE(rc == SQL_SUCCESS);
  EXPECT_NE(Diagnostics(SQL_HANDLE_STMT, stmt).find("22002"), std::string::npos)
      << Diagnostics(SQL_HANDLE_STMT, stmt);
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
}

}  // namespace
}  // namespace kestrion_dm
