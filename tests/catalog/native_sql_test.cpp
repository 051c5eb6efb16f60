// SQLNativeSqlW: the answer is the input text, measured and cut by the
// text output rule, with character counts on both sides.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "driver/odbc.h"

namespace {

std::u16string FirstState(SQLHDBC dbc, std::u16string* text = nullptr) {
  SQLWCHAR state[6] = {0};
  SQLWCHAR message[256] = {0};
  SQLINTEGER native = 0;
  SQLSMALLINT len = 0;
  if (SQLGetDiagRecW(SQL_HANDLE_DBC, dbc, 1, state, &native, message, 256, &len) != SQL_SUCCESS) {
    return u"";
  }
  if (text != nullptr) *text = reinterpret_cast<char16_t*>(message);
  return reinterpret_cast<char16_t*>(state);
}

SQLWCHAR* W(const char16_t* s) { return reinterpret_cast<SQLWCHAR*>(const_cast<char16_t*>(s)); }

struct NativeSql : ::testing::Test {
  SQLHENV env = nullptr;
  SQLHDBC dbc = nullptr;
  SQLWCHAR out[64];
  SQLINTEGER length = -7;
  void SetUp() override {
    ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env), SQL_SUCCESS);
    ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc), SQL_SUCCESS);
    std::memset(out, 0xAA, sizeof out);
  }
  void TearDown() override {
    if (env != nullptr) SQLFreeHandle(SQL_HANDLE_ENV, env);
  }
  std::u16string Out() const { return reinterpret_cast<const char16_t*>(out); }
};

TEST_F(NativeSql, AnswersTheTextUnchanged) {
  const char16_t* sql = u"SELECT {fn UCASE(name)} FROM t WHERE d = {d '2024-01-31'}";
  EXPECT_EQ(SQLNativeSqlW(dbc, W(sql), SQL_NTS, out, 64, &length), SQL_SUCCESS);
  EXPECT_EQ(Out(), sql);
  EXPECT_EQ(length, static_cast<SQLINTEGER>(std::u16string(sql).size()));
  EXPECT_EQ(FirstState(dbc), u"");

  // An explicit length takes that many characters; an embedded zero ends it.
  EXPECT_EQ(SQLNativeSqlW(dbc, W(u"SELECT 1; junk"), 8, out, 64, &length), SQL_SUCCESS);
  EXPECT_EQ(Out(), u"SELECT 1");
  EXPECT_EQ(length, 8);
  const char16_t with_zero[] = u"SELECT 2\0 hidden";
  EXPECT_EQ(SQLNativeSqlW(dbc, W(with_zero), 16, out, 64, &length), SQL_SUCCESS);
  EXPECT_EQ(Out(), u"SELECT 2");
  EXPECT_EQ(length, 8);
  // Non-Latin text passes as it is.
  EXPECT_EQ(SQLNativeSqlW(dbc, W(u"SELECT '\u00e9\u6f22'"), SQL_NTS, out, 64, &length),
            SQL_SUCCESS);
  EXPECT_EQ(Out(), u"SELECT '\u00e9\u6f22'");
  EXPECT_EQ(length, 11);
}

TEST_F(NativeSql, WithoutRoomAnswersOnlyTheLength) {
  EXPECT_EQ(SQLNativeSqlW(dbc, W(u"SELECT 1"), SQL_NTS, nullptr, 64, &length), SQL_SUCCESS);
  EXPECT_EQ(length, 8);
  for (SQLINTEGER room : {0, -1}) {
    length = -7;
    EXPECT_EQ(SQLNativeSqlW(dbc, W(u"SELECT 12"), SQL_NTS, out, room, &length), SQL_SUCCESS);
    EXPECT_EQ(length, 9);
    EXPECT_EQ(out[0], 0xAAAA);
  }
  EXPECT_EQ(SQLNativeSqlW(dbc, W(u"SELECT 1"), SQL_NTS, nullptr, 0, nullptr), SQL_SUCCESS);
}

TEST_F(NativeSql, CutsToTheBufferInCharacters) {
  // Exactly enough: eight characters and the terminator.
  EXPECT_EQ(SQLNativeSqlW(dbc, W(u"SELECT 1"), SQL_NTS, out, 9, &length), SQL_SUCCESS);
  EXPECT_EQ(Out(), u"SELECT 1");
  EXPECT_EQ(length, 8);
  // One short: the answer is cut and its cut length answered.
  std::memset(out, 0xAA, sizeof out);
  EXPECT_EQ(SQLNativeSqlW(dbc, W(u"SELECT 1"), SQL_NTS, out, 8, &length), SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(Out(), u"SELECT ");
  EXPECT_EQ(length, 7);
  EXPECT_EQ(out[8], 0xAAAA);
  EXPECT_EQ(FirstState(dbc), u"01004");
  // One character of room holds the terminator alone.
  EXPECT_EQ(SQLNativeSqlW(dbc, W(u"SELECT 1"), SQL_NTS, out, 1, &length), SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(length, 0);
}

TEST_F(NativeSql, SameBufferInAndOut) {
  SQLWCHAR text[16] = {0};
  std::memcpy(text, u"SELECT 3", 9 * sizeof(char16_t));
  EXPECT_EQ(SQLNativeSqlW(dbc, text, SQL_NTS, text, 16, &length), SQL_SUCCESS);
  EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(text)), u"SELECT 3");
  EXPECT_EQ(length, 8);
}

TEST_F(NativeSql, EmptyInputIsRefused) {
  const char16_t zero_first[] = u"\0SELECT";
  struct Case {
    SQLWCHAR* text;
    SQLINTEGER length;
  } cases[] = {
      {nullptr, SQL_NTS},   {W(u"SELECT 1"), 0},
      {W(u"SELECT 1"), -5},  // a negative length other than SQL_NTS counts as none
      {W(u""), SQL_NTS},    {W(zero_first), 7},
  };
  for (const Case& c : cases) {
    length = -7;
    EXPECT_EQ(SQLNativeSqlW(dbc, c.text, c.length, out, 64, &length), SQL_ERROR);
    std::u16string message;
    EXPECT_EQ(FirstState(dbc, &message), u"HY090");
    EXPECT_EQ(message, u"Invalid string or buffer length:\nEmpty input string.");
    EXPECT_EQ(length, -7);
    EXPECT_EQ(out[0], 0xAAAA);
  }
}

TEST_F(NativeSql, WantsAConnectionHandle) {
  EXPECT_EQ(SQLNativeSqlW(nullptr, W(u"SELECT 1"), SQL_NTS, out, 64, &length), SQL_INVALID_HANDLE);
  EXPECT_EQ(SQLNativeSqlW(env, W(u"SELECT 1"), SQL_NTS, out, 64, &length), SQL_INVALID_HANDLE);
}

}  // namespace
