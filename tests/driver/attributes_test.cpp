// Environment, connection and statement attributes through the exported
// functions: the string rule of the generic getter, lengths and kinds, the
// refused values with their messages, the shared query time-out and the
// switch of the application descriptors.
#include <cstring>

#include "driver/attribute_access.h"
#include "driver/connection.h"
#include "driver/environment.h"
#include "driver/registry.h"
#include "tests/driver/attribute_fixture.h"

namespace {

using namespace attrs_test;
using kestrion::DescriptorRole;

struct Attributes : StatementFixture {};

TEST_F(Attributes, StringGetterCutsTerminatesAndAnswersLengths) {
  ASSERT_EQ(SQLSetConnectAttrW(dbc, SQL_ATTR_CURRENT_CATALOG, (SQLPOINTER)u"abcdef", SQL_NTS),
            SQL_SUCCESS);
  char16_t buf[16];
  SQLINTEGER len = -1;

  // Enough room: the whole text, the length without the terminator.
  std::memset(buf, 0x7f, sizeof buf);
  EXPECT_EQ(SQLGetConnectAttrW(dbc, SQL_ATTR_CURRENT_CATALOG, buf, sizeof buf, &len), SQL_SUCCESS);
  EXPECT_EQ(std::u16string(buf), u"abcdef");
  EXPECT_EQ(len, 12);

  // Exactly the needed 14 bytes.
  EXPECT_EQ(SQLGetConnectAttrW(dbc, SQL_ATTR_CURRENT_CATALOG, buf, 14, &len), SQL_SUCCESS);
  EXPECT_EQ(len, 12);

  // Too small: cut, terminated inside the buffer, 01004, length = buffer - 2.
  std::memset(buf, 0x7f, sizeof buf);
  EXPECT_EQ(SQLGetConnectAttrW(dbc, SQL_ATTR_CURRENT_CATALOG, buf, 8, &len),
            SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(State(SQL_HANDLE_DBC, dbc), u"01004");
  EXPECT_EQ(Message(SQL_HANDLE_DBC, dbc), u"");
  EXPECT_EQ(std::u16string(buf), u"abc");
  EXPECT_EQ(buf[4], char16_t(0x7f7f));  // nothing written past the buffer
  EXPECT_EQ(len, 6);

  // Smallest legal buffer: just the terminator.
  EXPECT_EQ(SQLGetConnectAttrW(dbc, SQL_ATTR_CURRENT_CATALOG, buf, 2, &len),
            SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(buf[0], u'\0');
  EXPECT_EQ(len, 0);

  // Too small to hold a character, odd, or no buffer at all: refused, and
  // the length is not written.
  len = -1;
  EXPECT_EQ(SQLGetConnectAttrW(dbc, SQL_ATTR_CURRENT_CATALOG, buf, 1, &len), SQL_ERROR);
  EXPECT_EQ(State(SQL_HANDLE_DBC, dbc), u"HY090");
  EXPECT_EQ(Message(SQL_HANDLE_DBC, dbc), u"Buffer length must be greater than sizeof(SQLWCHAR).");
  EXPECT_EQ(SQLGetConnectAttrW(dbc, SQL_ATTR_CURRENT_CATALOG, buf, -4, &len), SQL_ERROR);
  EXPECT_EQ(SQLGetConnectAttrW(dbc, SQL_ATTR_CURRENT_CATALOG, buf, 7, &len), SQL_ERROR);
  EXPECT_EQ(Message(SQL_HANDLE_DBC, dbc),
            u"Must be an even buffer length ((charLength+1)*sizeof(SQLWCHAR)).");
  EXPECT_EQ(SQLGetConnectAttrW(dbc, SQL_ATTR_CURRENT_CATALOG, nullptr, 16, &len), SQL_ERROR);
  EXPECT_EQ(State(SQL_HANDLE_DBC, dbc), u"HY009");
  EXPECT_EQ(Message(SQL_HANDLE_DBC, dbc), u"NULL attribute recipe");
  EXPECT_EQ(len, -1);
}

TEST_F(Attributes, StringSetterTakesLengthsInBytesAndRefusesOddOnes) {
  char16_t buf[16];
  SQLINTEGER len = -1;
  // An empty attribute answers an empty string.
  EXPECT_EQ(SQLGetConnectAttrW(dbc, SQL_ATTR_TRACEFILE, buf, 2, &len), SQL_SUCCESS);
  EXPECT_EQ(len, 0);

  // An explicit length in bytes, not necessarily terminated.
  EXPECT_EQ(SQLSetConnectAttrW(dbc, SQL_ATTR_TRACEFILE, (SQLPOINTER)u"xyz", 4), SQL_SUCCESS);
  EXPECT_EQ(SQLGetConnectAttrW(dbc, SQL_ATTR_TRACEFILE, buf, sizeof buf, &len), SQL_SUCCESS);
  EXPECT_EQ(std::u16string(buf), u"xy");

  for (SQLINTEGER bad : {3, 0, -1}) {
    EXPECT_EQ(SQLSetConnectAttrW(dbc, SQL_ATTR_TRACEFILE, (SQLPOINTER)u"qqqq", bad), SQL_ERROR);
    EXPECT_EQ(State(SQL_HANDLE_DBC, dbc), u"HY090");
    EXPECT_EQ(Message(SQL_HANDLE_DBC, dbc), u"Must be an even >0 buffer length.");
  }
  EXPECT_EQ(SQLGetConnectAttrW(dbc, SQL_ATTR_TRACEFILE, buf, sizeof buf, &len), SQL_SUCCESS);
  EXPECT_EQ(std::u16string(buf), u"xy");

  // A null value empties the attribute.
  EXPECT_EQ(SQLSetConnectAttrW(dbc, SQL_ATTR_TRACEFILE, nullptr, 0), SQL_SUCCESS);
  EXPECT_EQ(SQLGetConnectAttrW(dbc, SQL_ATTR_TRACEFILE, buf, sizeof buf, &len), SQL_SUCCESS);
  EXPECT_EQ(len, 0);
}

TEST_F(Attributes, IntegerKindsAnswerTheirWidth) {
  SQLLEN wide = 0x1122334455667788;
  SQLINTEGER len = 0;
  // 32-bit cell: four bytes written, the rest of the buffer untouched.
  EXPECT_EQ(SQLGetStmtAttrW(stmt, SQL_ATTR_ROW_ARRAY_SIZE, &wide, 0, &len), SQL_SUCCESS);
  EXPECT_EQ(len, 4);
  EXPECT_EQ(wide & 0xffffffff, 1);
  EXPECT_EQ(static_cast<uint64_t>(wide) >> 32, 0x11223344u);
  // SQL_ROWSET_SIZE is the same cell.
  EXPECT_EQ(SQLSetStmtAttrW(stmt, SQL_ROWSET_SIZE, IntValue(7), 0), SQL_SUCCESS);
  EXPECT_EQ(StmtInt(SQL_ATTR_ROW_ARRAY_SIZE), 7);
  EXPECT_EQ(StmtInt(SQL_ROWSET_SIZE), 7);
  EXPECT_EQ(statement().row_array_size(), 7);
  // Pointer-size cells answer 8 bytes.
  wide = -1;
  EXPECT_EQ(SQLGetStmtAttrW(stmt, SQL_ATTR_ROW_NUMBER, &wide, 0, &len), SQL_SUCCESS);
  EXPECT_EQ(len, 8);
  EXPECT_EQ(wide, 0);
  SQLUSMALLINT statuses[4];
  EXPECT_EQ(SQLSetStmtAttrW(stmt, SQL_ATTR_ROW_STATUS_PTR, statuses, 0), SQL_SUCCESS);
  SQLPOINTER p = nullptr;
  EXPECT_EQ(SQLGetStmtAttrW(stmt, SQL_ATTR_ROW_STATUS_PTR, &p, 0, &len), SQL_SUCCESS);
  EXPECT_EQ(p, statuses);
  EXPECT_EQ(statement().row_status_ptr(), statuses);
  // The environment's cells are 32-bit too.
  SQLINTEGER version = 0;
  EXPECT_EQ(SQLGetEnvAttr(env, SQL_ATTR_ODBC_VERSION, &version, 0, &len), SQL_SUCCESS);
  EXPECT_EQ(version, SQL_OV_ODBC3);
  EXPECT_EQ(len, 4);
}

TEST_F(Attributes, DefaultsOfConnectionAndStatement) {
  const std::pair<SQLINTEGER, SQLINTEGER> connection[] = {
      {SQL_ATTR_QUERY_TIMEOUT, 240}, {SQL_ATTR_ASYNC_ENABLE, 0},   {SQL_ATTR_ACCESS_MODE, 0},
      {SQL_ATTR_AUTOCOMMIT, 1},      {SQL_ATTR_LOGIN_TIMEOUT, 30}, {SQL_ATTR_TRACE, 0},
      {SQL_ATTR_TXN_ISOLATION, 0},   {SQL_ATTR_ODBC_CURSORS, 2},   {SQL_ATTR_PACKET_SIZE, 131072},
      {SQL_ATTR_CONNECTION_TIMEOUT, 30}, {SQL_ATTR_AUTO_IPD, 0},  {SQL_ATTR_METADATA_ID, 1},
  };
  for (auto [id, value] : connection) EXPECT_EQ(ConnInt(id), value) << "connection " << id;
  const std::pair<SQLINTEGER, SQLINTEGER> statement_defaults[] = {
      {SQL_ATTR_CURSOR_SENSITIVITY, 0}, {SQL_ATTR_CURSOR_SCROLLABLE, 0}, {SQL_ATTR_MAX_ROWS, 0},
      {SQL_ATTR_CONCURRENCY, 1},        {SQL_ATTR_RETRIEVE_DATA, 1},     {SQL_ATTR_PARAMSET_SIZE, 1},
      {SQL_ATTR_ROW_ARRAY_SIZE, 1},     {SQL_ATTR_METADATA_ID, 1},       {1227, 0},
      {1228, 0},                        {SQL_ATTR_QUERY_TIMEOUT, 240},
  };
  for (auto [id, value] : statement_defaults) EXPECT_EQ(StmtInt(id), value) << "statement " << id;
  SQLINTEGER v = 0;
  EXPECT_EQ(SQLGetEnvAttr(env, SQL_ATTR_OUTPUT_NTS, &v, 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(v, SQL_TRUE);
}

struct Refusal {
  SQLSMALLINT type;
  SQLINTEGER attribute;
  intptr_t value;
  SQLRETURN rc;
  const char16_t* state;
  const char16_t* message;
  SQLINTEGER reads;  // the value afterwards
};

TEST_F(Attributes, RefusedAndChangedValuesKeepTheStoredValue) {
  const Refusal cases[] = {
      {SQL_HANDLE_ENV, SQL_ATTR_ODBC_VERSION, 380, SQL_ERROR, u"HY024",
       u"Available are: SQL_OV_ODBC3=3 or SQL_OV_ODBC2=2.", 3},
      {SQL_HANDLE_ENV, SQL_ATTR_CONNECTION_POOLING, 1, SQL_SUCCESS_WITH_INFO, u"01S02",
       u"No connecting pooling supported: Changed for SQL_CP_OFF.", 0},
      {SQL_HANDLE_ENV, SQL_ATTR_CP_MATCH, 1, SQL_SUCCESS_WITH_INFO, u"01S02",
       u"No connection pooling supported: Changed for SQL_CP_STRICT_MATCH.", 0},
      {SQL_HANDLE_ENV, SQL_ATTR_OUTPUT_NTS, 0, SQL_SUCCESS_WITH_INFO, u"01S02",
       u"SQL_TRUE assumed for SQL_ATTR_OUTPUT_NTS", 1},
      {SQL_HANDLE_DBC, SQL_ATTR_ASYNC_ENABLE, 1, SQL_ERROR, u"HYC00",
       u"SQL_ATTR_ASYNC_ENABLE must be set to SQL_ASYNC_ENABLE_OFF.", 0},
      {SQL_HANDLE_DBC, SQL_ATTR_AUTOCOMMIT, 2, SQL_SUCCESS_WITH_INFO, u"01S02",
       u"SQL_ATTR_AUTOCOMMIT not changed as you provided an unavailable value for it.", 1},
      {SQL_HANDLE_DBC, SQL_ATTR_AUTOCOMMIT, -1, SQL_SUCCESS_WITH_INFO, u"01S02",
       u"SQL_ATTR_AUTOCOMMIT not changed as you provided an unavailable value for it.", 1},
      {SQL_HANDLE_DBC, SQL_ATTR_METADATA_ID, 0, SQL_SUCCESS, u"", u"", 1},
      {SQL_HANDLE_DBC, SQL_ATTR_PACKET_SIZE, 0, SQL_SUCCESS, u"", u"", 1},
      {SQL_HANDLE_DBC, SQL_ATTR_PACKET_SIZE, 2000000, SQL_SUCCESS, u"", u"", 1048576},
      {SQL_HANDLE_DBC, SQL_ATTR_PACKET_SIZE, 4096, SQL_SUCCESS, u"", u"", 4096},
      {SQL_HANDLE_DBC, SQL_ATTR_CONNECTION_DEAD, 0, SQL_SUCCESS, u"", u"", SQL_CD_TRUE},
      {SQL_HANDLE_STMT, SQL_ATTR_PARAMSET_SIZE, 5, SQL_SUCCESS, u"", u"", 5},
      {SQL_HANDLE_STMT, SQL_ATTR_PARAMSET_SIZE, 0, SQL_ERROR, u"HY024",
       u"SQL_ATTR_PARAMSET_SIZE must be at least 1.", 5},
      {SQL_HANDLE_STMT, SQL_ATTR_ASYNC_ENABLE, 1, SQL_ERROR, u"HYC00",
       u"SQL_ATTR_ASYNC_ENABLE must be set to SQL_ASYNC_ENABLE_OFF.", 0},
      {SQL_HANDLE_STMT, SQL_ATTR_METADATA_ID, 0, SQL_SUCCESS, u"", u"", 1},
      {SQL_HANDLE_STMT, SQL_ATTR_MAX_ROWS, 25, SQL_SUCCESS, u"", u"", 25},
  };
  for (const Refusal& c : cases) {
    SCOPED_TRACE(testing::Message() << "type " << c.type << " attribute " << c.attribute);
    SQLHANDLE h = c.type == SQL_HANDLE_ENV ? env : c.type == SQL_HANDLE_DBC ? dbc : stmt;
    SQLRETURN rc = c.type == SQL_HANDLE_ENV   ? SQLSetEnvAttr(h, c.attribute, IntValue(c.value), 0)
                   : c.type == SQL_HANDLE_DBC ? SQLSetConnectAttrW(h, c.attribute,
                                                                   IntValue(c.value), 0)
                                              : SQLSetStmtAttrW(h, c.attribute, IntValue(c.value), 0);
    EXPECT_EQ(rc, c.rc);
    EXPECT_EQ(State(c.type, h), c.state);
    EXPECT_EQ(Message(c.type, h), c.message);
    SQLINTEGER v = -1;
    if (c.type == SQL_HANDLE_ENV) {
      EXPECT_EQ(SQLGetEnvAttr(h, c.attribute, &v, 0, nullptr), SQL_SUCCESS);
    } else if (c.type == SQL_HANDLE_DBC) {
      EXPECT_EQ(SQLGetConnectAttrW(h, c.attribute, &v, 0, nullptr), SQL_SUCCESS);
    } else {
      EXPECT_EQ(SQLGetStmtAttrW(h, c.attribute, &v, 0, nullptr), SQL_SUCCESS);
    }
    EXPECT_EQ(v, c.reads);
  }
  EXPECT_EQ(static_cast<kestrion::CHEnvironment*>(env)->odbc_version, SQL_OV_ODBC3);
  auto& connection = *static_cast<kestrion::CHConnection*>(dbc);
  EXPECT_EQ(connection.packet_size(), 4096);
  EXPECT_TRUE(connection.autocommit());
  EXPECT_EQ(statement().max_rows(), 25);
}

TEST_F(Attributes, OdbcVersionTwoChangesTheBehaviourVersion) {
  EXPECT_EQ(SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, IntValue(SQL_OV_ODBC2), 0), SQL_SUCCESS);
  EXPECT_EQ(static_cast<kestrion::CHEnvironment*>(env)->odbc_version, SQL_OV_ODBC2);
  EXPECT_EQ(statement()._GetODBCVersion(), SQL_OV_ODBC2);
}

TEST_F(Attributes, UnknownAndPrivateIdentifiersAreRefused) {
  SQLINTEGER v = 0;
  // SQL_GET_BOOKMARK (13) has no cell: the set names the lookup, the get adds HY001.
  EXPECT_EQ(SQLSetStmtAttrW(stmt, 13, IntValue(1), 0), SQL_ERROR);
  EXPECT_EQ(State(SQL_HANDLE_STMT, stmt), u"HY092");
  EXPECT_EQ(Message(SQL_HANDLE_STMT, stmt), u"CSQLHandle:_GetAvailableAttribute");
  EXPECT_EQ(SQLGetStmtAttrW(stmt, 13, &v, 0, nullptr), SQL_ERROR);
  EXPECT_EQ(DiagCount(SQL_HANDLE_STMT, stmt), 2);
  EXPECT_EQ(State(SQL_HANDLE_STMT, stmt, 1), u"HY001");
  EXPECT_EQ(Message(SQL_HANDLE_STMT, stmt, 1), u"Can't get the attribute/option value.");
  EXPECT_EQ(State(SQL_HANDLE_STMT, stmt, 2), u"HY092");
  EXPECT_EQ(SQLGetEnvAttr(env, 12345, &v, 0, nullptr), SQL_ERROR);
  EXPECT_EQ(SQLGetConnectAttrW(dbc, 12345, &v, 0, nullptr), SQL_ERROR);

  // The driver's own attribute is not for the application.
  EXPECT_EQ(SQLSetStmtAttrW(stmt, SQLKESTRION_ATTR_DYNAMIC_BIND, IntValue(8), 0), SQL_ERROR);
  EXPECT_EQ(Message(SQL_HANDLE_STMT, stmt), u"You tried to access a private attribute.");
  EXPECT_EQ(SQLGetStmtAttrW(stmt, SQLKESTRION_ATTR_DYNAMIC_BIND, &v, 0, nullptr), SQL_ERROR);
  EXPECT_EQ(Message(SQL_HANDLE_STMT, stmt, 2), u"You tried to access a private attribute.");

  // The implementation descriptors can be read but not replaced.
  SQLHDESC ird = nullptr;
  EXPECT_EQ(SQLGetStmtAttrW(stmt, SQL_ATTR_IMP_ROW_DESC, &ird, 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(ird, Implicit(DescriptorRole::ImpRow));
  SQLHDESC ipd = nullptr;
  EXPECT_EQ(SQLGetStmtAttrW(stmt, SQL_ATTR_IMP_PARAM_DESC, &ipd, 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(ipd, Implicit(DescriptorRole::ImpParam));
  EXPECT_EQ(SQLSetStmtAttrW(stmt, SQL_ATTR_IMP_ROW_DESC, ipd, 0), SQL_ERROR);
  EXPECT_EQ(Message(SQL_HANDLE_STMT, stmt),
            u"You tried to access SQL_ATTR_IMP_XXX_DESC private attribute.");
  EXPECT_EQ(Current(DescriptorRole::ImpRow), ird);
}

TEST_F(Attributes, InternalAccessModes) {
  using namespace kestrion;
  CHStatement& s = statement();
  // The driver itself sets its own attribute: 0 or 8 only.
  SetAttributeValue(s, SQLKESTRION_ATTR_DYNAMIC_BIND, IntValue(8), 0, 0, kInternalSet);
  EXPECT_TRUE(s.ok());
  EXPECT_EQ(s.dynamic_bind(), 8);
  SetAttributeValue(s, SQLKESTRION_ATTR_DYNAMIC_BIND, IntValue(5), 0, 0, kInternalSet);
  EXPECT_EQ(s.return_code(), SQL_ERROR);
  EXPECT_EQ(Message(SQL_HANDLE_STMT, stmt), u"Illegal value for SQLKESTRION_ATTR_DYNAMIC_BIND.");
  EXPECT_EQ(s.dynamic_bind(), 8);
  SQLINTEGER v = 0;
  SQLLEN len = 0;
  s.ClearDiagnostics();
  GetAttributeValue(s, SQLKESTRION_ATTR_DYNAMIC_BIND, &v, len, 0, kInternalGet);
  EXPECT_EQ(v, 8);
  EXPECT_EQ(len, 4);

  // A lookup with no access bit is refused by every class.
  CSQLHandle* handles[] = {static_cast<CSQLHandle*>(env), static_cast<CSQLHandle*>(dbc), &s,
                           static_cast<CSQLHandle*>(Implicit(DescriptorRole::AppRow))};
  const int32_t ids[] = {SQL_ATTR_ODBC_VERSION, SQL_ATTR_AUTOCOMMIT, SQL_ATTR_MAX_ROWS,
                         SQL_DESC_COUNT};
  for (int i = 0; i < 4; ++i) {
    handles[i]->ClearDiagnostics();
    EXPECT_EQ(handles[i]->_GetAvailableAttribute(ids[i], 0, 0), nullptr);
    ASSERT_FALSE(handles[i]->diagnostics().empty());
    EXPECT_EQ(handles[i]->diagnostics().back().message,
              u"You tried to access a protected/private attribute.");
  }
}

TEST_F(Attributes, QueryTimeoutIsSharedByTheStatementsOfAConnection) {
  SQLHSTMT other = nullptr;
  ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &other), SQL_SUCCESS);
  EXPECT_EQ(SQLSetStmtAttrW(stmt, SQL_ATTR_QUERY_TIMEOUT, IntValue(10), 0), SQL_SUCCESS);
  SQLINTEGER v = 0;
  EXPECT_EQ(SQLGetStmtAttrW(other, SQL_ATTR_QUERY_TIMEOUT, &v, 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(v, 10);
  EXPECT_EQ(ConnInt(SQL_ATTR_QUERY_TIMEOUT), 10);
  EXPECT_EQ(static_cast<kestrion::CHStatement*>(other)->query_timeout(), 10);

  // A failure left on the connection by an earlier call does not make the
  // statement's call fail.
  EXPECT_EQ(SQLSetConnectAttrW(dbc, SQL_ATTR_ASYNC_ENABLE, IntValue(1), 0), SQL_ERROR);
  EXPECT_EQ(SQLSetStmtAttrW(stmt, SQL_ATTR_QUERY_TIMEOUT, IntValue(12), 0), SQL_SUCCESS);
  EXPECT_EQ(ConnInt(SQL_ATTR_QUERY_TIMEOUT), 12);

  // Refusals are found on the statement too.
  EXPECT_EQ(SQLGetStmtAttrW(stmt, SQL_ATTR_QUERY_TIMEOUT, nullptr, 0, nullptr), SQL_ERROR);
  EXPECT_EQ(State(SQL_HANDLE_STMT, stmt), u"HY009");
  EXPECT_EQ(State(SQL_HANDLE_DBC, dbc), u"HY009");
  EXPECT_EQ(SQLGetStmtAttrW(nullptr, SQL_ATTR_QUERY_TIMEOUT, &v, 0, nullptr), SQL_INVALID_HANDLE);
}

TEST_F(Attributes, ConnectionWithoutLinkIsDead) {
  SQLINTEGER dead = -1;
  SQLINTEGER len = 0;
  EXPECT_EQ(SQLGetConnectAttrW(dbc, SQL_ATTR_CONNECTION_DEAD, &dead, 0, &len), SQL_SUCCESS);
  EXPECT_EQ(dead, SQL_CD_TRUE);
  EXPECT_EQ(len, 4);
}

TEST_F(Attributes, ApplicationDescriptorSwitch) {
  SQLHDESC explicit_desc = nullptr;
  ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_DESC, dbc, &explicit_desc), SQL_SUCCESS);
  SQLHDESC implicit_ard = Implicit(DescriptorRole::AppRow);

  EXPECT_EQ(SQLSetStmtAttrW(stmt, SQL_ATTR_APP_ROW_DESC, explicit_desc, 0), SQL_SUCCESS);
  SQLHDESC got = nullptr;
  SQLINTEGER len = 0;
  EXPECT_EQ(SQLGetStmtAttrW(stmt, SQL_ATTR_APP_ROW_DESC, &got, 0, &len), SQL_SUCCESS);
  EXPECT_EQ(got, explicit_desc);
  EXPECT_EQ(len, 8);
  EXPECT_EQ(Desc(explicit_desc).associated_statement, &statement());
  EXPECT_EQ(Desc(implicit_ard).associated_statement, nullptr);

  // The same descriptor again: still associated.
  EXPECT_EQ(SQLSetStmtAttrW(stmt, SQL_ATTR_APP_ROW_DESC, explicit_desc, 0), SQL_SUCCESS);
  EXPECT_EQ(Desc(explicit_desc).associated_statement, &statement());

  // Not a descriptor: HY105, nothing changes.
  EXPECT_EQ(SQLSetStmtAttrW(stmt, SQL_ATTR_APP_ROW_DESC, stmt, 0), SQL_ERROR);
  EXPECT_EQ(State(SQL_HANDLE_STMT, stmt), u"HY105");
  EXPECT_EQ(Current(DescriptorRole::AppRow), explicit_desc);
  int not_a_handle = 0;
  EXPECT_EQ(SQLSetStmtAttrW(stmt, SQL_ATTR_APP_PARAM_DESC, &not_a_handle, 0), SQL_ERROR);
  EXPECT_EQ(Current(DescriptorRole::AppParam), Implicit(DescriptorRole::AppParam));

  // Another statement's automatically allocated descriptor, or one of this
  // statement's in another role, is refused.
  SQLHSTMT other = nullptr;
  ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &other), SQL_SUCCESS);
  SQLHDESC foreign = static_cast<kestrion::CHStatement*>(other)->implicit_descriptor(
      DescriptorRole::AppRow);
  EXPECT_EQ(SQLSetStmtAttrW(stmt, SQL_ATTR_APP_ROW_DESC, foreign, 0), SQL_ERROR);
  EXPECT_EQ(State(SQL_HANDLE_STMT, stmt), u"HY017");
  EXPECT_EQ(SQLSetStmtAttrW(stmt, SQL_ATTR_APP_ROW_DESC, Implicit(DescriptorRole::AppParam), 0),
            SQL_ERROR);
  EXPECT_EQ(Current(DescriptorRole::AppRow), explicit_desc);
  EXPECT_EQ(Desc(foreign).associated_statement, other);
  // Its own implicit descriptor is accepted, as a null would be.
  EXPECT_EQ(SQLSetStmtAttrW(stmt, SQL_ATTR_APP_ROW_DESC, implicit_ard, 0), SQL_SUCCESS);
  EXPECT_EQ(Current(DescriptorRole::AppRow), implicit_ard);
  EXPECT_EQ(SQLSetStmtAttrW(stmt, SQL_ATTR_APP_ROW_DESC, explicit_desc, 0), SQL_SUCCESS);

  // Null: the implicit descriptor is back in effect.
  EXPECT_EQ(SQLSetStmtAttrW(stmt, SQL_ATTR_APP_ROW_DESC, nullptr, 0), SQL_SUCCESS);
  EXPECT_EQ(Current(DescriptorRole::AppRow), implicit_ard);
  EXPECT_EQ(Desc(implicit_ard).associated_statement, &statement());
  EXPECT_EQ(Desc(explicit_desc).associated_statement, nullptr);
}

TEST_F(Attributes, FreeingTheStatementReleasesItsExplicitDescriptor) {
  SQLHDESC explicit_desc = nullptr;
  ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_DESC, dbc, &explicit_desc), SQL_SUCCESS);
  ASSERT_EQ(SQLSetStmtAttrW(stmt, SQL_ATTR_APP_ROW_DESC, explicit_desc, 0), SQL_SUCCESS);
  ASSERT_EQ(SQLFreeHandle(SQL_HANDLE_STMT, stmt), SQL_SUCCESS);
  stmt = nullptr;
  EXPECT_EQ(Desc(explicit_desc).associated_statement, nullptr);
  // It is an unused descriptor again.
  SQLINTEGER v = 0;
  EXPECT_EQ(SQLGetDescFieldW(explicit_desc, 0, SQL_DESC_ARRAY_SIZE, &v, 0, nullptr), SQL_ERROR);
  EXPECT_EQ(State(SQL_HANDLE_DESC, explicit_desc, 3), u"HY000");
}

TEST_F(Attributes, FreeingADescriptorInUseRevertsToTheImplicitOne) {
  SQLHDESC explicit_desc = nullptr;
  ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_DESC, dbc, &explicit_desc), SQL_SUCCESS);
  ASSERT_EQ(SQLSetStmtAttrW(stmt, SQL_ATTR_APP_PARAM_DESC, explicit_desc, 0), SQL_SUCCESS);
  ASSERT_EQ(SQLFreeHandle(SQL_HANDLE_DESC, explicit_desc), SQL_SUCCESS);
  SQLHDESC apd = Implicit(DescriptorRole::AppParam);
  EXPECT_EQ(Current(DescriptorRole::AppParam), apd);
  EXPECT_EQ(Desc(apd).associated_statement, &statement());
  // Binding goes to the implicit descriptor again.
  SQLINTEGER value = 0;
  EXPECT_EQ(SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_LONG, SQL_INTEGER, 0, 0, &value, 0,
                             nullptr),
            SQL_SUCCESS);
  EXPECT_EQ(Desc(apd).count(), 1);
}

}  // namespace
