// Handle allocation, ownership and freeing through the exported functions.
#include <gtest/gtest.h>

#include <string>

#include "driver/descriptor.h"
#include "driver/statement.h"
#include "driver/odbc.h"
#include "driver/registry.h"

namespace kestrion {
bool HiddenEnvironmentExists();
}

namespace {

using kestrion::HandleKind;
using kestrion::HandleRegistry;

std::u16string StateOf(SQLSMALLINT type, SQLHANDLE h, SQLSMALLINT rec = 1) {
  SQLWCHAR state[6] = {0};
  SQLINTEGER native = 0;
  SQLSMALLINT len = 0;
  if (SQLGetDiagRecW(type, h, rec, state, &native, nullptr, 0, &len) != SQL_SUCCESS) return u"";
  return std::u16string(reinterpret_cast<char16_t*>(state));
}

struct Handles : ::testing::Test {
  SQLHENV env = nullptr;
  SQLHDBC dbc = nullptr;
  void SetUp() override {
    ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env), SQL_SUCCESS);
    ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc), SQL_SUCCESS);
  }
  void TearDown() override {
    if (env != nullptr) SQLFreeHandle(SQL_HANDLE_ENV, env);
  }
};

TEST_F(Handles, AllocationChecksParentKindAndArguments) {
  SQLHANDLE out = reinterpret_cast<SQLHANDLE>(0x1);
  // A statement under an environment: invalid handle, one HY092 on the env.
  EXPECT_EQ(SQLAllocHandle(SQL_HANDLE_STMT, env, &out), SQL_INVALID_HANDLE);
  EXPECT_EQ(StateOf(SQL_HANDLE_ENV, env), u"HY092");
  EXPECT_EQ(StateOf(SQL_HANDLE_ENV, env, 2), u"");
  // An unknown handle type on a valid handle.
  EXPECT_EQ(SQLAllocHandle(7, dbc, &out), SQL_INVALID_HANDLE);
  EXPECT_EQ(StateOf(SQL_HANDLE_DBC, dbc), u"HY092");
  // An environment must not have an input handle; the output pointer is required.
  EXPECT_EQ(SQLAllocHandle(SQL_HANDLE_ENV, env, &out), SQL_ERROR);
  EXPECT_EQ(SQLAllocHandle(SQL_HANDLE_ENV, nullptr, nullptr), SQL_ERROR);
  EXPECT_EQ(SQLAllocHandle(SQL_HANDLE_STMT, dbc, nullptr), SQL_ERROR);
  // A parent that is not a handle at all.
  int not_a_handle = 0;
  EXPECT_EQ(SQLAllocHandle(SQL_HANDLE_STMT, &not_a_handle, &out), SQL_INVALID_HANDLE);
  EXPECT_EQ(SQLAllocHandle(SQL_HANDLE_STMT, nullptr, &out), SQL_INVALID_HANDLE);
}

TEST_F(Handles, ExplicitDescriptorIsUserAllocatedAndEmpty) {
  SQLHDESC desc = nullptr;
  ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_DESC, dbc, &desc), SQL_SUCCESS);
  auto* d = static_cast<kestrion::CHDescriptor*>(desc);
  EXPECT_EQ(d->alloc_type_cell.AsInt16(), SQL_DESC_ALLOC_USER);
  EXPECT_EQ(d->count(), 0);
  EXPECT_EQ(d->records.size(), 1u);  // the bookmark record
  EXPECT_EQ(SQLFreeHandle(SQL_HANDLE_DESC, desc), SQL_SUCCESS);
  EXPECT_EQ(HandleRegistry::KindOf(desc), HandleKind::None);
}

TEST_F(Handles, ImplicitDescriptorsCannotBeFreedAndMirrorDiagnostics) {
  SQLHSTMT stmt = nullptr;
  ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt), SQL_SUCCESS);
  SQLHDESC ird = nullptr;
  ird = static_cast<kestrion::CHStatement*>(stmt)->implicit_descriptor(
      kestrion::DescriptorRole::ImpRow);
  ASSERT_NE(ird, nullptr);
  EXPECT_EQ(SQLFreeHandle(SQL_HANDLE_DESC, ird), SQL_ERROR);
  EXPECT_EQ(StateOf(SQL_HANDLE_DESC, ird), u"HY017");
  EXPECT_EQ(StateOf(SQL_HANDLE_STMT, stmt), u"HY017");
  EXPECT_EQ(HandleRegistry::KindOf(ird), HandleKind::Descriptor);
  // Freeing the statement takes its implicit descriptors with it.
  EXPECT_EQ(SQLFreeHandle(SQL_HANDLE_STMT, stmt), SQL_SUCCESS);
  EXPECT_EQ(HandleRegistry::KindOf(ird), HandleKind::None);
  EXPECT_EQ(HandleRegistry::KindOf(stmt), HandleKind::None);
}

TEST_F(Handles, FreeingAnEnvironmentDestroysEveryDescendant) {
  SQLHSTMT s1 = nullptr, s2 = nullptr;
  SQLHDESC desc = nullptr;
  ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &s1), SQL_SUCCESS);
  ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &s2), SQL_SUCCESS);
  ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_DESC, dbc, &desc), SQL_SUCCESS);
  SQLHDESC ard = static_cast<kestrion::CHStatement*>(s1)->implicit_descriptor(
      kestrion::DescriptorRole::AppRow);
  const size_t before = HandleRegistry::Count();
  EXPECT_EQ(SQLFreeHandle(SQL_HANDLE_ENV, env), SQL_SUCCESS);
  // env, dbc, 2 statements with 4 descriptors each, 1 explicit descriptor.
  EXPECT_EQ(HandleRegistry::Count(), before - 13);
  for (SQLHANDLE h : {env, dbc, s1, s2, desc, ard}) {
    EXPECT_EQ(HandleRegistry::KindOf(h), HandleKind::None);
  }
  EXPECT_EQ(SQLFreeHandle(SQL_HANDLE_STMT, s1), SQL_INVALID_HANDLE);
  EXPECT_EQ(SQLFreeHandle(SQL_HANDLE_DBC, dbc), SQL_INVALID_HANDLE);
  env = nullptr;
}

TEST_F(Handles, FreeHandleChecksTheKind) {
  SQLHSTMT stmt = nullptr;
  ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt), SQL_SUCCESS);
  EXPECT_EQ(SQLFreeHandle(SQL_HANDLE_DBC, stmt), SQL_INVALID_HANDLE);
  EXPECT_EQ(SQLFreeHandle(0, stmt), SQL_INVALID_HANDLE);
  EXPECT_EQ(SQLFreeHandle(SQL_HANDLE_STMT, nullptr), SQL_INVALID_HANDLE);
  EXPECT_EQ(HandleRegistry::KindOf(stmt), HandleKind::Statement);
  EXPECT_EQ(SQLFreeStmt(stmt, SQL_DROP), SQL_SUCCESS);
  EXPECT_EQ(SQLFreeStmt(stmt, SQL_CLOSE), SQL_INVALID_HANDLE);
}

TEST_F(Handles, FreeStmtOptions) {
  SQLHSTMT stmt = nullptr;
  ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt), SQL_SUCCESS);
  EXPECT_EQ(SQLFreeStmt(stmt, 4), SQL_SUCCESS);
  EXPECT_EQ(SQLFreeStmt(stmt, 99), SQL_SUCCESS);
  auto* statement = static_cast<kestrion::CHStatement*>(stmt);
  // Unbinding empties the current application row descriptor, an explicit
  // one included.
  SQLHDESC desc = nullptr;
  ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_DESC, dbc, &desc), SQL_SUCCESS);
  auto* d = static_cast<kestrion::CHDescriptor*>(desc);
  d->SetCount(3);
  statement->set_current_descriptor(kestrion::DescriptorRole::AppRow, d);
  EXPECT_EQ(SQLFreeStmt(stmt, SQL_UNBIND), SQL_SUCCESS);
  EXPECT_EQ(d->count(), 0);
  auto* apd = statement->current_descriptor(kestrion::DescriptorRole::AppParam);
  apd->SetCount(2);
  EXPECT_EQ(SQLFreeStmt(stmt, SQL_RESET_PARAMS), SQL_SUCCESS);
  EXPECT_EQ(apd->count(), 0);
}

TEST_F(Handles, StatementGetsFourImplicitDescriptorsWithRoles) {
  SQLHSTMT stmt = nullptr;
  ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt), SQL_SUCCESS);
  auto* s = static_cast<kestrion::CHStatement*>(stmt);
  const int32_t roles[4] = {17, 20, 18, 24};
  for (int r = 0; r < 4; ++r) {
    auto* d = s->implicit_descriptor(static_cast<kestrion::DescriptorRole>(r));
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->role, roles[r]);
    EXPECT_EQ(d->associated_statement, s);
    EXPECT_EQ(d->alloc_type_cell.AsInt16(), SQL_DESC_ALLOC_AUTO);
    EXPECT_EQ(d->parent(), dbc);
    EXPECT_EQ(s->current_descriptor(static_cast<kestrion::DescriptorRole>(r)), d);
  }
}

TEST(Toolbox, StaysUpWhileTheHiddenEnvironmentLives) {
  ASSERT_TRUE(kestrion::HiddenEnvironmentExists());
  const int starts = HandleRegistry::StartCount();
  SQLHENV env = nullptr;
  ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_ENV, nullptr, &env), SQL_SUCCESS);
  ASSERT_EQ(SQLFreeHandle(SQL_HANDLE_ENV, env), SQL_SUCCESS);
  ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_ENV, nullptr, &env), SQL_SUCCESS);
  EXPECT_EQ(HandleRegistry::StartCount(), starts);
  EXPECT_TRUE(HandleRegistry::ToolboxUp());
  ASSERT_EQ(SQLFreeHandle(SQL_HANDLE_ENV, env), SQL_SUCCESS);
}

TEST(EntryGuard, RefusesFreedAndForeignHandlesWithoutDiagnostics) {
  SQLHENV env = nullptr;
  SQLHDBC dbc = nullptr;
  SQLHSTMT stmt = nullptr;
  ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_ENV, nullptr, &env), SQL_SUCCESS);
  ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc), SQL_SUCCESS);
  ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt), SQL_SUCCESS);
  SQLWCHAR buf[64];
  SQLSMALLINT len = 0;
  // A statement passed where a connection is required.
  EXPECT_EQ(SQLGetInfoW(stmt, SQL_DRIVER_NAME, buf, sizeof buf, &len), SQL_INVALID_HANDLE);
  EXPECT_EQ(SQLGetDiagRecW(SQL_HANDLE_STMT, stmt, 1, nullptr, nullptr, nullptr, 0, nullptr),
            SQL_NO_DATA);
  EXPECT_EQ(SQLGetDiagRecW(SQL_HANDLE_DBC, stmt, 1, nullptr, nullptr, nullptr, 0, nullptr),
            SQL_INVALID_HANDLE);
  EXPECT_EQ(SQLFetch(dbc), SQL_INVALID_HANDLE);
  EXPECT_EQ(SQLFetch(nullptr), SQL_INVALID_HANDLE);
  EXPECT_EQ(SQLGetEnvAttr(dbc, SQL_ATTR_ODBC_VERSION, buf, 0, nullptr), SQL_INVALID_HANDLE);
  EXPECT_EQ(SQLSetDescFieldW(stmt, 1, SQL_DESC_COUNT, nullptr, 0), SQL_INVALID_HANDLE);
  EXPECT_EQ(SQLEndTran(SQL_HANDLE_ENV, dbc, SQL_COMMIT), SQL_INVALID_HANDLE);
  // A statement freed right after a call on it (the handle validated last).
  SQLHSTMT freed = nullptr;
  ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &freed), SQL_SUCCESS);
  EXPECT_EQ(SQLFreeStmt(freed, SQL_CLOSE), SQL_SUCCESS);
  ASSERT_EQ(SQLFreeHandle(SQL_HANDLE_STMT, freed), SQL_SUCCESS);
  EXPECT_EQ(SQLFreeStmt(freed, SQL_CLOSE), SQL_INVALID_HANDLE);
  EXPECT_EQ(SQLFetch(freed), SQL_INVALID_HANDLE);
  ASSERT_EQ(SQLFreeHandle(SQL_HANDLE_DBC, dbc), SQL_SUCCESS);
  EXPECT_EQ(SQLFetch(stmt), SQL_INVALID_HANDLE);
  EXPECT_EQ(SQLDisconnect(dbc), SQL_INVALID_HANDLE);
  ASSERT_EQ(SQLFreeHandle(SQL_HANDLE_ENV, env), SQL_SUCCESS);
}

}  // namespace
