// Posting, reading and clearing diagnostics; the SQLSTATE table.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "driver/connection.h"
#include "driver/descriptor.h"
#include "driver/environment.h"
#include "driver/registry.h"
#include "driver/sqlstate.h"
#include "driver/statement.h"

namespace {

using kestrion::SqlState;

struct Diagnostics : ::testing::Test {
  SQLHENV env = nullptr;
  SQLHDBC dbc = nullptr;
  SQLHSTMT stmt = nullptr;
  kestrion::CSQLHandle* h = nullptr;
  void SetUp() override {
    ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_ENV, nullptr, &env), SQL_SUCCESS);
    ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc), SQL_SUCCESS);
    ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt), SQL_SUCCESS);
    h = static_cast<kestrion::CSQLHandle*>(stmt);
  }
  void TearDown() override { SQLFreeHandle(SQL_HANDLE_ENV, env); }

  std::u16string Text(SQLSMALLINT rec, SQLSMALLINT capacity, SQLSMALLINT* len) {
    SQLWCHAR buf[512];
    SQLWCHAR state[6];
    SQLINTEGER native = -1;
    EXPECT_EQ(SQLGetDiagRecW(SQL_HANDLE_STMT, stmt, rec, state, &native, buf, capacity, len),
              SQL_SUCCESS);
    return std::u16string(reinterpret_cast<char16_t*>(buf));
  }
};

TEST(SqlStateTable, HasEveryCodeOnceInOrderWithItsOverriddenTexts) {
  EXPECT_EQ(kestrion::kSqlStateCount, 106);
  std::set<std::u16string_view> codes;
  int with_trailing_space = 0;
  for (int i = 0; i < kestrion::kSqlStateCount; ++i) {
    auto s = static_cast<SqlState>(i);
    EXPECT_EQ(kestrion::SqlStateCode(s).size(), 5u);
    codes.insert(kestrion::SqlStateCode(s));
    if (kestrion::SqlStateText(s).back() == u' ') ++with_trailing_space;
  }
  EXPECT_EQ(codes.size(), 106u);
  EXPECT_EQ(with_trailing_space, 5);
  EXPECT_EQ(kestrion::SqlStateCode(SqlState::S00000), u"00000");
  EXPECT_EQ(kestrion::SqlStateCode(SqlState::S1C00), u"S1C00");
  EXPECT_EQ(static_cast<int>(SqlState::S1C00), 105);
  EXPECT_EQ(static_cast<int>(SqlState::HY000), 62);
  EXPECT_EQ(kestrion::SqlStateText(SqlState::S00000), u"NO ERROR");
  EXPECT_EQ(kestrion::SqlStateText(SqlState::S08003), u"Connection does not exist ");
  EXPECT_EQ(kestrion::SqlStateText(SqlState::HY105), u"Invalid parameter type ");
  EXPECT_EQ(kestrion::SqlStateText(SqlState::IM007), u"Lack of parameters in connection string.");
  EXPECT_EQ(kestrion::SqlStateText(SqlState::S01004), kestrion::SqlStateText(SqlState::S22001));
  EXPECT_EQ(kestrion::SqlStateText(SqlState::S23000), kestrion::SqlStateText(SqlState::S40002));
  EXPECT_EQ(kestrion::SqlStateText(SqlState::HY092), u"Invalid attribute/option identifier");
}

TEST_F(Diagnostics, NewestRecordFirstAndErrorsWin) {
  EXPECT_EQ(h->Post(SqlState::S01004), SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(h->Post(SqlState::HY000, u"boom"), SQL_ERROR);
  EXPECT_EQ(h->Post(SqlState::S01000), SQL_ERROR);  // a warning never lowers an error
  EXPECT_EQ(h->Post(SqlState::S00000), SQL_ERROR);  // 00000 is never recorded
  SQLINTEGER count = 0;
  SQLSMALLINT len = 0;
  EXPECT_EQ(SQLGetDiagFieldW(SQL_HANDLE_STMT, stmt, 0, SQL_DIAG_NUMBER, &count, 0, &len),
            SQL_SUCCESS);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(len, 4);
  SQLWCHAR state[6];
  auto state_of = [&](SQLSMALLINT rec) {
    SQLGetDiagRecW(SQL_HANDLE_STMT, stmt, rec, state, nullptr, nullptr, 0, nullptr);
    return std::u16string(reinterpret_cast<char16_t*>(state));
  };
  EXPECT_EQ(state_of(1), u"01000");
  EXPECT_EQ(state_of(2), u"HY000");
  EXPECT_EQ(state_of(3), u"01004");
  // Reading twice gives the same; the next guarded call clears them.
  EXPECT_EQ(state_of(1), u"01000");
  EXPECT_EQ(SQLGetDiagRecW(SQL_HANDLE_STMT, stmt, 0, state, nullptr, nullptr, 0, nullptr),
            SQL_NO_DATA);
  EXPECT_EQ(SQLGetDiagRecW(SQL_HANDLE_STMT, stmt, 4, state, nullptr, nullptr, 0, nullptr),
            SQL_NO_DATA);
  EXPECT_EQ(SQLGetDiagRecW(SQL_HANDLE_STMT, stmt, -1, state, nullptr, nullptr, 0, nullptr),
            SQL_ERROR);
  EXPECT_EQ(SQLFreeStmt(stmt, 99), SQL_SUCCESS);
  EXPECT_EQ(h->diagnostics().size(), 0u);
}

TEST_F(Diagnostics, MessageCompositionAndCutting) {
  h->Post(SqlState::HY090, u"Empty input string.", 77);
  const std::u16string full = u"Invalid string or buffer length:\nEmpty input string.";
  SQLSMALLINT len = 0;
  // Length alone.
  EXPECT_EQ(SQLGetDiagRecW(SQL_HANDLE_STMT, stmt, 1, nullptr, nullptr, nullptr, 0, &len),
            SQL_SUCCESS);
  EXPECT_EQ(len, static_cast<SQLSMALLINT>(full.size()));
  EXPECT_EQ(Text(1, 512, &len), full);
  EXPECT_EQ(len, static_cast<SQLSMALLINT>(full.size()));
  // Cut inside the default text.
  EXPECT_EQ(Text(1, 10, &len), u"Invalid s");
  EXPECT_EQ(len, 9);
  // One character of room after the default text: no separator, but the
  // message still starts in the remaining room.
  const SQLSMALLINT default_len = 31;
  EXPECT_EQ(Text(1, default_len + 2, &len), std::u16string(u"Invalid string or buffer lengthE"));
  // Room for the separator and part of the message.
  EXPECT_EQ(Text(1, default_len + 5, &len), u"Invalid string or buffer length:\nEm");
  // A buffer of one character writes nothing but reports the full length.
  SQLWCHAR one[1] = {u'x'};
  EXPECT_EQ(SQLGetDiagRecW(SQL_HANDLE_STMT, stmt, 1, nullptr, nullptr, one, 1, &len), SQL_SUCCESS);
  EXPECT_EQ(one[0], u'x');
  EXPECT_EQ(len, static_cast<SQLSMALLINT>(full.size()));
  SQLINTEGER native = 0;
  SQLGetDiagRecW(SQL_HANDLE_STMT, stmt, 1, nullptr, &native, nullptr, 0, nullptr);
  EXPECT_EQ(native, 77);
  EXPECT_EQ(SQLGetDiagRecW(SQL_HANDLE_STMT, stmt, 1, nullptr, nullptr, one, -1, &len), SQL_ERROR);
}

TEST_F(Diagnostics, RecordWithoutMessageReadsAsDefaultText) {
  h->Post(SqlState::HY092);
  SQLSMALLINT len = 0;
  EXPECT_EQ(Text(1, 512, &len), u"Invalid attribute/option identifier");
}

TEST_F(Diagnostics, DiagFieldTable) {
  h->Post(SqlState::S42S02, u"no such table");
  SQLWCHAR buf[16];
  SQLSMALLINT len = 0;
  EXPECT_EQ(SQLGetDiagFieldW(SQL_HANDLE_STMT, stmt, 1, SQL_DIAG_SQLSTATE, buf, sizeof buf, &len),
            SQL_SUCCESS);
  EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(buf)), u"42S02");
  EXPECT_EQ(len, 10);
  EXPECT_EQ(SQLGetDiagFieldW(SQL_HANDLE_STMT, stmt, 0, SQL_DIAG_SQLSTATE, buf, sizeof buf, &len),
            SQL_ERROR);
  EXPECT_EQ(SQLGetDiagFieldW(SQL_HANDLE_STMT, stmt, 2, SQL_DIAG_SQLSTATE, buf, sizeof buf, &len),
            SQL_ERROR);
  // Origins and names answer the 24-byte block "ISO 9075".
  len = 0;
  EXPECT_EQ(SQLGetDiagFieldW(SQL_HANDLE_STMT, stmt, 1, SQL_DIAG_SERVER_NAME, buf, 24, &len),
            SQL_SUCCESS);
  EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(buf)), u"ISO 9075");
  EXPECT_EQ(len, 24);
  SQLWCHAR small[8];
  EXPECT_EQ(SQLGetDiagFieldW(SQL_HANDLE_STMT, stmt, 1, SQL_DIAG_CLASS_ORIGIN, small, 16, &len),
            SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(small), 8), u"ISO 9075");
  // The native error and the text only come through SQLGetDiagRecW.
  EXPECT_EQ(SQLGetDiagFieldW(SQL_HANDLE_STMT, stmt, 1, SQL_DIAG_NATIVE, buf, sizeof buf, &len),
            SQL_ERROR);
  EXPECT_EQ(SQLGetDiagFieldW(SQL_HANDLE_STMT, stmt, 1, SQL_DIAG_MESSAGE_TEXT, buf, sizeof buf, &len),
            SQL_ERROR);
  // SQL_DIAG_NUMBER with a null buffer still answers the length.
  len = 0;
  EXPECT_EQ(SQLGetDiagFieldW(SQL_HANDLE_STMT, stmt, 0, SQL_DIAG_NUMBER, nullptr, 0, &len),
            SQL_SUCCESS);
  EXPECT_EQ(len, 4);
}

TEST_F(Diagnostics, DescriptorDiagnosticsAreMirroredAndClearedWithTheStatement) {
  auto* s = static_cast<kestrion::CHStatement*>(stmt);
  auto* ard = s->current_descriptor(kestrion::DescriptorRole::AppRow);
  ard->Post(SqlState::S07009);
  ASSERT_EQ(s->diagnostics().size(), 1u);
  EXPECT_EQ(s->diagnostics()[0].state, SqlState::S07009);
  // An explicit descriptor not in use mirrors nothing.
  SQLHDESC desc = nullptr;
  ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_DESC, dbc, &desc), SQL_SUCCESS);
  static_cast<kestrion::CSQLHandle*>(desc)->Post(SqlState::HY000);
  EXPECT_EQ(s->diagnostics().size(), 1u);
  // A guarded call on the statement clears its current descriptors too.
  EXPECT_EQ(SQLFreeStmt(stmt, 99), SQL_SUCCESS);
  EXPECT_TRUE(ard->diagnostics().empty());
  EXPECT_EQ(ard->return_code(), SQL_SUCCESS);
}

TEST_F(Diagnostics, CopyLastDiagnosticAndChildErrors) {
  auto* c = static_cast<kestrion::CSQLHandle*>(dbc);
  c->Post(SqlState::S08004, u"Table not found", 1234);
  h->_CopyLastDiagnostic(*c);
  ASSERT_EQ(h->diagnostics().size(), 1u);
  EXPECT_EQ(h->diagnostics()[0].native_error, 1234);
  EXPECT_EQ(h->diagnostics()[0].message, u"Table not found");
  EXPECT_EQ(h->return_code(), SQL_ERROR);
}

// Runs in a child process: destroys every handle (the hidden environment
// too), so that the next allocation starts the toolbox again.
int StartUpFailureScenario() {
  while (kestrion::CSQLHandle* h = kestrion::HandleRegistry::LowestHandle()) delete h;
  if (kestrion::HandleRegistry::ToolboxUp()) return 1;
  const int starts = kestrion::HandleRegistry::StartCount();
  SQLHENV env = nullptr;
  for (int step : {1, 2, 5, 6}) {
    kestrion::HandleRegistry::FailNextStartUpAt(step);
    // An environment has no parent to carry the message: plain SQL_ERROR.
    if (SQLAllocHandle(SQL_HANDLE_ENV, nullptr, &env) != SQL_ERROR || env != nullptr) return 2;
    // The pieces built before the failure stay; nothing is registered.
    if (kestrion::HandleRegistry::Count() != 0) return 3;
    while (kestrion::CSQLHandle* h = kestrion::HandleRegistry::LowestHandle()) delete h;
  }
  if (SQLAllocHandle(SQL_HANDLE_ENV, nullptr, &env) != SQL_SUCCESS) return 4;
  if (!kestrion::HandleRegistry::ToolboxUp() || kestrion::HandleRegistry::Keywords().empty()) return 5;
  if (kestrion::HandleRegistry::StartCount() < starts + 1) return 6;
  // Freeing the last handle shuts the toolbox down; the next one starts it.
  const int before = kestrion::HandleRegistry::StartCount();
  SQLFreeHandle(SQL_HANDLE_ENV, env);
  if (kestrion::HandleRegistry::ToolboxUp()) return 7;
  if (SQLAllocHandle(SQL_HANDLE_ENV, nullptr, &env) != SQL_SUCCESS) return 8;
  if (kestrion::HandleRegistry::StartCount() != before + 1) return 9;
  SQLFreeHandle(SQL_HANDLE_ENV, env);
  return 0;
}

TEST(StartUpDeathTest, ToolboxStartsAndStopsWithThePeriodOfLiveHandles) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(std::exit(StartUpFailureScenario()), ::testing::ExitedWithCode(0), "");
}

TEST(StartUp, RegisteringAnAddressTwiceIsRefused) {
  SQLHENV env = nullptr;
  SQLHDBC dbc = nullptr;
  ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_ENV, nullptr, &env), SQL_SUCCESS);
  ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc), SQL_SUCCESS);
  // Start-up only runs while the toolbox is down, so failures can only be
  // seen on the first handle of a period; the registry refusing a second
  // registration of the same address is the case that can happen later.
  auto* conn = static_cast<kestrion::CHConnection*>(dbc);
  EXPECT_FALSE(kestrion::HandleRegistry::Register(conn));
  SQLFreeHandle(SQL_HANDLE_ENV, env);
}

}  // namespace
