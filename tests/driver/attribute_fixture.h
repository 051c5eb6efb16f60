// Shared by the attribute, descriptor and binding tests: an environment, a
// connection that never connects and one statement, plus diagnostic readers.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "driver/descriptor.h"
#include "driver/odbc.h"
#include "driver/statement.h"

namespace attrs_test {

// The SQLSTATE of diagnostic record `rec`; empty when there is none.
inline std::u16string State(SQLSMALLINT type, SQLHANDLE h, SQLSMALLINT rec = 1) {
  SQLWCHAR state[6] = {0};
  SQLINTEGER native = 0;
  SQLSMALLINT len = 0;
  if (SQLGetDiagRecW(type, h, rec, state, &native, nullptr, 0, &len) != SQL_SUCCESS) return u"";
  return std::u16string(reinterpret_cast<char16_t*>(state));
}

// The driver's own message of record `rec` (the text after ":\n").
inline std::u16string Message(SQLSMALLINT type, SQLHANDLE h, SQLSMALLINT rec = 1) {
  SQLWCHAR state[6] = {0};
  SQLWCHAR text[512] = {0};
  SQLINTEGER native = 0;
  SQLSMALLINT len = 0;
  if (SQLGetDiagRecW(type, h, rec, state, &native, text, 512, &len) != SQL_SUCCESS) return u"";
  std::u16string full(reinterpret_cast<char16_t*>(text));
  auto at = full.find(u":\n");
  return at == std::u16string::npos ? std::u16string() : full.substr(at + 2);
}

inline SQLINTEGER DiagCount(SQLSMALLINT type, SQLHANDLE h) {
  SQLINTEGER n = -1;
  SQLGetDiagFieldW(type, h, 0, SQL_DIAG_NUMBER, &n, 0, nullptr);
  return n;
}

inline SQLPOINTER IntValue(intptr_t v) { return reinterpret_cast<SQLPOINTER>(v); }

struct StatementFixture : ::testing::Test {
  SQLHENV env = nullptr;
  SQLHDBC dbc = nullptr;
  SQLHSTMT stmt = nullptr;

  void SetUp() override {
    ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env), SQL_SUCCESS);
    ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc), SQL_SUCCESS);
    ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt), SQL_SUCCESS);
  }
  void TearDown() override {
    if (env != nullptr) SQLFreeHandle(SQL_HANDLE_ENV, env);
  }

  kestrion::CHStatement& statement() { return *static_cast<kestrion::CHStatement*>(stmt); }
  SQLHDESC Implicit(kestrion::DescriptorRole role) {
    return statement().implicit_descriptor(role);
  }
  SQLHDESC Current(kestrion::DescriptorRole role) {
    return statement().current_descriptor(role);
  }
  static kestrion::CHDescriptor& Desc(SQLHDESC h) { return *static_cast<kestrion::CHDescriptor*>(h); }

  SQLINTEGER StmtInt(SQLINTEGER attribute) {
    SQLINTEGER v = -12345;
    EXPECT_TRUE(SQL_SUCCEEDED(SQLGetStmtAttrW(stmt, attribute, &v, 0, nullptr)));
    return v;
  }
  SQLINTEGER ConnInt(SQLINTEGER attribute) {
    SQLINTEGER v = -12345;
    EXPECT_TRUE(SQL_SUCCEEDED(SQLGetConnectAttrW(dbc, attribute, &v, 0, nullptr)));
    return v;
  }
};

}  // namespace attrs_test
