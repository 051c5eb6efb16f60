// Values of every kind written with bound parameters and read back through
// the Driver Manager: NULL, empty, the limits of each kind, text beyond the
// BMP, and 5 MB of text and binary sent with SQLPutData and read back with
// SQLGetData in pieces.
#include <cfloat>
#include <cstddef>
#include <climits>
#include <cstring>
#include <vector>

#include "tests/dm/statements_fixture.h"

namespace kestrion_dm {
namespace {

struct Row {
  SQLINTEGER id = 0;
  unsigned char boolean = 0;
  SQLSMALLINT tiny = 0;
  SQLSMALLINT small = 0;
  SQLINTEGER integer = 0;
  SQLBIGINT big = 0;
  double real = 0;
  double dbl = 0;
  SQL_TIMESTAMP_STRUCT ts{};
  SQL_TIME_STRUCT tm{};
  std::u16string text;
  std::string blob;
  SQLGUID uuid{};
};

class RoundTripTest : public StatementsTest {
 protected:
  void CreateTable() {
    table_ = TableName("kinds");
    Run("CREATE TABLE " + table_ +
        " (id INTEGER, b BOOLEAN, t TINYINT, s SMALLINT, i INTEGER, g BIGINT, r REAL, d DOUBLE,"
        " ts TIMESTAMP, tm TIME, v VARCHAR(200), x TEXT, bl BLOB, u UUID)");
  }

  // Inserts `row`, every column NULL when `null_values`.
  void Insert(const Row& row, bool null_values) {
    SQLHSTMT stmt = NewStatement();
    std::u16string sql = Utf16("INSERT INTO " + table_ + " VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
    STMT_OK(SQLPrepareW(stmt, Wide(sql), SQL_NTS));
    Row r = row;
    std::vector<SQLLEN> ind(14, 0);
    auto bind = [&](int n, SQLSMALLINT ctype, SQLSMALLINT sqltype, void* p, SQLLEN len) {
      ind[n - 1] = (null_values && n > 1) ? SQL_NULL_DATA : len;
      STMT_OK(SQLBindParameter(stmt, n, SQL_PARAM_INPUT, ctype, sqltype, 200, 3, p, len, &ind[n - 1]));
    };
    bind(1, SQL_C_SLONG, SQL_INTEGER, &r.id, 0);
    bind(2, SQL_C_BIT, SQL_BIT, &r.boolean, 0);
    bind(3, SQL_C_SSHORT, SQL_TINYINT, &r.tiny, 0);
    bind(4, SQL_C_SSHORT, SQL_SMALLINT, &r.small, 0);
    bind(5, SQL_C_SLONG, SQL_INTEGER, &r.integer, 0);
    bind(6, SQL_C_SBIGINT, SQL_BIGINT, &r.big, 0);
    bind(7, SQL_C_DOUBLE, SQL_DOUBLE, &r.real, 0);
    bind(8, SQL_C_DOUBLE, SQL_DOUBLE, &r.dbl, 0);
    bind(9, SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, &r.ts, 0);
    bind(10, SQL_C_TYPE_TIME, SQL_TYPE_TIME, &r.tm, 0);
    bind(11, SQL_C_WCHAR, SQL_WVARCHAR, r.text.data(),
         static_cast<SQLLEN>(r.text.size() * sizeof(char16_t)));
    bind(12, SQL_C_WCHAR, SQL_WLONGVARCHAR, r.text.data(),
         static_cast<SQLLEN>(r.text.size() * sizeof(char16_t)));
    bind(13, SQL_C_BINARY, SQL_LONGVARBINARY, r.blob.data(), static_cast<SQLLEN>(r.blob.size()));
    bind(14, SQL_C_GUID, SQL_GUID, &r.uuid, 0);
    STMT_OK(SQLExecute(stmt));
    SQLLEN count = -2;
    EXPECT_EQ(SQLRowCount(stmt, &count), SQL_SUCCESS);
    EXPECT_EQ(count, 1);
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  }

  // Reads the row with `id` back with SQLGetData into the natural C types.
  void ExpectRow(const Row& want, bool null_values) {
    SQLHSTMT stmt = NewStatement();
    ASSERT_TRUE(ExecDirect(stmt, "SELECT * FROM " + table_ + " WHERE id = " + std::to_string(want.id)));
    STMT_OK(SQLFetch(stmt));
    Row got;
    SQLLEN ind = 0;
    auto get = [&](int n, SQLSMALLINT ctype, void* p, SQLLEN len) -> bool {
      SQLRETURN rc = SQLGetData(stmt, n, ctype, p, len, &ind);
      EXPECT_TRUE(SQL_SUCCEEDED(rc)) << "column " << n << ": " << Diagnostics(SQL_HANDLE_STMT, stmt);
      if (null_values) {
        EXPECT_EQ(ind, SQL_NULL_DATA) << "column " << n;
        return false;
      }
      EXPECT_NE(ind, SQL_NULL_DATA) << "column " << n;
      return ind != SQL_NULL_DATA;
    };
    if (get(2, SQL_C_BIT, &got.boolean, 0)) { EXPECT_EQ(got.boolean, want.boolean); }
    if (get(3, SQL_C_SSHORT, &got.tiny, 0)) { EXPECT_EQ(got.tiny, want.tiny); }
    if (get(4, SQL_C_SSHORT, &got.small, 0)) { EXPECT_EQ(got.small, want.small); }
    if (get(5, SQL_C_SLONG, &got.integer, 0)) { EXPECT_EQ(got.integer, want.integer); }
    if (get(6, SQL_C_SBIGINT, &got.big, 0)) { EXPECT_EQ(got.big, want.big); }
    if (get(7, SQL_C_DOUBLE, &got.real, 0)) { EXPECT_EQ(got.real, want.real); }
    if (get(8, SQL_C_DOUBLE, &got.dbl, 0)) { EXPECT_EQ(got.dbl, want.dbl); }
    if (get(9, SQL_C_TYPE_TIMESTAMP, &got.ts, sizeof got.ts)) {
      EXPECT_EQ(got.ts.year, want.ts.year);
      EXPECT_EQ(got.ts.month, want.ts.month);
      EXPECT_EQ(got.ts.day, want.ts.day);
      EXPECT_EQ(got.ts.hour, want.ts.hour);
      EXPECT_EQ(got.ts.minute, want.ts.minute);
      EXPECT_EQ(got.ts.second, want.ts.second);
      EXPECT_EQ(got.ts.fraction, want.ts.fraction);
    }
    if (get(10, SQL_C_TYPE_TIME, &got.tm, sizeof got.tm)) {
      EXPECT_EQ(got.tm.hour, want.tm.hour);
      EXPECT_EQ(got.tm.minute, want.tm.minute);
      EXPECT_EQ(got.tm.second, want.tm.second);
    }
    for (int col : {11, 12}) {
      std::vector<char16_t> buf(1024, u'#');
      if (get(col, SQL_C_WCHAR, buf.data(), static_cast<SQLLEN>(buf.size() * 2))) {
        EXPECT_EQ(ind, static_cast<SQLLEN>(want.text.size() * 2)) << "column " << col;
        EXPECT_EQ(std::u16string(buf.data()), want.text) << "column " << col;
      }
    }
    {
      // The same text as UTF-8 through the narrow C type.
      char buf[1024];
      std::memset(buf, '#', sizeof buf);
      if (get(11, SQL_C_CHAR, buf, sizeof buf)) { EXPECT_EQ(std::string(buf), Utf8(want.text)); }
    }
    std::vector<char> bin(1024, '#');
    if (get(13, SQL_C_BINARY, bin.data(), static_cast<SQLLEN>(bin.size()))) {
      ASSERT_EQ(ind, static_cast<SQLLEN>(want.blob.size()));
      EXPECT_EQ(std::string(bin.data(), want.blob.size()), want.blob);
    }
    if (get(14, SQL_C_GUID, &got.uuid, sizeof got.uuid)) {
      EXPECT_EQ(std::memcmp(&got.uuid, &want.uuid, sizeof want.uuid), 0);
    }
    EXPECT_EQ(SQLFetch(stmt), SQL_NO_DATA);
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  }

  std::string table_;
};

Row Lowest() {
  Row r;
  r.id = 1;
  r.boolean = 0;
  r.tiny = 0;
  r.small = SHRT_MIN;
  r.integer = INT_MIN;
  r.big = LLONG_MIN;
  r.real = -3.25e38;
  r.dbl = -DBL_MAX;
  r.ts = SQL_TIMESTAMP_STRUCT{1900, 1, 1, 0, 0, 0, 0};
  r.tm = SQL_TIME_STRUCT{0, 0, 0};
  r.text = Utf16("a\xF0\x9F\x98\x80 \xC3\xA9t\xC3\xA9 \xE4\xB8\xAD \xF0\x9D\x84\x9E");  // non-BMP
  r.blob = std::string("\x00\x01\xFF\x80", 4);
  r.uuid = SQLGUID{0x00112233, 0x4455, 0x6677, {0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}};
  return r;
}

Row Highest() {
  Row r;
  r.id = 2;
  r.boolean = 1;
  r.tiny = 127;
  r.small = SHRT_MAX;
  r.integer = INT_MAX;
  r.big = LLONG_MAX;
  r.real = 3.25e38;
  r.dbl = DBL_MAX;
  r.ts = SQL_TIMESTAMP_STRUCT{2999, 12, 31, 23, 59, 59, 123000000};
  r.tm = SQL_TIME_STRUCT{23, 59, 59};
  r.text = Utf16(std::string(150, 'z') + "\xF0\x9F\x8E\x89");
  r.blob = std::string(300, '\xAB');
  r.uuid = SQLGUID{0xFFFFFFFF, 0xFFFF, 0xFFFF, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}};
  return r;
}

TEST_F(RoundTripTest, EveryKindKeepsItsLimitsNullsAndNonBmpText) {
  CreateTable();
  Insert(Lowest(), false);
  Insert(Highest(), false);
  Row nulls;
  nulls.id = 3;
  Insert(nulls, true);
  ExpectRow(Lowest(), false);
  ExpectRow(Highest(), false);
  ExpectRow(nulls, true);
}

TEST_F(RoundTripTest, EmptyTextAndBlobStayEmptyNotNull) {
  CreateTable();
  Row empty = Lowest();
  empty.id = 4;
  empty.text.clear();
  empty.blob.clear();
  Insert(empty, false);
  SQLHSTMT stmt = NewStatement();
  ASSERT_TRUE(ExecDirect(stmt, "SELECT v, x, bl, v IS NULL, bl IS NULL FROM " + table_));
  STMT_OK(SQLFetch(stmt));
  SQLLEN ind = -7;
  SQLWCHAR w[8];
  STMT_OK(SQLGetData(stmt, 1, SQL_C_WCHAR, w, sizeof w, &ind));
  EXPECT_EQ(ind, 0);
  EXPECT_EQ(w[0], 0);
  STMT_OK(SQLGetData(stmt, 2, SQL_C_WCHAR, w, sizeof w, &ind));
  EXPECT_EQ(ind, 0);
  char b[8];
  STMT_OK(SQLGetData(stmt, 3, SQL_C_BINARY, b, sizeof b, &ind));
  EXPECT_EQ(ind, 0);
  SQLINTEGER is_null = -1;
  STMT_OK(SQLGetData(stmt, 4, SQL_C_SLONG, &is_null, 0, &ind));
  EXPECT_EQ(is_null, 0);
  STMT_OK(SQLGetData(stmt, 5, SQL_C_SLONG, &is_null, 0, &ind));
  EXPECT_EQ(is_null, 0);
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
}

// 5 MB sent in pieces with SQLPutData, read back in pieces with SQLGetData.
TEST_F(RoundTripTest, FiveMegabytesOfTextAndBinaryInPieces) {
  const std::string table = TableName("big");
  Run("CREATE TABLE " + table + " (id INTEGER, x TEXT, bl BLOB)");
  const size_t kSize = 5 * 1024 * 1024;
  std::u16string text(kSize / 2, u'a');  // 5 MB of UTF-16
  for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char16_t>(u'a' + i % 26);
  text[12345] = u'\x00e9';
  text[kSize / 2 - 2] = 0xD83D;  // a non-BMP character at the very end
  text[kSize / 2 - 1] = 0xDE00;
  std::string blob(kSize, '\0');
  for (size_t i = 0; i < blob.size(); ++i) blob[i] = static_cast<char>((i * 7) & 0xFF);

  SQLHSTMT stmt = NewStatement();
  std::u16string sql = Utf16("INSERT INTO " + table + " VALUES (1, ?, ?)");
  STMT_OK(SQLPrepareW(stmt, Wide(sql), SQL_NTS));
  SQLLEN text_ind = SQL_LEN_DATA_AT_EXEC(static_cast<SQLLEN>(text.size() * 2));
  SQLLEN blob_ind = SQL_LEN_DATA_AT_EXEC(static_cast<SQLLEN>(blob.size()));
  STMT_OK(SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WLONGVARCHAR, kSize, 0,
                           reinterpret_cast<SQLPOINTER>(1), 0, &text_ind));
  STMT_OK(SQLBindParameter(stmt, 2, SQL_PARAM_INPUT, SQL_C_BINARY, SQL_LONGVARBINARY, kSize, 0,
                           reinterpret_cast<SQLPOINTER>(2), 0, &blob_ind));
  ASSERT_EQ(SQLExecute(stmt), SQL_NEED_DATA) << Diagnostics(SQL_HANDLE_STMT, stmt);
  SQLPOINTER token = nullptr;
  SQLRETURN rc;
  int seen = 0;
  while ((rc = SQLParamData(stmt, &token)) == SQL_NEED_DATA) {
    ++seen;
    const size_t piece = 300000;  // not a divisor of the size: the last piece is short
    if (token == reinterpret_cast<SQLPOINTER>(1)) {
      // Pieces of whole UTF-16 units.
      const char* p = reinterpret_cast<const char*>(text.data());
      for (size_t at = 0; at < text.size() * 2; at += piece) {
        STMT_OK(SQLPutData(stmt, const_cast<char*>(p + at),
                           static_cast<SQLLEN>(std::min(piece, text.size() * 2 - at))));
      }
    } else {
      ASSERT_EQ(token, reinterpret_cast<SQLPOINTER>(2));
      for (size_t at = 0; at < blob.size(); at += piece) {
        STMT_OK(SQLPutData(stmt, blob.data() + at, static_cast<SQLLEN>(std::min(piece, blob.size() - at))));
      }
    }
  }
  KESTRION_ASSERT_OK(rc, SQL_HANDLE_STMT, stmt);
  EXPECT_EQ(seen, 2);
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);

  stmt = NewStatement();
  ASSERT_TRUE(ExecDirect(stmt, "SELECT x, bl, length(bl) FROM " + table));
  STMT_OK(SQLFetch(stmt));
  // Text in pieces of 64 K units; each piece but the last is truncated
  // (01004) and reports what is left.
  std::u16string got;
  std::vector<char16_t> buf(65536);
  int pieces = 0;
  SQLLEN ind = 0;
  while ((rc = SQLGetData(stmt, 1, SQL_C_WCHAR, buf.data(), static_cast<SQLLEN>(buf.size() * 2), &ind)) !=
         SQL_NO_DATA) {
    ASSERT_TRUE(SQL_SUCCEEDED(rc)) << Diagnostics(SQL_HANDLE_STMT, stmt);
    ASSERT_NE(ind, SQL_NULL_DATA);
    if (pieces == 0) { EXPECT_EQ(ind, static_cast<SQLLEN>(text.size() * 2)); }
    if (rc == SQL_SUCCESS_WITH_INFO) {
      EXPECT_EQ(FirstState(SQL_HANDLE_STMT, stmt), "01004");
      got.append(buf.data(), buf.size() - 1);
    } else {
      got.append(buf.data(), static_cast<size_t>(ind) / 2);
    }
    ASSERT_LT(++pieces, 1000);
  }
  EXPECT_GT(pieces, 40);
  ASSERT_EQ(got.size(), text.size());
  EXPECT_TRUE(got == text);

  std::string bin;
  std::vector<char> bbuf(100000);
  pieces = 0;
  while ((rc = SQLGetData(stmt, 2, SQL_C_BINARY, bbuf.data(), static_cast<SQLLEN>(bbuf.size()), &ind)) !=
         SQL_NO_DATA) {
    ASSERT_TRUE(SQL_SUCCEEDED(rc)) << Diagnostics(SQL_HANDLE_STMT, stmt);
    if (pieces == 0) { EXPECT_EQ(ind, static_cast<SQLLEN>(blob.size())); }
    const size_t n = rc == SQL_SUCCESS_WITH_INFO ? bbuf.size() : static_cast<size_t>(ind);
    bin.append(bbuf.data(), n);
    ASSERT_LT(++pieces, 1000);
  }
  ASSERT_EQ(bin.size(), blob.size());
  EXPECT_TRUE(bin == blob);
  SQLBIGINT server_length = 0;
  STMT_OK(SQLGetData(stmt, 3, SQL_C_SBIGINT, &server_length, 0, &ind));
  EXPECT_EQ(server_length, static_cast<SQLBIGINT>(kSize));
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
}

// The same large values bound directly (no data at execution) come back
// whole through bound columns sized to fit.
TEST_F(RoundTripTest, FiveMegabytesBoundDirectly) {
  const std::string table = TableName("big");
  Run("CREATE TABLE " + table + " (x TEXT, bl BLOB)");
  const size_t kSize = 5 * 1024 * 1024;
  std::string text(kSize, 'q');
  text[kSize - 1] = 'Z';
  std::string blob(kSize, '\x01');
  blob[0] = '\0';
  SQLHSTMT stmt = NewStatement();
  SQLLEN text_len = SQL_NTS;
  SQLLEN blob_len = static_cast<SQLLEN>(blob.size());
  STMT_OK(SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_LONGVARCHAR, kSize, 0, text.data(),
                           0, &text_len));
  STMT_OK(SQLBindParameter(stmt, 2, SQL_PARAM_INPUT, SQL_C_BINARY, SQL_LONGVARBINARY, kSize, 0,
                           blob.data(), 0, &blob_len));
  ASSERT_TRUE(ExecDirect(stmt, "INSERT INTO " + table + " VALUES (?, ?)"));
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);

  stmt = NewStatement();
  std::vector<char> tb(kSize + 1), bb(kSize);
  SQLLEN ti = 0, bi = 0;
  STMT_OK(SQLBindCol(stmt, 1, SQL_C_CHAR, tb.data(), static_cast<SQLLEN>(tb.size()), &ti));
  STMT_OK(SQLBindCol(stmt, 2, SQL_C_BINARY, bb.data(), static_cast<SQLLEN>(bb.size()), &bi));
  ASSERT_TRUE(ExecDirect(stmt, "SELECT x, bl FROM " + table));
  STMT_OK(SQLFetch(stmt));
  EXPECT_EQ(ti, static_cast<SQLLEN>(kSize));
  EXPECT_EQ(bi, static_cast<SQLLEN>(kSize));
  EXPECT_TRUE(std::string(tb.data()) == text);
  EXPECT_TRUE(std::string(bb.data(), bb.size()) == blob);
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
}

// With a parameter bind offset, the token SQLParamData hands back is the
// bound address plus the offset, as ODBC defines it: applications that bind
// relative addresses (pyodbc's fast executemany) dereference it.
TEST_F(RoundTripTest, DataAtExecutionTokenCarriesTheBindOffset) {
  const std::string table = TableName("dae");
  Run("CREATE TABLE " + table + " (x TEXT)");
  struct Row {
    SQLLEN pad;  // keeps both relative addresses away from 0 (a null pointer)
    char text[16];
    SQLLEN length;
  } row{};
  SQLLEN offset = reinterpret_cast<SQLLEN>(&row);
  row.length = SQL_LEN_DATA_AT_EXEC(5);
  SQLHSTMT stmt = NewStatement();
  STMT_OK(SQLSetStmtAttr(stmt, SQL_ATTR_PARAM_BIND_OFFSET_PTR, &offset, 0));
  STMT_OK(SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_LONGVARCHAR, 5, 0,
                           reinterpret_cast<SQLPOINTER>(offsetof(Row, text)), sizeof row.text,
                           reinterpret_cast<SQLLEN*>(offsetof(Row, length))));
  std::u16string sql = Utf16("INSERT INTO " + table + " VALUES (?)");
  ASSERT_EQ(SQLExecDirectW(stmt, Wide(sql), SQL_NTS), SQL_NEED_DATA) << Diagnostics(SQL_HANDLE_STMT, stmt);
  SQLPOINTER token = nullptr;
  ASSERT_EQ(SQLParamData(stmt, &token), SQL_NEED_DATA);
  EXPECT_EQ(token, static_cast<SQLPOINTER>(row.text));
  char piece[] = "hello";
  STMT_OK(SQLPutData(stmt, piece, 5));
  STMT_OK(SQLParamData(stmt, &token));
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  stmt = NewStatement();
  ASSERT_TRUE(ExecDirect(stmt, "SELECT x FROM " + table));
  STMT_OK(SQLFetch(stmt));
  char got[16] = {};
  SQLLEN ind = 0;
  STMT_OK(SQLGetData(stmt, 1, SQL_C_CHAR, got, sizeof got, &ind));
  EXPECT_STREQ(got, "hello");
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
}

}  // namespace
}  // namespace kestrion_dm
