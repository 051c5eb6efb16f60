// SQLBindCol, SQLBindParameter and bind-a-record: what a binding writes into
// the record for every type class, and the refused arguments.
#include "driver/bind_record.h"
#include "tests/driver/attribute_fixture.h"

namespace {

using namespace attrs_test;
using kestrion::DescriptorRecord;
using kestrion::DescriptorRole;

struct Binding : StatementFixture {
  const DescriptorRecord& ArdRecord(int n) {
    return Desc(Current(DescriptorRole::AppRow)).records.at(static_cast<size_t>(n));
  }
  const DescriptorRecord& ApdRecord(int n) {
    return Desc(Current(DescriptorRole::AppParam)).records.at(static_cast<size_t>(n));
  }
};

struct BoundRecord {
  SQLSMALLINT c_type;
  SQLSMALLINT concise;
  SQLSMALLINT type;
  SQLSMALLINT subcode;
  SQLLEN length;  // for a 100-byte buffer
  SQLSMALLINT is_unsigned;
  const char16_t* type_name;
  int32_t display;
};

TEST_F(Binding, BindRecordFillsEveryTypeClass) {
  const BoundRecord cases[] = {
      {SQL_C_GUID, SQL_GUID, SQL_GUID, 0, 16, 0, u"UUID", 36},
      {SQL_C_WCHAR, SQL_WCHAR, SQL_WCHAR, 0, 100, 1, u"CLOB", 100},
      {SQL_C_BIT, SQL_BIT, SQL_BIT, 0, 1, 1, u"BOOLEAN", 1},
      {SQL_C_STINYINT, SQL_TINYINT, SQL_TINYINT, 0, 1, 0, u"INT8", 3},
      {SQL_C_SBIGINT, SQL_BIGINT, SQL_BIGINT, 0, 8, 0, u"INT64", 19},
      {SQL_C_BINARY, SQL_BINARY, SQL_BINARY, 0, 100, 1, u"BLOB", 100},
      {SQL_C_CHAR, SQL_CHAR, SQL_CHAR, 0, 100, 1, u"CLOB", 100},
      {SQL_C_NUMERIC, SQL_NUMERIC, SQL_NUMERIC, 0, 8, 0, u"DOUBLE PRECISION", 15},
      {SQL_C_LONG, SQL_INTEGER, SQL_INTEGER, 0, 4, 0, u"INT32", 10},
      {SQL_C_SHORT, SQL_SMALLINT, SQL_SMALLINT, 0, 2, 0, u"INT16", 5},
      {SQL_C_FLOAT, SQL_REAL, SQL_REAL, 0, 4, 0, u"REAL", 15},
      {SQL_C_DOUBLE, SQL_DOUBLE, SQL_DOUBLE, 0, 8, 0, u"DOUBLE PRECISION", 15},
      {SQL_C_TYPE_DATE, SQL_TYPE_DATE, SQL_DATETIME, SQL_CODE_DATE, 6, 1, u"TIMESTAMP", 10},
      {SQL_C_TYPE_TIME, SQL_TYPE_TIME, SQL_TYPE_TIME, 0, 6, 1, u"INTERVAL", 8},
      {SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, SQL_DATETIME, SQL_CODE_TIMESTAMP, 16, 1,
       u"TIMESTAMP", 23},
      {SQL_C_INTERVAL_DAY_TO_SECOND, 110, SQL_DATETIME, SQL_CODE_TIME, 28, 1, u"INTERVAL", 9},
      {SQL_C_DEFAULT, SQL_C_DEFAULT, SQL_C_DEFAULT, 0, 100, 1, u"", 0},
  };
  char buffer[100];
  SQLLEN indicator = 0;
  for (const BoundRecord& c : cases) {
    SCOPED_TRACE(testing::Message() << "C type " << c.c_type);
    ASSERT_EQ(SQLBindCol(stmt, 2, c.c_type, buffer, sizeof buffer, &indicator), SQL_SUCCESS);
    const DescriptorRecord& r = ArdRecord(2);
    EXPECT_EQ(r.data_ptr(), buffer);
    EXPECT_EQ(r.concise_type(), c.concise);
    EXPECT_EQ(r.type(), c.type);
    EXPECT_EQ(r.datetime_interval_code(), c.subcode);
    EXPECT_EQ(r.octet_length(), c.length);
    EXPECT_EQ(static_cast<SQLLEN>(r.length()), c.length);
    EXPECT_EQ(r.is_unsigned(), c.is_unsigned);
    EXPECT_EQ(r.type_name(), c.type_name);
    EXPECT_EQ(r.display_size(), c.display);
    EXPECT_EQ(r.nullable(), SQL_NULLABLE);
    EXPECT_EQ(r.indicator_ptr(), &indicator);
    EXPECT_EQ(r.octet_length_ptr(), &indicator);
  }
}

TEST_F(Binding, BindColumnGrowsButNeverShrinksTheRowDescriptor) {
  SQLINTEGER a = 0, b = 0;
  ASSERT_EQ(SQLBindCol(stmt, 5, SQL_C_LONG, &a, 0, nullptr), SQL_SUCCESS);
  ASSERT_EQ(SQLBindCol(stmt, 2, SQL_C_LONG, &b, 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(Desc(Current(DescriptorRole::AppRow)).count(), 5);
  EXPECT_EQ(ArdRecord(5).data_ptr(), &a);
  EXPECT_EQ(ArdRecord(2).data_ptr(), &b);
  // A null buffer is bound like any other pointer.
  ASSERT_EQ(SQLBindCol(stmt, 5, SQL_C_LONG, nullptr, 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(ArdRecord(5).data_ptr(), nullptr);
  EXPECT_EQ(Desc(Current(DescriptorRole::AppRow)).count(), 5);
}

TEST_F(Binding, BookmarkColumnNeedsABookmarkType) {
  SQLLEN bookmark = 0;
  EXPECT_EQ(SQLBindCol(stmt, 0, SQL_C_LONG, &bookmark, 0, nullptr), SQL_ERROR);
  EXPECT_EQ(State(SQL_HANDLE_STMT, stmt), u"07006");
  EXPECT_EQ(Message(SQL_HANDLE_STMT, stmt),
            u"The ColumnNumber argument was 0\n and the TargetType argument was not "
            u"SQL_C_BOOKMARK or SQL_C_VARBOOKMARK.");
  EXPECT_EQ(DiagCount(SQL_HANDLE_STMT, stmt), 1);
  EXPECT_EQ(SQLBindCol(stmt, 0, SQL_C_UBIGINT, &bookmark, 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(ArdRecord(0).concise_type(), SQL_BIGINT);
  EXPECT_EQ(ArdRecord(0).nullable(), SQL_NO_NULLS);
  EXPECT_EQ(SQLBindCol(stmt, 0, SQL_C_VARBOOKMARK, &bookmark, 8, nullptr), SQL_SUCCESS);
  EXPECT_EQ(Desc(Current(DescriptorRole::AppRow)).count(), 0);
}

TEST_F(Binding, BindColumnRefusesUnknownTypesAndHugeColumnNumbers) {
  SQLINTEGER v = 0;
  EXPECT_EQ(SQLBindCol(stmt, 1, 42, &v, 0, nullptr), SQL_ERROR);
  EXPECT_EQ(State(SQL_HANDLE_STMT, stmt), u"HY003");
  EXPECT_EQ(Message(SQL_HANDLE_STMT, stmt),
            u"The argument Type was neither a valid data type nor SQL_C_DEFAULT.");
  EXPECT_EQ(Desc(Current(DescriptorRole::AppRow)).count(), 0);
  // Records are numbered in 16 bits: a larger column number is refused
  // rather than wrapped.
  EXPECT_EQ(SQLBindCol(stmt, 40000, SQL_C_LONG, &v, 0, nullptr), SQL_ERROR);
  EXPECT_EQ(State(SQL_HANDLE_STMT, stmt), u"07009");
  EXPECT_EQ(Desc(Current(DescriptorRole::AppRow)).count(), 0);
}

TEST_F(Binding, BindColumnUsesTheApplicationsOwnDescriptor) {
  SQLHDESC mine = nullptr;
  ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_DESC, dbc, &mine), SQL_SUCCESS);
  ASSERT_EQ(SQLSetStmtAttrW(stmt, SQL_ATTR_APP_ROW_DESC, mine, 0), SQL_SUCCESS);
  SQLINTEGER v = 0;
  ASSERT_EQ(SQLBindCol(stmt, 2, SQL_C_LONG, &v, 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(Desc(mine).count(), 2);
  EXPECT_EQ(Desc(Implicit(DescriptorRole::AppRow)).count(), 0);
  EXPECT_EQ(SQLFreeStmt(stmt, SQL_UNBIND), SQL_SUCCESS);
  EXPECT_EQ(Desc(mine).count(), 0);
}

TEST_F(Binding, OpenQueryStatementsRecordTheirBoundColumns) {
  statement().open_query = true;
  SQLINTEGER v = 0;
  ASSERT_EQ(SQLBindCol(stmt, 3, SQL_C_LONG, &v, 0, nullptr), SQL_SUCCESS);
  ASSERT_EQ(SQLBindCol(stmt, 1, SQL_C_LONG, &v, 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(statement().bound_columns, (std::set<uint16_t>{1, 3}));
  statement().open_query = false;
  ASSERT_EQ(SQLBindCol(stmt, 2, SQL_C_LONG, &v, 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(statement().bound_columns.size(), 2u);
}

TEST_F(Binding, BindParameterTypesAndNullBuffers) {
  SQLINTEGER value = 0;
  SQLLEN indicator = SQL_NULL_DATA;
  // A null buffer with an indicator is how NULL is bound.
  EXPECT_EQ(SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_LONG, SQL_INTEGER, 0, 0, nullptr, 0,
                             &indicator),
            SQL_SUCCESS);
  EXPECT_EQ(ApdRecord(1).data_ptr(), nullptr);
  EXPECT_EQ(ApdRecord(1).indicator_ptr(), &indicator);
  EXPECT_EQ(ApdRecord(1).concise_type(), SQL_INTEGER);
  // Without either there is nothing to send.
  EXPECT_EQ(SQLBindParameter(stmt, 2, SQL_PARAM_INPUT, SQL_C_LONG, SQL_INTEGER, 0, 0, nullptr, 0,
                             nullptr),
            SQL_ERROR);
  EXPECT_EQ(State(SQL_HANDLE_STMT, stmt), u"HY009");
  EXPECT_EQ(Message(SQL_HANDLE_STMT, stmt), u"The application provided a null inParameterValuePtr.");
  EXPECT_EQ(Desc(Current(DescriptorRole::AppParam)).count(), 1);

  // SQL_C_DEFAULT takes the SQL type's class.
  EXPECT_EQ(SQLBindParameter(stmt, 2, SQL_PARAM_INPUT, SQL_C_DEFAULT, SQL_VARCHAR, 10, 0, &value,
                             10, nullptr),
            SQL_SUCCESS);
  EXPECT_EQ(ApdRecord(2).concise_type(), SQL_CHAR);
  EXPECT_EQ(ApdRecord(2).octet_length(), 10);
  EXPECT_EQ(ApdRecord(2).nullable(), SQL_NULLABLE);

  EXPECT_EQ(SQLBindParameter(stmt, 3, SQL_PARAM_INPUT, SQL_C_DEFAULT, SQL_C_DEFAULT, 0, 0, &value,
                             0, nullptr),
            SQL_ERROR);
  EXPECT_EQ(Message(SQL_HANDLE_STMT, stmt),
            u"SQL_C_DEFAULT supported for SQLBindCol, not for SQLBindParam.");
  EXPECT_EQ(SQLBindParameter(stmt, 3, SQL_PARAM_INPUT, 42, 43, 0, 0, &value, 0, nullptr),
            SQL_ERROR);
  EXPECT_EQ(Message(SQL_HANDLE_STMT, stmt), u"The parameter Type wasn't a valid data type.");
  EXPECT_EQ(SQLBindParameter(stmt, 0, SQL_PARAM_INPUT, SQL_C_LONG, SQL_INTEGER, 0, 0, &value, 0,
                             nullptr),
            SQL_ERROR);
  EXPECT_EQ(State(SQL_HANDLE_STMT, stmt), u"07009");
  EXPECT_EQ(Message(SQL_HANDLE_STMT, stmt),
            u"Null ColumnNumber argument supported for SQLBindCol, not for SQLBindParameter.");
  EXPECT_EQ(Desc(Current(DescriptorRole::AppParam)).count(), 2);
  // The implementation parameter descriptor is not touched.
  EXPECT_EQ(Desc(Implicit(DescriptorRole::ImpParam)).count(), 0);
  // SQLFreeStmt(SQL_RESET_PARAMS) forgets them.
  EXPECT_EQ(SQLFreeStmt(stmt, SQL_RESET_PARAMS), SQL_SUCCESS);
  EXPECT_EQ(Desc(Current(DescriptorRole::AppParam)).count(), 0);
}

TEST_F(Binding, BindRecordForDriverBuffers) {
  // The statement code binds its own buffers straight into a descriptor.
  auto& ird = Desc(Implicit(DescriptorRole::ImpRow));
  ird.SetCount(1);
  SQLWCHAR text[8];
  SQLLEN len = 0;
  kestrion::BindRecord(ird, 1, SQL_WCHAR, text, sizeof text, &len);
  EXPECT_TRUE(ird.ok());
  EXPECT_EQ(ird.records[1].octet_length(), 16);
  EXPECT_EQ(ird.records[1].precision(), 16);
  // A record that does not exist is refused, not created.
  kestrion::BindRecord(ird, 4, SQL_WCHAR, text, sizeof text, &len);
  EXPECT_EQ(ird.return_code(), SQL_ERROR);
  EXPECT_EQ(ird.records.size(), 2u);
}

}  // namespace
