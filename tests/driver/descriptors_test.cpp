// Descriptor fields: record growth and shrink, field lookup and refusals,
// the header fields the statement keeps by effective role, the concise-type
// derivations, and SQLSetDescRec/SQLGetDescRecW.
#include "driver/attribute_access.h"
#include "tests/driver/attribute_fixture.h"

namespace {

using namespace attrs_test;
using kestrion::DescriptorRole;

struct Descriptors : StatementFixture {
  SQLHDESC ard() { return Implicit(DescriptorRole::AppRow); }
  SQLHDESC apd() { return Implicit(DescriptorRole::AppParam); }
  SQLHDESC ird() { return Implicit(DescriptorRole::ImpRow); }
  SQLHDESC ipd() { return Implicit(DescriptorRole::ImpParam); }

  SQLRETURN SetField(SQLHDESC d, SQLSMALLINT rec, SQLSMALLINT field, intptr_t v) {
    return SQLSetDescFieldW(d, rec, field, IntValue(v), 0);
  }
  // Reads an integer field of any width; `len` receives the answered length.
  int64_t GetField(SQLHDESC d, SQLSMALLINT rec, SQLSMALLINT field, SQLINTEGER* len = nullptr,
                   SQLRETURN expect = SQL_SUCCESS) {
    int64_t v = 0;
    SQLINTEGER l = -1;
    EXPECT_EQ(SQLGetDescFieldW(d, rec, field, &v, 0, &l), expect) << "field " << field;
    if (len != nullptr) *len = l;
    if (l == 2) return static_cast<int16_t>(v);
    if (l == 4) return static_cast<int32_t>(v);
    return v;
  }
};

TEST_F(Descriptors, CountGrowsWithBindingAndShrinksToTheBookmark) {
  SQLINTEGER len = 0;
  EXPECT_EQ(GetField(ard(), 0, SQL_DESC_COUNT, &len), 0);
  EXPECT_EQ(len, 2);
  SQLINTEGER buf = 0;
  SQLLEN ind = 0;
  ASSERT_EQ(SQLBindCol(stmt, 3, SQL_C_LONG, &buf, sizeof buf, &ind), SQL_SUCCESS);
  EXPECT_EQ(GetField(ard(), 0, SQL_DESC_COUNT), 3);
  // The records grown on the way hold the defaults.
  for (SQLSMALLINT rec = 1; rec <= 2; ++rec) {
    EXPECT_EQ(GetField(ard(), rec, SQL_DESC_CONCISE_TYPE), SQL_C_DEFAULT);
    EXPECT_EQ(GetField(ard(), rec, SQL_DESC_TYPE), SQL_C_DEFAULT);
    EXPECT_EQ(GetField(ard(), rec, SQL_DESC_SEARCHABLE), SQL_PRED_SEARCHABLE);
    EXPECT_EQ(GetField(ard(), rec, SQL_DESC_DATA_PTR), 0);
  }
  EXPECT_EQ(GetField(ard(), 3, SQL_DESC_CONCISE_TYPE), SQL_INTEGER);

  // Growing through the count itself.
  EXPECT_EQ(SetField(ard(), 0, SQL_DESC_COUNT, 6), SQL_SUCCESS);
  EXPECT_EQ(Desc(ard()).records.size(), 7u);
  EXPECT_EQ(GetField(ard(), 3, SQL_DESC_DATA_PTR), reinterpret_cast<intptr_t>(&buf));

  // Count 0 removes every column binding but keeps the bookmark record.
  EXPECT_EQ(SetField(ard(), 0, SQL_DESC_COUNT, 0), SQL_SUCCESS);
  EXPECT_EQ(Desc(ard()).records.size(), 1u);
  EXPECT_EQ(GetField(ard(), 0, SQL_DESC_COUNT), 0);
  // A negative count is taken as 0.
  EXPECT_EQ(SetField(ard(), 0, SQL_DESC_COUNT, -5), SQL_SUCCESS);
  EXPECT_EQ(GetField(ard(), 0, SQL_DESC_COUNT), 0);
  // Binding again after a shrink starts from fresh records.
  ASSERT_EQ(SQLBindCol(stmt, 2, SQL_C_LONG, &buf, sizeof buf, &ind), SQL_SUCCESS);
  EXPECT_EQ(GetField(ard(), 1, SQL_DESC_DATA_PTR), 0);
  // SQLFreeStmt(SQL_UNBIND) empties it too.
  EXPECT_EQ(SQLFreeStmt(stmt, SQL_UNBIND), SQL_SUCCESS);
  EXPECT_EQ(Desc(ard()).records.size(), 1u);
}

TEST_F(Descriptors, RecordNumbersAndUnknownFieldsAreRefused) {
  // Record 1 does not exist on a fresh descriptor: 07009 then HY092, and
  // the implicit descriptor's diagnostics are also on its statement.
  EXPECT_EQ(SetField(ard(), 1, SQL_DESC_PRECISION, 3), SQL_ERROR);
  EXPECT_EQ(DiagCount(SQL_HANDLE_DESC, ard()), 2);
  EXPECT_EQ(State(SQL_HANDLE_DESC, ard(), 2), u"07009");
  EXPECT_EQ(Message(SQL_HANDLE_DESC, ard(), 2), u"");
  EXPECT_EQ(State(SQL_HANDLE_DESC, ard(), 1), u"HY092");
  EXPECT_EQ(Message(SQL_HANDLE_DESC, ard(), 1), u"Unavailable descriptor attribute.");
  EXPECT_EQ(State(SQL_HANDLE_STMT, stmt, 2), u"07009");
  EXPECT_EQ(State(SQL_HANDLE_STMT, stmt, 1), u"HY092");
  EXPECT_EQ(SetField(ard(), -1, SQL_DESC_PRECISION, 3), SQL_ERROR);

  // The next call on the statement clears the descriptor's records too.
  SQLINTEGER v = 0;
  EXPECT_EQ(SQLGetStmtAttrW(stmt, SQL_ATTR_MAX_ROWS, &v, 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(DiagCount(SQL_HANDLE_DESC, ard()), 0);

  // Fields that are not record fields.
  for (SQLSMALLINT field : {7, 19, 30, 31, 9999}) {
    GetField(ard(), 0, field, nullptr, SQL_ERROR);
    EXPECT_EQ(Message(SQL_HANDLE_DESC, ard(), 2), u"Unavailable descriptor attribute.");
    EXPECT_EQ(Message(SQL_HANDLE_DESC, ard(), 1), u"Can't get the attribute/option value.");
  }
}

TEST_F(Descriptors, ReadOnlyFieldsRefuseTheApplicationButNotTheDriver) {
  SQLHDESC d = ard();
  ASSERT_EQ(SetField(d, 0, SQL_DESC_COUNT, 1), SQL_SUCCESS);
  for (SQLSMALLINT field : {SQL_DESC_DISPLAY_SIZE, SQL_DESC_NULLABLE, SQL_DESC_UNSIGNED,
                            SQL_DESC_AUTO_UNIQUE_VALUE, SQL_DESC_ROWVER}) {
    EXPECT_EQ(SetField(d, 1, field, 1), SQL_ERROR) << field;
    EXPECT_EQ(State(SQL_HANDLE_DESC, d), u"HY092");
    EXPECT_EQ(Message(SQL_HANDLE_DESC, d), u"You tried to access a protected/private attribute.");
  }
  EXPECT_EQ(SQLSetDescFieldW(d, 1, SQL_DESC_TYPE_NAME, (SQLPOINTER)u"X", SQL_NTS), SQL_ERROR);
  EXPECT_EQ(GetField(d, 1, SQL_DESC_DISPLAY_SIZE), 0);

  // The driver fills implementation records with the internal-set mode.
  kestrion::SetAttributeValue(Desc(d), SQL_DESC_DISPLAY_SIZE, IntValue(77), 0, 1,
                              kestrion::kInternalSet);
  kestrion::SetAttributeValue(Desc(d), SQL_DESC_TYPE_NAME, (SQLPOINTER)u"INT32", SQL_NTS, 1,
                              kestrion::kInternalSet);
  EXPECT_TRUE(Desc(d).ok());
  EXPECT_EQ(GetField(d, 1, SQL_DESC_DISPLAY_SIZE), 77);
  EXPECT_EQ(Desc(d).records[1].type_name(), u"INT32");

  // Strings the application may set, read back with their byte lengths.
  EXPECT_EQ(SQLSetDescFieldW(d, 1, SQL_DESC_NAME, (SQLPOINTER)u"price", SQL_NTS), SQL_SUCCESS);
  char16_t name[16];
  SQLINTEGER len = 0;
  EXPECT_EQ(SQLGetDescFieldW(d, 1, SQL_DESC_NAME, name, sizeof name, &len), SQL_SUCCESS);
  EXPECT_EQ(std::u16string(name), u"price");
  EXPECT_EQ(len, 10);
  EXPECT_EQ(Desc(d).records[1].name(), u"price");
}

TEST_F(Descriptors, AllocTypeIsReadOnlyForTheApplication) {
  EXPECT_EQ(GetField(ard(), 0, SQL_DESC_ALLOC_TYPE), SQL_DESC_ALLOC_AUTO);
  EXPECT_EQ(SetField(ard(), 0, SQL_DESC_ALLOC_TYPE, SQL_DESC_ALLOC_USER), SQL_ERROR);
  EXPECT_EQ(State(SQL_HANDLE_DESC, ard()), u"HY092");
  EXPECT_EQ(Message(SQL_HANDLE_DESC, ard()), u"You tried to access a protected/private attribute.");
  EXPECT_EQ(GetField(ard(), 0, SQL_DESC_ALLOC_TYPE), SQL_DESC_ALLOC_AUTO);
  // So the implicit descriptor still cannot be freed.
  EXPECT_EQ(SQLFreeHandle(SQL_HANDLE_DESC, ard()), SQL_ERROR);
  EXPECT_EQ(State(SQL_HANDLE_DESC, ard()), u"HY017");

  SQLHDESC mine = nullptr;
  ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_DESC, dbc, &mine), SQL_SUCCESS);
  EXPECT_EQ(GetField(mine, 0, SQL_DESC_ALLOC_TYPE), SQL_DESC_ALLOC_USER);
  EXPECT_EQ(SetField(mine, 0, SQL_DESC_ALLOC_TYPE, SQL_DESC_ALLOC_AUTO), SQL_ERROR);
  EXPECT_EQ(SQLFreeHandle(SQL_HANDLE_DESC, mine), SQL_SUCCESS);
}

TEST_F(Descriptors, StatementKeptHeaderFieldsFollowTheEffectiveRole) {
  ASSERT_EQ(SQLSetStmtAttrW(stmt, SQL_ATTR_ROW_ARRAY_SIZE, IntValue(20), 0), SQL_SUCCESS);
  SQLUSMALLINT row_ops[4], row_status[4], param_ops[4], param_status[4];
  SQLULEN fetched = 0, processed = 0;
  SQLLEN row_offset = 0, param_offset = 0;
  ASSERT_EQ(SQLSetStmtAttrW(stmt, SQL_ATTR_ROW_OPERATION_PTR, row_ops, 0), SQL_SUCCESS);
  ASSERT_EQ(SQLSetStmtAttrW(stmt, SQL_ATTR_ROW_STATUS_PTR, row_status, 0), SQL_SUCCESS);
  ASSERT_EQ(SQLSetStmtAttrW(stmt, SQL_ATTR_PARAM_OPERATION_PTR, param_ops, 0), SQL_SUCCESS);
  ASSERT_EQ(SQLSetStmtAttrW(stmt, SQL_ATTR_PARAM_STATUS_PTR, param_status, 0), SQL_SUCCESS);
  ASSERT_EQ(SQLSetStmtAttrW(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0), SQL_SUCCESS);
  ASSERT_EQ(SQLSetStmtAttrW(stmt, SQL_ATTR_PARAMS_PROCESSED_PTR, &processed, 0), SQL_SUCCESS);
  ASSERT_EQ(SQLSetStmtAttrW(stmt, SQL_ATTR_ROW_BIND_OFFSET_PTR, &row_offset, 0), SQL_SUCCESS);
  ASSERT_EQ(SQLSetStmtAttrW(stmt, SQL_ATTR_PARAM_BIND_OFFSET_PTR, &param_offset, 0), SQL_SUCCESS);
  ASSERT_EQ(SQLSetStmtAttrW(stmt, SQL_ATTR_ROW_BIND_TYPE, IntValue(48), 0), SQL_SUCCESS);
  ASSERT_EQ(SQLSetStmtAttrW(stmt, SQL_ATTR_PARAM_BIND_TYPE, IntValue(24), 0), SQL_SUCCESS);
  auto addr = [](const void* p) { return reinterpret_cast<intptr_t>(p); };

  SQLINTEGER len = 0;
  EXPECT_EQ(GetField(ard(), 0, SQL_DESC_ARRAY_SIZE, &len), 20);
  EXPECT_EQ(len, 4);
  EXPECT_EQ(GetField(apd(), 0, SQL_DESC_ARRAY_SIZE), 1);
  EXPECT_EQ(GetField(ard(), 0, SQL_DESC_BIND_TYPE), 48);
  EXPECT_EQ(GetField(apd(), 0, SQL_DESC_BIND_TYPE), 24);
  EXPECT_EQ(GetField(ard(), 0, SQL_DESC_BIND_OFFSET_PTR, &len), addr(&row_offset));
  EXPECT_EQ(len, 8);
  EXPECT_EQ(GetField(apd(), 0, SQL_DESC_BIND_OFFSET_PTR), addr(&param_offset));
  EXPECT_EQ(GetField(ird(), 0, SQL_DESC_ROWS_PROCESSED_PTR), addr(&fetched));
  EXPECT_EQ(GetField(ipd(), 0, SQL_DESC_ROWS_PROCESSED_PTR), addr(&processed));
  // Application descriptors hold the operation arrays, implementation
  // descriptors the status arrays.
  EXPECT_EQ(GetField(ard(), 0, SQL_DESC_ARRAY_STATUS_PTR), addr(row_ops));
  EXPECT_EQ(GetField(apd(), 0, SQL_DESC_ARRAY_STATUS_PTR), addr(param_ops));
  EXPECT_EQ(GetField(ird(), 0, SQL_DESC_ARRAY_STATUS_PTR), addr(row_status));
  EXPECT_EQ(GetField(ipd(), 0, SQL_DESC_ARRAY_STATUS_PTR), addr(param_status));

  // Not available for the role: refused on the descriptor (and its statement).
  const std::pair<SQLHDESC, SQLSMALLINT> unavailable[] = {
      {ird(), SQL_DESC_ARRAY_SIZE},       {ipd(), SQL_DESC_BIND_TYPE},
      {ird(), SQL_DESC_BIND_OFFSET_PTR},  {ard(), SQL_DESC_ROWS_PROCESSED_PTR},
      {apd(), SQL_DESC_ROWS_PROCESSED_PTR}, {apd(), 2000},
  };
  for (auto [d, field] : unavailable) {
    GetField(d, 0, field, nullptr, SQL_ERROR);
    EXPECT_EQ(State(SQL_HANDLE_DESC, d, 2), u"HY092") << field;
    EXPECT_EQ(Message(SQL_HANDLE_DESC, d, 2),
              u"You tried to access a protected/private attribute.");
    EXPECT_EQ(State(SQL_HANDLE_STMT, stmt, 2), u"HY092");
  }
  // The driver's own field is private even on the row descriptor.
  GetField(ard(), 0, 2000, nullptr, SQL_ERROR);
  EXPECT_EQ(Message(SQL_HANDLE_DESC, ard(), 2), u"You tried to access a private attribute.");
  int32_t dynamic = -1;
  SQLLEN answered = 0;
  Desc(ard()).ClearDiagnostics();
  kestrion::GetAttributeValue(Desc(ard()), 2000, &dynamic, answered, 0, kestrion::kInternalGet);
  EXPECT_EQ(dynamic, 0);

  // Setting them through a descriptor sets the statement's attribute, under
  // the statement's rules.
  EXPECT_EQ(SetField(ard(), 0, SQL_DESC_ARRAY_SIZE, 5), SQL_SUCCESS);
  EXPECT_EQ(StmtInt(SQL_ATTR_ROW_ARRAY_SIZE), 5);
  EXPECT_EQ(GetField(ard(), 0, SQL_DESC_ARRAY_SIZE), 5);
  EXPECT_EQ(SetField(ard(), 0, SQL_DESC_BIND_TYPE, 48), SQL_SUCCESS);
  EXPECT_EQ(StmtInt(SQL_ATTR_ROW_BIND_TYPE), 48);
  EXPECT_EQ(SetField(apd(), 0, SQL_DESC_ARRAY_SIZE, 7), SQL_SUCCESS);
  EXPECT_EQ(StmtInt(SQL_ATTR_PARAMSET_SIZE), 7);
}

TEST_F(Descriptors, ExplicitDescriptorAnswersHeaderFieldsOnlyWhileInUse) {
  SQLHDESC mine = nullptr;
  ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_DESC, dbc, &mine), SQL_SUCCESS);
  GetField(mine, 0, SQL_DESC_ARRAY_SIZE, nullptr, SQL_ERROR);
  EXPECT_EQ(State(SQL_HANDLE_DESC, mine, 3), u"HY000");
  EXPECT_EQ(Message(SQL_HANDLE_DESC, mine, 3),
            u"Can't set/get a statement attribute for a unused descriptor.");
  EXPECT_EQ(State(SQL_HANDLE_DESC, mine, 2), u"HY092");
  EXPECT_EQ(Message(SQL_HANDLE_DESC, mine, 2), u"Unavailable descriptor attribute.");
  EXPECT_EQ(SetField(mine, 0, SQL_DESC_ARRAY_SIZE, 3), SQL_ERROR);

  ASSERT_EQ(SQLSetStmtAttrW(stmt, SQL_ATTR_ROW_ARRAY_SIZE, IntValue(9), 0), SQL_SUCCESS);
  ASSERT_EQ(SQLSetStmtAttrW(stmt, SQL_ATTR_APP_ROW_DESC, mine, 0), SQL_SUCCESS);
  EXPECT_EQ(GetField(mine, 0, SQL_DESC_ARRAY_SIZE), 9);
  // The implicit row descriptor it replaced is now the one not in use.
  GetField(ard(), 0, SQL_DESC_ARRAY_SIZE, nullptr, SQL_ERROR);
  EXPECT_EQ(State(SQL_HANDLE_DESC, ard(), 3), u"HY000");

  // Used as a parameter descriptor it answers the parameter attributes.
  ASSERT_EQ(SQLSetStmtAttrW(stmt, SQL_ATTR_APP_ROW_DESC, nullptr, 0), SQL_SUCCESS);
  ASSERT_EQ(SQLSetStmtAttrW(stmt, SQL_ATTR_APP_PARAM_DESC, mine, 0), SQL_SUCCESS);
  EXPECT_EQ(GetField(mine, 0, SQL_DESC_ARRAY_SIZE), 1);
}

struct Derived {
  SQLSMALLINT set;
  SQLSMALLINT stored;
  int32_t display;
  int16_t precision;
  int32_t radix;
};

TEST_F(Descriptors, ConciseTypeDerivesDisplaySizePrecisionAndRadix) {
  SQLHDESC d = ard();
  ASSERT_EQ(SetField(d, 0, SQL_DESC_COUNT, 1), SQL_SUCCESS);
  ASSERT_EQ(SetField(d, 1, SQL_DESC_OCTET_LENGTH, 40), SQL_SUCCESS);
  const Derived cases[] = {
      {SQL_GUID, SQL_GUID, 36, 32, 2},          {SQL_WVARCHAR, SQL_WCHAR, 40, 40, 0},
      {SQL_VARBINARY, SQL_BINARY, 40, 40, 0},   {SQL_VARCHAR, SQL_CHAR, 40, 40, 0},
      {SQL_BIT, SQL_BIT, 1, 1, 2},              {SQL_C_UTINYINT, SQL_TINYINT, 3, 3, 2},
      {SQL_C_SBIGINT, SQL_BIGINT, 19, 19, 2},   {SQL_DECIMAL, SQL_NUMERIC, 15, 16, 10},
      {SQL_C_SLONG, SQL_INTEGER, 10, 10, 2},    {SQL_C_SSHORT, SQL_SMALLINT, 5, 5, 2},
      {SQL_FLOAT, SQL_REAL, 15, 24, 10},        {SQL_DOUBLE, SQL_DOUBLE, 15, 53, 10},
      {SQL_DATE, SQL_TYPE_DATE, 10, 0, 0},      {SQL_TYPE_TIME, SQL_TYPE_TIME, 8, 0, 0},
      {SQL_TIMESTAMP, SQL_TYPE_TIMESTAMP, 23, 3, 0},  // milliseconds
      {SQL_INTERVAL_HOUR, 110, 9, 0, 0},        {SQL_C_DEFAULT, SQL_C_DEFAULT, 0, 0, 4},
  };
  for (const Derived& c : cases) {
    SCOPED_TRACE(testing::Message() << "type " << c.set);
    ASSERT_EQ(SetField(d, 1, SQL_DESC_DATETIME_INTERVAL_PRECISION, 6), SQL_SUCCESS);
    ASSERT_EQ(SetField(d, 1, SQL_DESC_CONCISE_TYPE, c.set), SQL_SUCCESS);
    SQLINTEGER len = 0;
    EXPECT_EQ(GetField(d, 1, SQL_DESC_CONCISE_TYPE, &len), c.stored);
    EXPECT_EQ(len, 2);
    EXPECT_EQ(GetField(d, 1, SQL_DESC_DISPLAY_SIZE, &len), c.display);
    EXPECT_EQ(len, 4);
    EXPECT_EQ(GetField(d, 1, SQL_DESC_PRECISION), c.precision);
    EXPECT_EQ(GetField(d, 1, SQL_DESC_NUM_PREC_RADIX), c.radix);
    EXPECT_EQ(GetField(d, 1, SQL_DESC_DATETIME_INTERVAL_PRECISION), 0);
    // The verbose type is left alone.
    EXPECT_EQ(GetField(d, 1, SQL_DESC_TYPE), SQL_C_DEFAULT);
  }
  EXPECT_EQ(Desc(d).records[1].concise_type(), SQL_C_DEFAULT);
}

TEST_F(Descriptors, ConciseTypeRefusals) {
  ASSERT_EQ(SetField(ard(), 0, SQL_DESC_COUNT, 1), SQL_SUCCESS);
  ASSERT_EQ(SetField(ard(), 1, SQL_DESC_CONCISE_TYPE, SQL_INTEGER), SQL_SUCCESS);
  EXPECT_EQ(SetField(ard(), 1, SQL_DESC_CONCISE_TYPE, 42), SQL_ERROR);
  EXPECT_EQ(State(SQL_HANDLE_DESC, ard()), u"HY003");
  EXPECT_EQ(Message(SQL_HANDLE_DESC, ard()), u"The parameter Type wasn't a valid data type.");
  EXPECT_EQ(GetField(ard(), 1, SQL_DESC_CONCISE_TYPE), SQL_INTEGER);

  // SQL_C_DEFAULT belongs to row descriptors only.
  for (SQLHDESC d : {apd(), ipd()}) {
    ASSERT_EQ(SetField(d, 0, SQL_DESC_COUNT, 1), SQL_SUCCESS);
    ASSERT_EQ(SetField(d, 1, SQL_DESC_CONCISE_TYPE, SQL_SMALLINT), SQL_SUCCESS);
    EXPECT_EQ(SetField(d, 1, SQL_DESC_CONCISE_TYPE, SQL_C_DEFAULT), SQL_ERROR);
    EXPECT_EQ(Message(SQL_HANDLE_DESC, d), u"SQL_C_DEFAULT supported only for row descriptors.");
    EXPECT_EQ(GetField(d, 1, SQL_DESC_CONCISE_TYPE), SQL_SMALLINT);
  }
}

TEST_F(Descriptors, OdbcTwoTypeCodesFoldWithTheEnvironmentVersion) {
  ASSERT_EQ(SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, IntValue(SQL_OV_ODBC2), 0), SQL_SUCCESS);
  ASSERT_EQ(SetField(ard(), 0, SQL_DESC_COUNT, 1), SQL_SUCCESS);
  EXPECT_EQ(SetField(ard(), 1, SQL_DESC_CONCISE_TYPE, -96), SQL_SUCCESS);
  EXPECT_EQ(GetField(ard(), 1, SQL_DESC_CONCISE_TYPE), SQL_WCHAR);
}

TEST_F(Descriptors, SetDescRecAndGetDescRec) {
  SQLHDESC d = ard();
  ASSERT_EQ(SetField(d, 0, SQL_DESC_COUNT, 2), SQL_SUCCESS);
  char data[32];
  SQLLEN octets = 0, indicator = 0;
  ASSERT_EQ(SQLSetDescRec(d, 2, SQL_DATETIME, SQL_CODE_TIMESTAMP, 16, 23, 3, data, &octets,
                          &indicator),
            SQL_SUCCESS);
  const kestrion::DescriptorRecord& r = Desc(d).records[2];
  EXPECT_EQ(r.type(), SQL_DATETIME);
  EXPECT_EQ(r.datetime_interval_code(), SQL_CODE_TIMESTAMP);
  EXPECT_EQ(r.octet_length(), 16);
  EXPECT_EQ(r.precision(), 23);
  EXPECT_EQ(r.scale(), 3);
  EXPECT_EQ(r.data_ptr(), data);
  EXPECT_EQ(r.octet_length_ptr(), &octets);
  EXPECT_EQ(r.indicator_ptr(), &indicator);
  ASSERT_EQ(SQLSetDescFieldW(d, 2, SQL_DESC_NAME, (SQLPOINTER)u"stamp", SQL_NTS), SQL_SUCCESS);

  // With a null name the rest is still answered.
  SQLSMALLINT type = 0, sub = 0, precision = 0, scale = 0, nullable = -1, name_len = -1;
  SQLLEN length = 0;
  EXPECT_EQ(SQLGetDescRecW(d, 2, nullptr, 40, &name_len, &type, &sub, &length, &precision, &scale,
                           &nullable),
            SQL_SUCCESS);
  EXPECT_EQ(name_len, 40);  // the buffer length, as no name was read
  EXPECT_EQ(type, SQL_DATETIME);
  EXPECT_EQ(sub, SQL_CODE_TIMESTAMP);
  EXPECT_EQ(length, 16);
  EXPECT_EQ(precision, 23);
  EXPECT_EQ(scale, 3);
  EXPECT_EQ(nullable, 0);
  // With a name buffer: the name and its length, both in characters.
  SQLWCHAR name[16];
  EXPECT_EQ(SQLGetDescRecW(d, 2, name, 16, &name_len, nullptr, nullptr, nullptr, nullptr, nullptr,
                           nullptr),
            SQL_SUCCESS);
  EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(name)), u"stamp");
  EXPECT_EQ(name_len, 5);
  // Exactly room for the name and its terminator.
  EXPECT_EQ(SQLGetDescRecW(d, 2, name, 6, &name_len, nullptr, nullptr, nullptr, nullptr, nullptr,
                           nullptr),
            SQL_SUCCESS);
  EXPECT_EQ(name_len, 5);
  // Cut to the buffer, terminated inside it.
  name[3] = u'#';
  EXPECT_EQ(SQLGetDescRecW(d, 2, name, 3, &name_len, nullptr, nullptr, nullptr, nullptr, nullptr,
                           nullptr),
            SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(name)), u"st");
  EXPECT_EQ(name[3], u'#');
  EXPECT_EQ(name_len, 2);

  // A record beyond the count: every field is refused and nothing stored.
  EXPECT_EQ(SQLSetDescRec(d, 5, SQL_INTEGER, 0, 4, 0, 0, data, nullptr, nullptr), SQL_ERROR);
  EXPECT_EQ(DiagCount(SQL_HANDLE_DESC, d), 16);
  EXPECT_EQ(Desc(d).records.size(), 3u);
}

}  // namespace
